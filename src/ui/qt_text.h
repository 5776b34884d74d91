#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace qm {

// The core holds its texts as Windows-1252 bytes; Qt wants Unicode. These convert at the border.
QString from_cp1252(std::string_view text);
std::string to_cp1252(const QString& text);

// File names travel through the core as the bytes the file system uses.
QString from_file_name(std::string_view name);
std::string to_file_name(const QString& name);

} // namespace qm
