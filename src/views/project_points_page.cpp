// The Projects window's points and standards: labels, RH/T roles, removed materials, planned
// points, and the dry standards and tolerances of the points and of the materials.
#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "views/project_pages.h"
#include "views/removed_material_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <set>

namespace qm {
namespace {

constexpr const char* kRoleNames[] = {"Affected area", "Unaffected area", "Outside",
                                      "Dehumidifier outlet", "Other"};

constexpr const char* kStandardRefused =
    "A standard is a value (12.5), a point (HL1,W/Plaster) or nothing, and a tolerance a value "
    "of 0 or more.";

QString figure(double value) {
    return QString::number(value, 'f', 1);
}

QString standard_text(const DryStandard& s) {
    if (s.value) {
        return figure(*s.value);
    }
    return s.reference ? QString::fromStdString(point_text(*s.reference)) : QString();
}

// "12.5" is a value, a point's name a reference, nothing no standard; nothing for other text.
std::optional<DryStandard> parse_standard(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return DryStandard{};
    }
    bool number = false;
    const double value = t.toDouble(&number);
    if (number) {
        return value >= 0 ? std::optional<DryStandard>(DryStandard{value, std::nullopt})
                          : std::nullopt;
    }
    if (const std::optional<MonitoringPoint> point = parse_point(t.toStdString())) {
        return DryStandard{std::nullopt, *point};
    }
    return std::nullopt;
}

// "removed 2026-03-05: drywall cut 2 ft", "planned, not read yet" or nothing.
QString status_text(const PointNote* note, bool read) {
    if (note != nullptr && note->removed) {
        return QStringLiteral("removed %1: %2")
            .arg(QString::fromStdString(iso_date(note->removed->on)),
                 QString::fromStdString(note->removed->reason));
    }
    return read ? QString() : QStringLiteral("planned, not read yet");
}

const PointNote* note_of(const ProjectSettings& s, const MonitoringPoint& p) {
    const auto n = std::find_if(s.points.begin(), s.points.end(),
                                [&](const PointNote& x) { return x.point == p; });
    return n != s.points.end() ? &*n : nullptr;
}

QTableWidgetItem* fixed_item(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QTableWidget* make_table(QWidget* parent, const QStringList& headings) {
    auto* table = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    table->setHorizontalHeaderLabels(headings);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    return table;
}

} // namespace

void ColumnFit::apply(QTableWidget* table, std::int64_t project) {
    const bool hasRows = table->rowCount() > 0;
    if (project != project_ || (hasRows && !hadRows_)) {
        table->resizeColumnsToContents();
    }
    project_ = project;
    hadRows_ = hasRows;
}

ProjectPointsPage::ProjectPointsPage(ProjectsWindow& window) : window_(window) {
    points_ = make_table(this, {QStringLiteral("Point"), QStringLiteral("Label"),
                                QStringLiteral("Role"), QStringLiteral("Own standard"),
                                QStringLiteral("Own tolerance"), QStringLiteral("Status")});
    add_ = new QPushButton(QStringLiteral("&Add point\u2026"), this);
    removed_ = new QPushButton(QStringLiteral("Material &removed\u2026"), this);
    notRemoved_ = new QPushButton(QStringLiteral("No&t removed"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add_, removed_, notRemoved_}) {
        b->setAutoDefault(true);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    materials_ = make_table(this, {QStringLiteral("Material"), QStringLiteral("Readings"),
                                   QStringLiteral("Dry standard"), QStringLiteral("Tolerance")});
    auto* help = new QLabel(
        QStringLiteral("A standard is a value, or a reference point written as the table writes "
                       "it (\"HL1,W/Plaster\", \"HL1,W/Plaster scan\"); empty for none. The goal "
                       "is the standard plus the tolerance. A point's own standard overrides its "
                       "material's."),
        this);
    help->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Points:"), this));
    layout->addWidget(points_, 3);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(QStringLiteral("Standards of the materials:"), this));
    layout->addWidget(materials_, 2);
    layout->addWidget(help);
    connect(points_, &QTableWidget::itemChanged, this, &ProjectPointsPage::pointEdited);
    connect(materials_, &QTableWidget::itemChanged, this, &ProjectPointsPage::materialEdited);
    connect(points_, &QTableWidget::currentCellChanged, this, [this] { enableButtons(); });
    connect(add_, &QPushButton::clicked, this, &ProjectPointsPage::addPoint);
    connect(removed_, &QPushButton::clicked, this, &ProjectPointsPage::markRemoved);
    connect(notRemoved_, &QPushButton::clicked, this, &ProjectPointsPage::clearRemoved);
}

void ProjectPointsPage::showPoint(int r, const ProjectSettings& s) {
    const MonitoringPoint& p = rowPoints_[static_cast<std::size_t>(r)];
    const bool air = p.scale == PointScale::Air;
    points_->setItem(r, PointName, fixed_item(QString::fromStdString(point_text(p))));
    points_->setItem(r, Label, new QTableWidgetItem(QString::fromStdString(s.label(p))));
    points_->setItem(r, Role, fixed_item(QString()));
    points_->removeCellWidget(r, Role);
    const auto own = std::find_if(s.point_standards.begin(), s.point_standards.end(),
                                  [&](const PointStandard& ps) { return ps.point == p; });
    const bool has = own != s.point_standards.end();
    points_->setItem(r, PointStandardColumn,
                     air ? fixed_item(QString())
                         : new QTableWidgetItem(has ? standard_text(own->standard) : ""));
    points_->setItem(
        r, PointTolerance,
        air ? fixed_item(QString())
            : new QTableWidgetItem(has && own->tolerance ? figure(*own->tolerance) : QString()));
    if (air) {
        auto* box = new QComboBox(points_);
        for (const char* name : kRoleNames) {
            box->addItem(QString::fromUtf8(name));
        }
        box->setCurrentIndex(static_cast<int>(air_role(s.roles(), p.location)));
        box->setEnabled(window_.editable());
        const int location = p.location;
        connect(box, &QComboBox::activated, this,
                [this, location](int index) { roleChosen(location, index); });
        points_->setCellWidget(r, Role, box);
    }
    points_->setItem(
        r, Status,
        fixed_item(status_text(note_of(s, p), static_cast<std::size_t>(r) < readPoints_)));
}

void ProjectPointsPage::show(const ProjectView& view) {
    filling_ = true;
    const ProjectSettings& s = view.settings;
    rowPoints_.clear();
    for (const PointHistory& h : view.points) {
        rowPoints_.push_back(h.point);
    }
    readPoints_ = rowPoints_.size();
    // Points planned or removed before any reading names them follow the points read.
    for (const PointNote& n : s.points) {
        if ((n.planned || n.removed) &&
            std::find(rowPoints_.begin(), rowPoints_.end(), n.point) == rowPoints_.end()) {
            rowPoints_.push_back(n.point);
        }
    }
    points_->setRowCount(static_cast<int>(rowPoints_.size()));
    for (int r = 0; r < points_->rowCount(); ++r) {
        showPoint(r, s);
    }
    showMaterials(s);
    const auto triggers = window_.editable() ? QAbstractItemView::DoubleClicked |
                                                   QAbstractItemView::EditKeyPressed |
                                                   QAbstractItemView::AnyKeyPressed
                                             : QAbstractItemView::NoEditTriggers;
    points_->setEditTriggers(triggers);
    materials_->setEditTriggers(triggers);
    pointsFit_.apply(points_, view.id);
    materialsFit_.apply(materials_, view.id);
    enableButtons();
    filling_ = false;
}

void ProjectPointsPage::enableButtons() {
    const int row = points_->currentRow();
    const bool editable = window_.editable() && window_.view().id != 0;
    const bool mc = row >= 0 && static_cast<std::size_t>(row) < rowPoints_.size() &&
                    rowPoints_[static_cast<std::size_t>(row)].scale != PointScale::Air;
    const PointNote* note =
        mc ? note_of(window_.view().settings, rowPoints_[static_cast<std::size_t>(row)]) : nullptr;
    add_->setEnabled(editable);
    removed_->setEnabled(editable && mc);
    notRemoved_->setEnabled(editable && note != nullptr && note->removed.has_value());
}

void ProjectPointsPage::addPoint() {
    std::optional<QString> text;
    if (window_.actions().ask_point) {
        text = window_.actions().ask_point();
    } else {
        bool ok = false;
        const QString typed = QInputDialog::getText(
            this, QStringLiteral("Add point"),
            QStringLiteral("&Point, as the table writes it (\"KIT,W/Plaster\", \"KIT,W/Plaster "
                           "scan\", \"KIT\" for RH/T):"),
            QLineEdit::Normal, QString(), &ok);
        text = ok ? std::optional<QString>(typed) : std::nullopt;
    }
    if (!text) {
        return;
    }
    const std::optional<MonitoringPoint> point = parse_point(text->trimmed().toStdString());
    if (!point) {
        window_.refuse("Not a point: " + text->trimmed().toStdString() +
                       ". Write it as the Point column writes it (\"KIT,W/Plaster\", "
                       "\"KIT,W/Plaster scan\", \"KIT\").");
        return;
    }
    const std::int64_t id = window_.view().id;
    window_.write([&](ProjectStore& s) { return s.set_planned(id, *point, true); }, "The point");
}

void ProjectPointsPage::markRemoved() {
    const int row = points_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= rowPoints_.size()) {
        return;
    }
    const MonitoringPoint point = rowPoints_[static_cast<std::size_t>(row)];
    const ProjectView& view = window_.view();
    const PointNote* note = note_of(view.settings, point);
    // Proposed: what is stored, else the last day read (else today).
    PointRemoval proposed{view.logs.drying.days.empty() ? 0 : view.logs.drying.days.back(), ""};
    if (note != nullptr && note->removed) {
        proposed = *note->removed;
    } else if (view.logs.drying.days.empty() && window_.actions().today) {
        proposed.on = window_.actions().today();
    }
    const QString name = QString::fromStdString(point_text(point));
    const std::optional<PointRemoval> removal =
        window_.actions().ask_removal ? window_.actions().ask_removal(name, proposed)
                                      : RemovedMaterialDialog::ask(this, name, proposed);
    if (!removal) {
        return;
    }
    const std::int64_t id = view.id;
    window_.write([&](ProjectStore& s) { return s.set_removed(id, point, removal); },
                  "The removed material");
}

void ProjectPointsPage::clearRemoved() {
    const int row = points_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= rowPoints_.size()) {
        return;
    }
    const MonitoringPoint point = rowPoints_[static_cast<std::size_t>(row)];
    const QString name = QString::fromStdString(point_text(point));
    if (window_.actions().confirm &&
        !window_.actions().confirm(
            QStringLiteral("Take back the removal of the material at %1? Its readings are "
                           "judged wet or dry again.")
                .arg(name))) {
        return;
    }
    const std::int64_t id = window_.view().id;
    window_.write([&](ProjectStore& s) { return s.set_removed(id, point, std::nullopt); },
                  "The removed material");
}

void ProjectPointsPage::showMaterials(const ProjectSettings& s) {
    std::set<std::pair<std::string, PointScale>> materials;
    for (const MonitoringPoint& p : rowPoints_) {
        if (p.scale != PointScale::Air) {
            materials.insert({p.material, p.scale});
        }
    }
    for (const MaterialStandard& m : s.materials) {
        materials.insert({m.material, m.scale});
    }
    rowMaterials_.assign(materials.begin(), materials.end());
    materials_->setRowCount(static_cast<int>(rowMaterials_.size()));
    for (int r = 0; r < materials_->rowCount(); ++r) {
        const auto& [material, scale] = rowMaterials_[static_cast<std::size_t>(r)];
        const auto m = std::find_if(s.materials.begin(), s.materials.end(), [&](const auto& x) {
            return x.material == material && x.scale == scale;
        });
        const bool has = m != s.materials.end();
        materials_->setItem(r, Material, fixed_item(QString::fromStdString(material)));
        materials_->setItem(r, Scale,
                            fixed_item(scale == PointScale::Pin ? "pin (%MC)" : "scan (scale)"));
        materials_->setItem(r, Standard,
                            new QTableWidgetItem(has ? standard_text(m->standard) : ""));
        materials_->setItem(r, Tolerance,
                            new QTableWidgetItem(figure(has ? m->tolerance : kDefaultTolerance)));
    }
}

void ProjectPointsPage::pointEdited(QTableWidgetItem* item) {
    if (filling_) {
        return;
    }
    const MonitoringPoint point = rowPoints_.at(static_cast<std::size_t>(item->row()));
    const std::int64_t id = window_.view().id;
    if (item->column() == Label) {
        const std::string label = item->text().trimmed().toStdString();
        window_.write([&](ProjectStore& s) { return s.set_label(id, point, label); }, "The label");
        return;
    }
    const QString tolerance = points_->item(item->row(), PointTolerance)->text().trimmed();
    const std::optional<DryStandard> standard =
        parse_standard(points_->item(item->row(), PointStandardColumn)->text());
    bool number = tolerance.isEmpty();
    const double t = tolerance.toDouble(number ? nullptr : &number);
    if (!standard || !number || t < 0) {
        window_.refuse(kStandardRefused);
        return;
    }
    if (refusedReference(*standard)) {
        return;
    }
    PointStandard ps{point, *standard, std::nullopt};
    if (!tolerance.isEmpty()) {
        ps.tolerance = t;
    }
    window_.write([&](ProjectStore& s) { return s.set_point_standard(id, ps); }, "The standard");
}

void ProjectPointsPage::materialEdited(QTableWidgetItem* item) {
    if (filling_) {
        return;
    }
    const auto& [material, scale] = rowMaterials_.at(static_cast<std::size_t>(item->row()));
    const std::int64_t id = window_.view().id;
    const std::optional<DryStandard> standard =
        parse_standard(materials_->item(item->row(), Standard)->text());
    bool number = false;
    const double t = materials_->item(item->row(), Tolerance)->text().trimmed().toDouble(&number);
    if (!standard || !number || t < 0) {
        window_.refuse(kStandardRefused);
        return;
    }
    if (refusedReference(*standard)) {
        return;
    }
    const MaterialStandard ms{material, scale, *standard, t};
    window_.write([&](ProjectStore& s) { return s.set_material_standard(id, ms); }, "The standard");
}

bool ProjectPointsPage::refusedReference(const DryStandard& standard) {
    if (!standard.reference ||
        std::find(rowPoints_.begin(), rowPoints_.end(), *standard.reference) != rowPoints_.end()) {
        return false;
    }
    window_.refuse("No attached job has readings at " + point_text(*standard.reference) +
                   ": a reference is one of the project's points, written as the Point column "
                   "writes it.");
    return true;
}

void ProjectPointsPage::roleChosen(int location, int index) {
    const auto role = static_cast<AirRole>(index);
    const std::int64_t id = window_.view().id;
    const std::optional<AirRole> stored =
        role == AirRole::Other ? std::nullopt : std::optional<AirRole>(role);
    window_.write([&](ProjectStore& s) { return s.set_role(id, location, stored); }, "The role");
}

} // namespace qm
