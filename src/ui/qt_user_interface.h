#pragma once

#include "store/user_interface.h"

#include <QMessageBox>

namespace qm {

// Real message boxes: modal, without an owner window, with the exact text, caption and icon.
class QtUserInterface : public UserInterface {
public:
    void message_box(std::string_view text, std::string_view caption, MessageIcon icon) override;
    // Handles every pending event.
    PumpResult pump_messages(PumpMode mode) override;
};

QMessageBox::Icon to_qt_icon(MessageIcon icon);

} // namespace qm
