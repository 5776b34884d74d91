#pragma once

#include <span>
#include <string>

namespace qmtool {

// Whether two names stand for one file: the same device and inode (links followed) where both
// exist, else the same path once the links of its existing part are followed.
bool same_file(const std::string& a, const std::string& b);

// Refuses an output that is one of the command's inputs: says so on stderr ("qmtool: OUT: the
// output is the input IN; nothing written") and returns true.
bool output_is_an_input(const std::string& output, std::span<const std::string> inputs);

} // namespace qmtool
