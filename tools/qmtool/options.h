#pragma once

#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qmtool {

// The arguments of one command: positional arguments, flags ("--celsius") and options with a
// value ("--out DIR" or "--out=DIR").
struct Arguments {
    std::vector<std::string> positional;
    std::set<std::string, std::less<>> flags;
    std::map<std::string, std::string, std::less<>> values;
    bool help = false; // --help or -h was given

    bool has(std::string_view flag) const { return flags.contains(flag); }
    const std::string* value(std::string_view option) const;
};

// Parses argv against the flags and valued options a command knows. Returns false with a
// message in `error` for an unknown option or an option without its value.
bool parse_arguments(int argc, char** argv, std::initializer_list<std::string_view> flags,
                     std::initializer_list<std::string_view> valued, Arguments& out,
                     std::string& error);

} // namespace qmtool
