#include "shell/side_panel.h"

#include "ui/qt_text.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace qm {

namespace {

const QString kNoValue = QStringLiteral("----");
const QString kNoJob = QStringLiteral("Job ---");

QString objectNameFor(int id) {
    return QStringLiteral("static%1").arg(id);
}

} // namespace

SidePanel::SidePanel(const MeterIdentity& meter, const LayoutMetrics& metrics,
                     const bool& pagesCreated, QWidget* parent)
    : QFrame(parent), meter_(meter), metrics_(metrics), pagesCreated_(pagesCreated) {
    setObjectName(QStringLiteral("sidePanel"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    setFont(dialog_font());

    const auto left = Qt::AlignLeft | Qt::AlignTop;
    const auto right = Qt::AlignRight | Qt::AlignTop;
    const auto centre = Qt::AlignHCenter | Qt::AlignTop;
    addStatic(QStringLiteral("General Info:"), 45, 24, 42, 8, centre);
    addStatic(QStringLiteral("MC Jobs:                   "), 9, 43, 88, 11, left);
    addStatic(QStringLiteral("Static"), 105, 43, 19, 8, right, kMcJobCountId);
    addStatic(QStringLiteral("RH/T Jobs:                           "), 9, 53, 77, 11, left);
    addStatic(QStringLiteral("Static"), 105, 56, 19, 8, right, kRhJobCountId);
    addStatic(QStringLiteral("Quick Job Info:"), 42, 70, 49, 8, centre);
    addStatic(kNoJob, 9, 80, 115, 8, centre, kJobCaptionId);
    addStatic(QStringLiteral("Number of Readings:   "), 9, 95, 69, 11, left);
    addStatic(QStringLiteral("Static"), 77, 95, 47, 8, right, kReadingCountId);
    addStatic(QStringLiteral("First:    "), 9, 106, 52, 11, left);
    addStatic(QStringLiteral("Static"), 54, 106, 70, 8, right, kFirstReadingId);
    addStatic(QStringLiteral("Last:   "), 9, 117, 57, 11, left);
    addStatic(QStringLiteral("Static"), 55, 117, 69, 8, right, kLastReadingId);

    back_ = new QPushButton(QStringLiteral("&Back\n\n<-----------"), this);
    back_->setObjectName(QStringLiteral("button1011"));
    back_->setGeometry(metrics_.rect(43, 129, 48, 42));
    back_->setEnabled(false);
    // Return presses it when it has the focus, as any other button.
    back_->setAutoDefault(true);
    connect(back_, &QPushButton::clicked, this, &SidePanel::backRequested);

    QLabel* help = addStatic(
        QStringLiteral("Press the 'Back' button to go back one screen if a mistake was made.\n\n"
                       "'Quick Job Info' displays information on the currently selected job."),
        5, 180, 117, 56, centre);
    help->setWordWrap(true);

    // Never shown: the wizard moves forward through the pages' own buttons.
    forward_ = new QPushButton(QStringLiteral("Forward\n\n----------->"), this);
    forward_->setObjectName(QStringLiteral("button1012"));
    forward_->setGeometry(metrics_.rect(95, 206, 48, 42));
    forward_->setEnabled(false);
    forward_->hide();
    connect(forward_, &QPushButton::clicked, this, &SidePanel::forwardRequested);
    addStatic(QStringLiteral("RQ-5200"), 45, 7, 42, 8, centre, 1006)->hide();

    setJobCounts(0, 0);
    clearQuickJobInfo();
}

QLabel* SidePanel::addStatic(const QString& text, int x, int y, int w, int h, Qt::Alignment align,
                             int id) {
    auto* label = new QLabel(text, this);
    label->setAlignment(align);
    label->setGeometry(metrics_.rect(x, y, w, h));
    if (id != 0) {
        label->setObjectName(objectNameFor(id));
    } else {
        // Labels only: the value fields keep their boxes.
        widen_to_fit(label);
    }
    return label;
}

QLabel* SidePanel::field(int id) const {
    return findChild<QLabel*>(objectNameFor(id));
}

QString SidePanel::fieldText(int id) const {
    const QLabel* label = field(id);
    return label ? label->text() : QString();
}

void SidePanel::setJobCounts(int mcJobs, int rhJobs) {
    field(kMcJobCountId)->setText(QString::number(mcJobs));
    field(kRhJobCountId)->setText(QString::number(rhJobs));
}

void SidePanel::setQuickJobInfo(const QString& count, const QString& first, const QString& last,
                                const QString& caption) {
    field(kReadingCountId)->setText(count);
    field(kFirstReadingId)->setText(first);
    field(kLastReadingId)->setText(last);
    field(kJobCaptionId)->setText(caption);
}

void SidePanel::clearQuickJobInfo() {
    setQuickJobInfo(kNoValue, kNoValue, kNoValue, kNoJob);
}

void SidePanel::setBackEnabled(bool enabled) {
    back_->setEnabled(enabled);
}

bool SidePanel::backEnabled() const {
    return back_->isEnabled();
}

void SidePanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!pagesCreated_) {
        return;
    }
    QPainter p(this);
    const int width = metrics_.sidePanelWidth();
    p.setPen(Qt::black);
    p.setBrush(kBannerColour);
    for (const int top : {3, 15, 27}) {
        p.drawRect(QRect(QPoint(0, top), QPoint(width - 1, top + 7 - 1)));
    }
    // The model name stands on the bars in a white box of its own.
    p.setFont(window_font());
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::white);
    p.setPen(Qt::black);
    const QString text = QStringLiteral(" %1 ").arg(from_cp1252(meter_.model()));
    p.drawText(QRect(QPoint(0, 10), QPoint(width - 5 - 1, 32 - 1)),
               Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text);
}

} // namespace qm
