#pragma once

#include "store/meter_identity.h"
#include "ui/layout_metrics.h"

#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;

namespace qm {

// The information panel at the left of the main window: job counts, the quick job info of the
// selected job, the wizard's Back button and a banner with the meter's model name.
class SidePanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int kMcJobCountId = 1049;
    static constexpr int kRhJobCountId = 1050;
    static constexpr int kReadingCountId = 1051;
    static constexpr int kLastReadingId = 1052;
    static constexpr int kFirstReadingId = 1053;
    static constexpr int kJobCaptionId = 1067;
    static constexpr int kBackId = 1011;
    static constexpr int kForwardId = 1012;

    SidePanel(const MeterIdentity& meter, const LayoutMetrics& metrics, const bool& pagesCreated,
              QWidget* parent = nullptr);

    void setJobCounts(int mcJobs, int rhJobs);
    // Number of readings, first and last reading, job caption.
    void setQuickJobInfo(const QString& count, const QString& first, const QString& last,
                         const QString& caption);
    // "----" three times and "Job ---".
    void clearQuickJobInfo();
    void setBackEnabled(bool enabled);
    bool backEnabled() const;

    QString fieldText(int id) const;
    QPushButton* backButton() const { return back_; }

Q_SIGNALS:
    void backRequested();
    void forwardRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* addStatic(const QString& text, int x, int y, int w, int h, Qt::Alignment align,
                      int id = 0);
    QLabel* field(int id) const;

    const MeterIdentity& meter_;
    const LayoutMetrics& metrics_;
    const bool& pagesCreated_;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
};

// The colour of the three banner bars.
inline const QColor kBannerColour(111, 111, 160);

} // namespace qm
