#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qmtool {

// The system's texts are Windows-1252; a terminal speaks UTF-8.
std::string to_utf8(std::string_view cp1252);

// A UTF-8 text from the command line in Windows-1252; nothing when it is not valid UTF-8 or holds
// a character Windows-1252 has no byte for.
std::optional<std::string> from_utf8(std::string_view utf8);

} // namespace qmtool
