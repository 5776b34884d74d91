// The Projects window's equipment log: what ran where and for how long.
#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "views/project_pages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qm {
namespace {

constexpr EquipmentType kTypes[] = {EquipmentType::Dehumidifier, EquipmentType::AirMover,
                                    EquipmentType::Heater, EquipmentType::Other};

QTableWidgetItem* fixed_item(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QString date_text(std::optional<std::int64_t> day) {
    return day ? QString::fromStdString(iso_date(*day)) : QString();
}

} // namespace

ProjectEquipmentPage::ProjectEquipmentPage(ProjectsWindow& window) : window_(window) {
    table_ = new QTableWidget(0, EquipmentDays + 1, this);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Type"), QStringLiteral("Count"), QStringLiteral("Place"),
         QStringLiteral("Placed"), QStringLiteral("Removed"), QStringLiteral("Unit ID or serial"),
         QStringLiteral("Model"), QStringLiteral("Rated capacity"), QStringLiteral("Days"),
         QStringLiteral("Equipment-days")});
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setStretchLastSection(true);
    total_ = new QLabel(this);
    add_ = new QPushButton(QStringLiteral("Add e&quipment"), this);
    remove_ = new QPushButton(QStringLiteral("Remo&ve equipment"), this);
    for (QPushButton* b : {add_, remove_}) {
        b->setAutoDefault(true);
    }
    daily_ = new QTableWidget(0, 5, this);
    daily_->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Dehumidifiers"),
                                       QStringLiteral("Air movers"), QStringLiteral("Heaters"),
                                       QStringLiteral("Other")});
    daily_->verticalHeader()->hide();
    daily_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* help = new QLabel(
        QStringLiteral("Dates are written YYYY-MM-DD; an empty Removed counts the units as running "
                       "until the last day read. Rated capacity: a dehumidifier's pints per day "
                       "(AHAM), an air mover's CFM."),
        this);
    help->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(remove_);
    buttons->addStretch(1);
    buttons->addWidget(total_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 2);
    layout->addWidget(help);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(QStringLiteral("Units on site on each day read:"), this));
    layout->addWidget(daily_, 1);
    connect(add_, &QPushButton::clicked, this, &ProjectEquipmentPage::add);
    connect(remove_, &QPushButton::clicked, this, &ProjectEquipmentPage::removeSelected);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!filling_) {
            edited(item->row());
        }
    });
}

void ProjectEquipmentPage::show(const ProjectView& view) {
    filling_ = true;
    shown_ = view.settings.equipment;
    const EquipmentLog& log = view.logs.equipment;
    table_->setRowCount(static_cast<int>(shown_.size()));
    for (int r = 0; r < table_->rowCount(); ++r) {
        const EquipmentEntry& e = shown_[static_cast<std::size_t>(r)].entry;
        auto* type = new QComboBox(table_);
        for (const EquipmentType t : kTypes) {
            type->addItem(QString::fromUtf8(equipment_type_name(t).data(),
                                            static_cast<int>(equipment_type_name(t).size())));
        }
        type->setCurrentIndex(static_cast<int>(e.type));
        type->setEnabled(window_.editable());
        connect(type, &QComboBox::activated, this, [this, r] { edited(r); });
        table_->setItem(r, Type, fixed_item(QString()));
        table_->setCellWidget(r, Type, type);
        table_->setItem(r, Count, new QTableWidgetItem(QString::number(e.count)));
        table_->setItem(r, Place, new QTableWidgetItem(QString::fromStdString(e.place)));
        table_->setItem(r, Placed, new QTableWidgetItem(date_text(e.placed)));
        table_->setItem(r, Removed, new QTableWidgetItem(date_text(e.removed)));
        table_->setItem(r, Unit, new QTableWidgetItem(QString::fromStdString(e.unit)));
        table_->setItem(r, Model, new QTableWidgetItem(QString::fromStdString(e.model)));
        table_->setItem(r, Capacity,
                        new QTableWidgetItem(e.capacity ? QString::number(*e.capacity) : ""));
        const bool logged = static_cast<std::size_t>(r) < log.rows.size();
        const EquipmentRow* row = logged ? &log.rows[static_cast<std::size_t>(r)] : nullptr;
        const bool valid = row != nullptr && row->valid;
        table_->setItem(r, Days,
                        fixed_item(valid ? QString::number(row->days)
                                         : QStringLiteral("dates or count wrong")));
        table_->setItem(r, EquipmentDays,
                        fixed_item(valid ? QString::number(row->equipment_days) : "0"));
    }
    total_->setText(QStringLiteral("Equipment-days in all: %1").arg(log.equipment_days));
    showDaily(log);
    table_->setEditTriggers(window_.editable() ? QAbstractItemView::DoubleClicked |
                                                     QAbstractItemView::EditKeyPressed |
                                                     QAbstractItemView::AnyKeyPressed
                                               : QAbstractItemView::NoEditTriggers);
    fit_.apply(table_, view.id);
    add_->setEnabled(window_.editable());
    remove_->setEnabled(window_.editable() && !shown_.empty());
    filling_ = false;
}

void ProjectEquipmentPage::showDaily(const EquipmentLog& log) {
    daily_->setRowCount(static_cast<int>(log.daily.size()));
    for (int r = 0; r < daily_->rowCount(); ++r) {
        const EquipmentDay& d = log.daily[static_cast<std::size_t>(r)];
        daily_->setItem(r, 0, new QTableWidgetItem(date_text(d.day)));
        for (std::size_t t = 0; t < d.units.size(); ++t) {
            auto* item = new QTableWidgetItem(QString::number(d.units[t]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            daily_->setItem(r, static_cast<int>(t) + 1, item);
        }
    }
    daily_->resizeColumnsToContents();
}

void ProjectEquipmentPage::add() {
    EquipmentEntry entry;
    entry.type = EquipmentType::Dehumidifier;
    entry.placed = window_.actions().today ? window_.actions().today() : 0;
    if (!window_.view().logs.drying.days.empty()) {
        entry.placed = window_.view().logs.drying.days.front();
    }
    const std::int64_t id = window_.view().id;
    window_.write([&](ProjectStore& s) { return s.add_equipment(id, entry).has_value(); },
                  "The equipment");
    table_->setCurrentCell(table_->rowCount() - 1, Count);
    table_->setFocus();
}

void ProjectEquipmentPage::removeSelected() {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(shown_.size())) {
        return;
    }
    const StoredEquipment stored = shown_[static_cast<std::size_t>(row)];
    if (!window_.actions().confirm(
            QStringLiteral("Remove the entry of %1 %2 from the equipment log?")
                .arg(stored.entry.count)
                .arg(
                    QString::fromStdString(std::string(equipment_type_name(stored.entry.type)))))) {
        return;
    }
    const std::int64_t id = window_.view().id;
    window_.write([&](ProjectStore& s) { return s.remove_equipment(id, stored.id); },
                  "Removing the equipment");
}

void ProjectEquipmentPage::edited(int row) {
    if (row < 0 || row >= static_cast<int>(shown_.size())) {
        return;
    }
    EquipmentEntry e;
    const auto* type = qobject_cast<QComboBox*>(table_->cellWidget(row, Type));
    e.type = kTypes[std::max(0, type != nullptr ? type->currentIndex() : 3)];
    bool number = false;
    e.count = table_->item(row, Count)->text().trimmed().toInt(&number);
    e.place = table_->item(row, Place)->text().trimmed().toStdString();
    const std::optional<std::int64_t> placed =
        parse_iso_date(table_->item(row, Placed)->text().trimmed().toStdString());
    const QString removed = table_->item(row, Removed)->text().trimmed();
    e.removed = parse_iso_date(removed.toStdString());
    e.unit = table_->item(row, Unit)->text().trimmed().toStdString();
    e.model = table_->item(row, Model)->text().trimmed().toStdString();
    const QString capacity = table_->item(row, Capacity)->text().trimmed();
    bool rated = capacity.isEmpty();
    if (!rated) {
        e.capacity = capacity.toDouble(&rated);
        rated = rated && *e.capacity >= 0.0;
    }
    if (!number || e.count < 1 || !placed || (!removed.isEmpty() && !e.removed)) {
        window_.refuse("An entry needs a count of 1 or more and dates written YYYY-MM-DD "
                       "(Removed may stay empty).");
        return;
    }
    if (!rated) {
        window_.refuse("A rated capacity is a number, 0 or more (pints per day for a "
                       "dehumidifier, CFM for an air mover), or empty.");
        return;
    }
    e.placed = *placed;
    const std::int64_t id = window_.view().id;
    const std::int64_t entry = shown_[static_cast<std::size_t>(row)].id;
    window_.write([&](ProjectStore& s) { return s.update_equipment(id, entry, e); },
                  "The equipment");
}

} // namespace qm
