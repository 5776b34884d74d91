// The Projects window's points and standards: labels, RH/T roles, and the dry standards and
// tolerances of the points and of the materials.
#include "projects/project_texts.h"
#include "views/project_pages.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
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
    points_ =
        make_table(this, {QStringLiteral("Point"), QStringLiteral("Label"), QStringLiteral("Role"),
                          QStringLiteral("Own standard"), QStringLiteral("Own tolerance")});
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
    layout->addWidget(new QLabel(QStringLiteral("Standards of the materials:"), this));
    layout->addWidget(materials_, 2);
    layout->addWidget(help);
    connect(points_, &QTableWidget::itemChanged, this, &ProjectPointsPage::pointEdited);
    connect(materials_, &QTableWidget::itemChanged, this, &ProjectPointsPage::materialEdited);
}

void ProjectPointsPage::show(const ProjectView& view) {
    filling_ = true;
    const ProjectSettings& s = view.settings;
    rowPoints_.clear();
    for (const PointHistory& h : view.points) {
        rowPoints_.push_back(h.point);
    }
    points_->setRowCount(static_cast<int>(rowPoints_.size()));
    for (int r = 0; r < points_->rowCount(); ++r) {
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
        points_->setItem(r, PointTolerance,
                         air ? fixed_item(QString())
                             : new QTableWidgetItem(has && own->tolerance ? figure(*own->tolerance)
                                                                          : QString()));
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
    filling_ = false;
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
