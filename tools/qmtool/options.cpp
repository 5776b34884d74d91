#include "tools/qmtool/options.h"

#include <algorithm>

namespace qmtool {

const std::string* Arguments::value(std::string_view option) const {
    const auto it = values.find(option);
    return it == values.end() ? nullptr : &it->second;
}

bool parse_arguments(int argc, char** argv, std::initializer_list<std::string_view> flags,
                     std::initializer_list<std::string_view> valued, Arguments& out,
                     std::string& error) {
    const auto known = [](std::initializer_list<std::string_view> list, std::string_view name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    bool options_end = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            out.positional.emplace_back(arg);
        } else if (arg == "--") {
            options_end = true;
        } else if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (known(flags, arg)) {
            out.flags.emplace(arg);
        } else if (const auto eq = arg.find('=');
                   eq != std::string_view::npos && known(valued, arg.substr(0, eq))) {
            out.values[std::string(arg.substr(0, eq))] = std::string(arg.substr(eq + 1));
        } else if (known(valued, arg)) {
            if (i + 1 >= argc) {
                error = "option " + std::string(arg) + " needs a value";
                return false;
            }
            out.values[std::string(arg)] = argv[++i];
        } else {
            error = "unknown option " + std::string(arg);
            return false;
        }
    }
    return true;
}

} // namespace qmtool
