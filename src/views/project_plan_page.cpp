#include "views/project_plan_page.h"

#include "plans/plan_store.h"
#include "plans/qt_map_painter.h"
#include "projects/drying_days.h"
#include "projects/project_texts.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace qm {

namespace {

// How long Play shows each day.
constexpr std::chrono::milliseconds kPlayStep{700};

} // namespace

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent) {
    setMinimumSize(200, 150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void MapCanvas::setMap(MapScene scene, const QImage& underlay) {
    scene_ = std::move(scene);
    underlay_ = underlay;
    update();
}

void MapCanvas::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (scene_.width_pt <= 0.0 || scene_.height_pt <= 0.0) {
        return;
    }
    const double s = std::min(width() / scene_.width_pt, height() / scene_.height_pt);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate((width() - scene_.width_pt * s) / 2, (height() - scene_.height_pt * s) / 2);
    painter.scale(s, s);
    paint_map(painter, scene_, underlay_);
}

ProjectPlanPage::ProjectPlanPage(ProjectsWindow& window) : window_(window) {
    plan_ = new QComboBox(this);
    auto* planLabel = new QLabel(QStringLiteral("Pl&an:"), this);
    planLabel->setBuddy(plan_);
    day_ = new QSlider(Qt::Horizontal, this);
    day_->setPageStep(1);
    day_->setTickPosition(QSlider::TicksBelow);
    dayLabel_ = new QLabel(this);
    play_ = new QPushButton(QStringLiteral("Pla&y"), this);
    play_->setCheckable(true);
    timer_ = new QTimer(this);
    timer_->setInterval(kPlayStep);
    canvas_ = new MapCanvas(this);
    notPlaced_ = new QLabel(this);
    notPlaced_->setWordWrap(true);
    notPlaced_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(planLabel);
    top->addWidget(plan_, 1);
    top->addWidget(day_, 2);
    top->addWidget(dayLabel_);
    top->addWidget(play_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(canvas_, 1);
    layout->addWidget(notPlaced_);

    connect(plan_, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) {
            showPlan();
        }
    });
    connect(day_, &QSlider::valueChanged, this, [this] { showDay(); });
    connect(play_, &QPushButton::toggled, this, [this](bool on) {
        if (on && day_->value() == day_->maximum()) {
            day_->setValue(day_->minimum()); // playing again starts from the first day
        }
        on ? timer_->start() : timer_->stop();
    });
    connect(timer_, &QTimer::timeout, this, [this] { step(); });
}

void ProjectPlanPage::show(const ProjectView& view) {
    PlanStore store(window_.archive());
    Result<std::vector<FloorPlan>> plans = std::vector<FloorPlan>{};
    Result<std::vector<PlacedPoint>> placed = std::vector<PlacedPoint>{};
    if (view.id != 0) {
        plans = store.plans(view.id);
        placed = store.placed(view.id);
    }
    plans_ = plans ? std::move(*plans) : std::vector<FloorPlan>{};
    placed_ = placed ? std::move(*placed) : std::vector<PlacedPoint>{};
    const QString kept = plan_->currentText();
    {
        const QSignalBlocker blocker(plan_);
        filling_ = true;
        plan_->clear();
        for (const FloorPlan& p : plans_) {
            plan_->addItem(QString::fromStdString(p.name));
        }
        plan_->setCurrentIndex(std::max(0, plan_->findText(kept)));
        filling_ = false;
    }
    if (!plans || !placed) {
        notes_ = QString::fromStdString(!plans ? plans.error() : placed.error());
    } else if (plans_.empty()) {
        notes_ = QStringLiteral("The project has no floor plan yet (qmtool project plan add).");
    } else {
        notes_ = notPlacedText(view);
    }
    showPlan();
}

QString ProjectPlanPage::notPlacedText(const ProjectView& view) const {
    QStringList names;
    for (const PointHistory& h : view.points) {
        if (std::none_of(placed_.begin(), placed_.end(),
                         [&](const PlacedPoint& p) { return p.point == h.point; })) {
            names << QString::fromStdString(point_text(h.point));
        }
    }
    return names.isEmpty() ? QStringLiteral("Every point is placed.")
                           : QStringLiteral("Not placed: ") + names.join(", ");
}

void ProjectPlanPage::showPlan() {
    const ProjectView& view = window_.view();
    const int index = plan_->currentIndex();
    const DryingLog& log = view.logs.drying;
    marks_.clear();
    underlay_ = QImage();
    QString text = notes_;
    if (index >= 0 && index < static_cast<int>(plans_.size()) && view.readings) {
        const FloorPlan& plan = plans_[static_cast<std::size_t>(index)];
        const std::vector<PointHistory> air = point_histories(view.readings->attached, true);
        marks_ = mark_points(placed_, plan.name, log, air);
        if (plan.underlay) {
            if (Result<std::vector<std::uint8_t>> bytes =
                    PlanStore(window_.archive()).underlay_bytes(*plan.underlay)) {
                underlay_.loadFromData(bytes->data(), static_cast<int>(bytes->size()));
            } else {
                text += "\n" + QString::fromStdString(bytes.error());
            }
        }
    }
    notPlaced_->setText(text);
    const int days = static_cast<int>(log.days.size());
    // Shown again after an edit, the plan stays on its day; another plan opens on the last day.
    const std::string name = index >= 0 ? plan_->currentText().toStdString() : std::string();
    const bool same = view.id == shownProject_ && name == shownPlan_;
    shownProject_ = view.id;
    shownPlan_ = name;
    const int keep = same ? day_->value() : -1;
    {
        const QSignalBlocker blocker(day_);
        day_->setRange(0, std::max(0, days - 1));
        day_->setValue(keep >= 0 && keep < days ? keep : std::max(0, days - 1));
    }
    day_->setEnabled(days > 1 && !marks_.empty());
    play_->setEnabled(day_->isEnabled());
    showDay();
}

void ProjectPlanPage::showDay() {
    const ProjectView& view = window_.view();
    const std::vector<std::int64_t>& days = view.logs.drying.days;
    const int index = plan_->currentIndex();
    if (index < 0 || index >= static_cast<int>(plans_.size()) || days.empty()) {
        dayLabel_->clear();
        canvas_->setMap({}, {});
        return;
    }
    const auto day = static_cast<std::size_t>(day_->value());
    const QString date = QString::fromStdString(iso_date(days[day]));
    dayLabel_->setText(QStringLiteral("Day %1 of %2: %3").arg(day + 1).arg(days.size()).arg(date));
    const FloorPlan& plan = plans_[static_cast<std::size_t>(index)];
    canvas_->setMap(map_scene(plan, marks_, day, plan.name + ", " + date.toStdString()), underlay_);
}

void ProjectPlanPage::step() {
    if (day_->value() >= day_->maximum()) {
        play_->setChecked(false);
        return;
    }
    day_->setValue(day_->value() + 1);
}

} // namespace qm
