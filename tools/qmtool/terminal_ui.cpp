#include "tools/qmtool/terminal_ui.h"

namespace qmtool {

void TerminalUi::message_box(std::string_view text, std::string_view /*caption*/,
                             qm::MessageIcon /*icon*/) {
    std::fprintf(err_, "%.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(err_);
}

qm::PumpResult TerminalUi::pump_messages(qm::PumpMode /*mode*/) {
    return qm::PumpResult::Continue;
}

} // namespace qmtool
