#pragma once

// The Plan tab of the Projects window: a floor plan of the project with its placed points, day by
// day (a slider over the drying log's days, and Play), and the points not placed yet.

#include "plans/floor_plan.h"
#include "plans/plan_map.h"
#include "views/projects_window.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace qm {

// The map of one day, fitted to the widget.
class MapCanvas : public QWidget {
public:
    explicit MapCanvas(QWidget* parent);
    void setMap(MapScene scene, const QImage& underlay);
    const MapScene& scene() const { return scene_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MapScene scene_;
    QImage underlay_;
};

class ProjectPlanPage : public QWidget {
public:
    explicit ProjectPlanPage(ProjectsWindow& window);
    void show(const ProjectView& view);

    QComboBox* planBox() const { return plan_; }
    QSlider* daySlider() const { return day_; }
    QLabel* dayLabel() const { return dayLabel_; }
    QPushButton* playButton() const { return play_; }
    MapCanvas* canvas() const { return canvas_; }
    QLabel* notPlacedLabel() const { return notPlaced_; }

private:
    void showPlan();
    void showDay();
    void step();
    // The points the attached jobs read that no plan holds.
    QString notPlacedText(const ProjectView& view) const;

    ProjectsWindow& window_;
    std::vector<FloorPlan> plans_;
    std::vector<PlacedPoint> placed_;
    std::vector<MarkedPoint> marks_;
    QImage underlay_;
    QComboBox* plan_ = nullptr;
    QSlider* day_ = nullptr;
    QLabel* dayLabel_ = nullptr;
    QPushButton* play_ = nullptr;
    QTimer* timer_ = nullptr;
    MapCanvas* canvas_ = nullptr;
    QLabel* notPlaced_ = nullptr;
    std::int64_t shownProject_ = 0;
    std::string shownPlan_;
    QString notes_; // the points not placed, or why the plans cannot be shown
    bool filling_ = false;
};

} // namespace qm
