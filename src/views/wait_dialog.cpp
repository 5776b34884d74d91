#include "views/wait_dialog.h"

#include "ui/qt_text.h"
#include "ui/qt_user_interface.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace qm {

namespace {

// The window is 186 x 95 dialog units; the progress lines and Cancel below the lamps add to it.
constexpr int kWidthUnits = 186;
constexpr int kHeightUnits = 140;
constexpr int kProgressLinesUnits = 20; // room for a long port name on a second line
constexpr int kLampOffset = 5;
constexpr int kLampReach = 40;
constexpr int kLampHeight = 35;

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

// Lets everything through except user input to windows other than the wait dialog.
class WaitDialogOnlyFilter : public QObject {
public:
    explicit WaitDialogOnlyFilter(QWidget* dialog) : dialog_(dialog) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            break;
        default:
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr) {
            // Window-system objects pass input on to their widgets, where it is sorted.
            return false;
        }
        return dialog_ == nullptr || (widget != dialog_ && !dialog_->isAncestorOf(widget));
    }

private:
    QWidget* dialog_;
};

} // namespace

WaitDialog::WaitDialog(const LayoutMetrics& metrics, QWidget* owner)
    : QDialog(owner), metrics_(metrics) {
    setObjectName(QStringLiteral("waitDialog"));
    setWindowTitle(QStringLiteral("Please Wait.."));
    setFont(dialog_font());
    setFixedSize(metrics_.x(kWidthUnits), metrics_.y(kHeightUnits));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                   Qt::WindowCloseButtonHint);

    explanation_ = new QLabel(
        QStringLiteral("Please wait while communication is established with the meter and data "
                       "is downloaded.\n\nThis may take a few moments..."),
        this);
    explanation_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    explanation_->setWordWrap(true);
    explanation_->setGeometry(metrics_.rect(7, 7, kWidthUnits - 14, 40));

    const int lampBottom = 6 * metrics_.charHeight + kLampHeight;
    progress_ = new QLabel(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    progress_->setWordWrap(true);
    progress_->setGeometry(metrics_.x(4), lampBottom + 6, width() - metrics_.x(8),
                           metrics_.y(kProgressLinesUnits));

    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    const int cancelWidth = metrics_.x(50);
    const int cancelHeight = metrics_.y(14);
    cancel_->setGeometry((width() - cancelWidth) / 2, height() - cancelHeight - metrics_.y(7),
                         cancelWidth, cancelHeight);
    connect(cancel_, &QPushButton::clicked, this, &WaitDialog::reject);
    setProgress(0, 0);
}

void WaitDialog::setLampState(LampState state) {
    lampState_ = state;
    update();
}

void WaitDialog::setProgress(std::size_t packets, std::size_t bytes) {
    setStatus(from_cp1252(progress_text(packets, bytes)));
}

void WaitDialog::setStatus(const QString& text) {
    if (!cancelRequested_) {
        progress_->setText(text);
    }
}

void WaitDialog::setExplanation(const QString& text) {
    explanation_->setText(text);
}

QString WaitDialog::progressText() const {
    return progress_->text();
}

QRect WaitDialog::leftLampRect() const {
    return ProgressLamps::left(width(), metrics_.charHeight);
}

QRect WaitDialog::rightLampRect() const {
    return ProgressLamps::right(width(), metrics_.charHeight);
}

void WaitDialog::reject() {
    const bool first = !cancelRequested_;
    cancelRequested_ = true;
    cancel_->setEnabled(false);
    progress_->setText(QStringLiteral("Cancelling..."));
    if (first) {
        Q_EMIT cancelPressed();
    }
}

void WaitDialog::closeEvent(QCloseEvent* event) {
    // The dialog stays until the download has stopped; closing it asks for that.
    event->ignore();
    reject();
}

void WaitDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    ProgressLamps::paint(p, lampState_, width(), metrics_.charHeight);
}

QRect ProgressLamps::left(int clientWidth, int charHeight) {
    const int centre = clientWidth / 2;
    return QRect(centre - kLampReach, 6 * charHeight, kLampReach - kLampOffset, kLampHeight);
}

QRect ProgressLamps::right(int clientWidth, int charHeight) {
    const int centre = clientWidth / 2;
    return QRect(centre + kLampOffset, 6 * charHeight, kLampReach - kLampOffset, kLampHeight);
}

void ProgressLamps::paint(QPainter& painter, LampState state, int clientWidth, int charHeight) {
    if (state == LampState::Off) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    const bool phase0 = state == LampState::Phase0;
    painter.setBrush(phase0 ? kGreen : kRed);
    painter.drawEllipse(left(clientWidth, charHeight));
    painter.setBrush(phase0 ? kRed : kGreen);
    painter.drawEllipse(right(clientWidth, charHeight));
    painter.restore();
}

WaitDialogUi::WaitDialogUi(const LayoutMetrics& metrics, QWidget* owner, UserInterface& messages,
                           std::function<bool()> quitRequested)
    : metrics_(metrics), owner_(owner), messages_(messages),
      quitRequested_(std::move(quitRequested)) {}

WaitDialogUi::~WaitDialogUi() {
    delete dialog_;
}

void WaitDialogUi::message_box(std::string_view text, std::string_view caption, MessageIcon icon) {
    messages_.message_box(text, caption, icon);
}

PumpResult WaitDialogUi::pump_messages(PumpMode mode) {
    if (mode == PumpMode::WaitDialogOnly) {
        WaitDialogOnlyFilter filter(dialog_);
        qApp->installEventFilter(&filter);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        qApp->removeEventFilter(&filter);
    } else {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    if (quitRequested_ && quitRequested_()) {
        return PumpResult::Quit;
    }
    if (dialog_ != nullptr && dialog_->cancelRequested()) {
        return PumpResult::Cancel;
    }
    return PumpResult::Continue;
}

bool WaitDialogUi::create_wait_dialog() {
    delete dialog_;
    dialog_ = new WaitDialog(metrics_, owner_);
    dialog_->setLampState(LampState::Off);
    if (owner_ != nullptr) {
        const QRect o = owner_->frameGeometry();
        dialog_->move(o.center() - QPoint(dialog_->width() / 2, dialog_->height() / 2));
    }
    dialog_->show();
    return true;
}

void WaitDialogUi::show_wait_dialog() {
    if (dialog_ != nullptr) {
        dialog_->show();
        dialog_->raise();
        dialog_->activateWindow();
        dialog_->setFocus();
    }
}

void WaitDialogUi::end_wait_dialog() {
    if (dialog_ != nullptr) {
        dialog_->hide();
        dialog_->deleteLater();
        dialog_ = nullptr;
    }
}

void WaitDialogUi::set_lamp_state(LampState state) {
    if (dialog_ != nullptr) {
        dialog_->setLampState(state);
    }
}

void WaitDialogUi::set_progress(std::size_t packets, std::size_t bytes) {
    if (dialog_ != nullptr) {
        dialog_->setProgress(packets, bytes);
    }
}

void WaitDialogUi::set_status(std::string_view text) {
    if (dialog_ != nullptr) {
        dialog_->setStatus(from_cp1252(text));
        // Shown at once, before the exchange it announces; input waits for the next pump.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void WaitDialogUi::wait_dialog_message_box(std::string_view text, std::string_view caption,
                                           MessageIcon icon) {
    if (owner_ == nullptr || dynamic_cast<QtUserInterface*>(&messages_) == nullptr) {
        messages_.message_box(text, caption, icon);
        return;
    }
    QMessageBox box(to_qt_icon(icon), from_cp1252(caption), from_cp1252(text), QMessageBox::Ok,
                    owner_);
    box.exec();
}

void WaitDialogUi::post_quit() {
    quitPosted_ = true;
}

} // namespace qm
