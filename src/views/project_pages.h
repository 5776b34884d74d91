#pragma once

// The tabs of the Projects window: each shows the selected project and writes the user's edits
// through the window.

#include "views/projects_window.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace qm {

class DryingCharts;

// Fits a table's columns to their contents when it shows another project than before, or its
// first rows; shown again after an edit of the same project, the columns stay where they are, so
// that the next click lands on the cell it was aimed at.
class ColumnFit {
public:
    void apply(QTableWidget* table, std::int64_t project);

private:
    std::int64_t project_ = -1;
    bool hadRows_ = false;
};

// Details (name, client, site, claim, date of loss, category, class, notes), the attached jobs
// with Attach... and Detach, and the legend of the codes the project's points name (each name
// editable; an empty one goes back to the default).
class ProjectDetailsPage : public QWidget {
public:
    explicit ProjectDetailsPage(ProjectsWindow& window);
    void show(const ProjectView& view);
    // Writes the fields when they differ from the archive's (a field left, the project changed,
    // the window closed).
    void commit();

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* clientEdit() const { return client_; }
    QLineEdit* lossDateEdit() const { return lossDate_; }
    QComboBox* categoryBox() const { return category_; }
    QComboBox* classBox() const { return class_; }
    QPlainTextEdit* notesEdit() const { return notes_; }
    QTableWidget* jobTable() const { return jobs_; }
    QPushButton* attachButton() const { return attach_; }
    QPushButton* detachButton() const { return detach_; }
    QTableWidget* legendTable() const { return legend_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOutFields();
    void attach();
    void detach();
    void showLegend(const ProjectView& view);
    void legendEdited(QTableWidgetItem* item);

    ProjectsWindow& window_;
    std::int64_t shown_ = 0;
    ProjectDetails stored_;
    QLineEdit* name_ = nullptr;
    QLineEdit* client_ = nullptr;
    QLineEdit* site_ = nullptr;
    QLineEdit* claim_ = nullptr;
    QLineEdit* lossDate_ = nullptr;
    QComboBox* category_ = nullptr;
    QComboBox* class_ = nullptr;
    QPlainTextEdit* notes_ = nullptr;
    QTableWidget* jobs_ = nullptr;
    QPushButton* attach_ = nullptr;
    QPushButton* detach_ = nullptr;
    QTableWidget* legend_ = nullptr;
    std::vector<std::string> legendCodes_; // the code of each row of legend_
    bool filling_ = false;
};

// The points (label, role of an RH/T point, a point's own standard and tolerance, whether its
// material was removed or it is planned), Add point... (a point before it is read), Material
// removed... and Not removed for the selected point, and the standards of the materials (pin and
// scan apart).
class ProjectPointsPage : public QWidget {
public:
    explicit ProjectPointsPage(ProjectsWindow& window);
    void show(const ProjectView& view);

    QTableWidget* pointTable() const { return points_; }
    QTableWidget* materialTable() const { return materials_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removedButton() const { return removed_; }
    QPushButton* notRemovedButton() const { return notRemoved_; }
    enum PointColumn { PointName, Label, Role, PointStandardColumn, PointTolerance, Status };
    enum MaterialColumn { Material, Scale, Standard, Tolerance };

private:
    void showPoint(int row, const ProjectSettings& settings);
    void showMaterials(const ProjectSettings& settings);
    void addPoint();
    void markRemoved();
    void clearRemoved();
    void enableButtons();
    void pointEdited(QTableWidgetItem* item);
    void materialEdited(QTableWidgetItem* item);
    void roleChosen(int location, int index);
    // Refuses a standard that refers to a point no attached job has read; true when it does.
    bool refusedReference(const DryStandard& standard);

    ProjectsWindow& window_;
    QTableWidget* points_ = nullptr;
    QTableWidget* materials_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* removed_ = nullptr;
    QPushButton* notRemoved_ = nullptr;
    ColumnFit pointsFit_;
    ColumnFit materialsFit_;
    std::vector<MonitoringPoint> rowPoints_;
    std::size_t readPoints_ = 0; // the first rows: the points the attached jobs read
    std::vector<std::pair<std::string, PointScale>> rowMaterials_;
    bool filling_ = false;
};

// The drying log as a table (not yet dry first, each cell marked wet or dry in words as well as
// colour), a chart per point, and the psychrometric log with the grain depression.
class ProjectLogPage : public QWidget {
public:
    explicit ProjectLogPage(ProjectsWindow& window);
    void show(const ProjectView& view);

    QTableWidget* dryingTable() const { return drying_; }
    QTableWidget* airTable() const { return air_; }
    // The project's warnings (project_warnings), one a line; hidden when there are none.
    QLabel* warningsLabel() const { return warnings_; }
    // Per day of the drying log: its date, technicians and visits.
    QTableWidget* visitTable() const { return visits_; }
    DryingCharts* charts() const { return charts_; }
    // The columns before the days: point, label, standard, goal, dry since.
    static constexpr int kDrySince = 4;
    static constexpr int kFirstDay = 5;

private:
    void showDrying(const ProjectView& view);
    void showAir(const ProjectView& view);
    void showVisits(const ProjectView& view);

    ProjectsWindow& window_;
    QTableWidget* drying_ = nullptr;
    QTableWidget* visits_ = nullptr;
    QTableWidget* air_ = nullptr;
    QLabel* warnings_ = nullptr;
    DryingCharts* charts_ = nullptr;
};

// The equipment log: entries edited in the table (each unit's ID or serial, model and rated
// capacity among them), Add equipment and Remove equipment, the total of equipment-days, and the
// units of each type on site on each day read.
class ProjectEquipmentPage : public QWidget {
public:
    explicit ProjectEquipmentPage(ProjectsWindow& window);
    void show(const ProjectView& view);

    QTableWidget* table() const { return table_; }
    QTableWidget* dailyTable() const { return daily_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    enum Column { Type, Count, Place, Placed, Removed, Unit, Model, Capacity, Days, EquipmentDays };

private:
    void showDaily(const EquipmentLog& log);
    void add();
    void removeSelected();
    void edited(int row);

    ProjectsWindow& window_;
    QTableWidget* table_ = nullptr;
    QTableWidget* daily_ = nullptr;
    QLabel* total_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    ColumnFit fit_;
    std::vector<StoredEquipment> shown_;
    bool filling_ = false;
};

} // namespace qm
