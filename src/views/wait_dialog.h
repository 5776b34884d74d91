#pragma once

#include "link/download_procedure.h"
#include "link/link_state.h"
#include "ui/layout_metrics.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPainter;
class QPushButton;

namespace qm {

// The two round lamps of the wait dialog: dark while the base unit is searched for, then one
// green and one red, swapping at every packet.
struct ProgressLamps {
    // The lamp boxes in a client area of the given width; charHeight places them.
    static QRect left(int clientWidth, int charHeight);
    static QRect right(int clientWidth, int charHeight);
    static void paint(QPainter& painter, LampState state, int clientWidth, int charHeight);
};

// The "Please Wait.." dialog of a download: the explanation, two lamps that swap colours at
// every packet, how much has arrived, and Cancel.
class WaitDialog : public QDialog {
    Q_OBJECT
public:
    WaitDialog(const LayoutMetrics& metrics, QWidget* owner);

    void setLampState(LampState state);
    LampState lampState() const { return lampState_; }
    // The line under the lamps: packets received, or what the download is doing.
    void setProgress(std::size_t packets, std::size_t bytes);
    void setStatus(const QString& text);
    // The explanation at the top (a download's by default).
    void setExplanation(const QString& text);
    QString progressText() const;
    bool cancelRequested() const { return cancelRequested_; }

    // The boxes of the two lamps in the dialog's client area.
    QRect leftLampRect() const;
    QRect rightLampRect() const;

public Q_SLOTS:
    // Cancel, Escape and the close box all ask the download to stop.
    void reject() override;

Q_SIGNALS:
    // Cancel was asked for (once).
    void cancelPressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    const LayoutMetrics& metrics_;
    LampState lampState_ = LampState::Off;
    bool cancelRequested_ = false;
    QLabel* explanation_ = nullptr;
    QLabel* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// The desktop program's side of a download: the wait dialog, message boxes and the message pump.
class WaitDialogUi : public DownloadUi {
public:
    // messages shows the message boxes; quitRequested tells whether the program is closing.
    WaitDialogUi(const LayoutMetrics& metrics, QWidget* owner, UserInterface& messages,
                 std::function<bool()> quitRequested);
    ~WaitDialogUi() override;

    void message_box(std::string_view text, std::string_view caption, MessageIcon icon) override;
    PumpResult pump_messages(PumpMode mode) override;
    bool create_wait_dialog() override;
    void show_wait_dialog() override;
    void end_wait_dialog() override;
    void set_lamp_state(LampState state) override;
    void set_progress(std::size_t packets, std::size_t bytes) override;
    void set_status(std::string_view text) override;
    // Centred over the main window (the desktop's own boxes); recorded ones pass on as they are.
    void wait_dialog_message_box(std::string_view text, std::string_view caption,
                                 MessageIcon icon) override;
    void post_quit() override;

    WaitDialog* dialog() const { return dialog_; }
    bool quitPosted() const { return quitPosted_; }

private:
    const LayoutMetrics& metrics_;
    QWidget* owner_;
    UserInterface& messages_;
    std::function<bool()> quitRequested_;
    WaitDialog* dialog_ = nullptr;
    bool quitPosted_ = false;
};

} // namespace qm
