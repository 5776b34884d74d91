#pragma once

#include <string_view>

namespace qm {

// The icons of a message box. The exclamation and the warning icon are
// the same picture, so both are Warning here.
enum class MessageIcon {
    None,
    Information,
    Warning,
    Error,
    Question,
};

// What handling the pending window messages found.
enum class PumpResult {
    Continue, // nothing that ends the running operation
    Quit,     // the application is being closed
    Cancel,   // the user cancelled the running operation
};

// Which window messages a pump handles: during the port search only the wait dialog takes input
// and other windows only repaint; otherwise every message is dispatched.
enum class PumpMode {
    WaitDialogOnly,
    All,
};

// What a core procedure needs from the user interface: message boxes and the message pump. The
// Qt layer implements it with real windows, qmtool for a terminal, tests as recorders.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // Shows a modal message box and returns when the user has closed it. Texts are Windows-1252.
    virtual void message_box(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
    // Handles the pending window messages.
    virtual PumpResult pump_messages(PumpMode mode) = 0;
};

} // namespace qm
