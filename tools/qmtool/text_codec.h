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

// A text of a file, the archive or the team server as the terminal is given it: Windows-1252 as
// UTF-8, each control byte that `keep` does not name written "\x1b" (qm::escape_control_bytes),
// so that no text can drive the terminal it is shown on.
std::string shown(std::string_view cp1252, std::string_view keep = {});

// The same for a UTF-8 text (a project's): control bytes as above, and a C1 control character
// (U+0080 to U+009F, which some terminals obey) as its two bytes, "\xc2\x9b".
std::string shown_utf8(std::string_view utf8, std::string_view keep = {});

// A JSON string of a UTF-8 text: control characters, DEL and the C1 controls as "\u001b".
std::string json_string(std::string_view utf8);

} // namespace qmtool
