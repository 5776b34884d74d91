#pragma once

#include "store/user_interface.h"

#include <cstdio>

namespace qmtool {

// The user interface of the command line: a message box becomes one line of text on the error
// stream (texts pass through as the bytes they are), and there are no window messages to pump.
class TerminalUi : public qm::UserInterface {
public:
    explicit TerminalUi(std::FILE* err = stderr) : err_(err) {}

    void message_box(std::string_view text, std::string_view caption,
                     qm::MessageIcon icon) override;
    qm::PumpResult pump_messages(qm::PumpMode mode) override;

private:
    std::FILE* err_;
};

} // namespace qmtool
