#include "ui/qt_user_interface.h"

#include "ui/qt_text.h"

#include <QCoreApplication>

namespace qm {

QMessageBox::Icon to_qt_icon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void QtUserInterface::message_box(std::string_view text, std::string_view caption,
                                  MessageIcon icon) {
    QMessageBox box(to_qt_icon(icon), from_cp1252(caption), from_cp1252(text), QMessageBox::Ok);
    box.exec();
}

PumpResult QtUserInterface::pump_messages(PumpMode) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return PumpResult::Continue;
}

} // namespace qm
