#include "sync/server_messages.h"

#include "sync/pg_db.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace qm {

namespace {

// libpq's and the server's words for each problem (PostgreSQL 15). The first that matches wins:
// a missing database is also reported where a password was tried, so it is looked for first.
struct ProblemWords {
    ServerProblem problem;
    std::array<std::string_view, 8> words;
};

constexpr ProblemWords kProblemWords[] = {
    {ServerProblem::DatabaseMissing, {"\" does not exist"}},
    {ServerProblem::PasswordRefused,
     {"password authentication failed", "no password supplied", "SCRAM authentication"}},
    {ServerProblem::ConnectionLost,
     {"server closed the connection unexpectedly", "terminated abnormally",
      "no connection to the server", "could not receive data from server",
      "could not send data to server", "SSL SYSCALL error", "SSL connection has been closed",
      "terminating connection due to administrator command"}},
    {ServerProblem::NotReached,
     {"Is the server running", "could not translate host name", "timeout expired",
      "No route to host", "Network is unreachable", "Connection timed out",
      "could not connect to server", "the database system is starting up"}},
};

constexpr const char* kNotReached =
    "The team server cannot be reached. Check this computer's network connection and the "
    "server's address under File > Team Server\u2026; if both are right, the server may be down: "
    "ask whoever runs it.";
constexpr const char* kPasswordRefused =
    "The team server did not take the password. Check it and sync again; whoever runs the server "
    "can set a new one.";
constexpr const char* kConnectionLost =
    "The connection to the team server was lost. What was sent is kept; the next sync "
    "completes it.";

// The database a "database "NAME" does not exist" names; empty when the text names none.
std::string missing_database(std::string_view message) {
    constexpr std::string_view kOpen = "database \"";
    const std::size_t end = message.find("\" does not exist");
    const std::size_t open = message.rfind(kOpen, end);
    if (end == std::string_view::npos || open == std::string_view::npos) {
        return {};
    }
    return std::string(message.substr(open + kOpen.size(), end - open - kOpen.size()));
}

std::string percent_decoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto hex = [&](std::size_t at) {
            return at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at]));
        };
        if (text[i] == '%' && hex(i + 1) && hex(i + 2)) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A URI without "user:secret@"'s secret and without "password" among its parameters. libpq takes
// the credentials up to the first '@' before any '/', and decodes a parameter's name.
std::string uri_without_password(std::string_view uri, std::size_t scheme_end) {
    std::string out(uri.substr(0, scheme_end));
    std::string_view rest = uri.substr(scheme_end);
    const std::size_t at = rest.find_first_of("@/");
    if (at != std::string_view::npos && rest[at] == '@') {
        const std::string_view credentials = rest.substr(0, at);
        out += credentials.substr(0, credentials.find(':'));
        rest.remove_prefix(at);
    }
    const std::size_t query = rest.find('?');
    out += rest.substr(0, query);
    if (query == std::string_view::npos) {
        return out;
    }
    std::string_view params = rest.substr(query + 1);
    char separator = '?';
    while (!params.empty()) {
        const std::size_t amp = params.find('&');
        const std::string_view param = params.substr(0, amp);
        params.remove_prefix(amp == std::string_view::npos ? params.size() : amp + 1);
        if (percent_decoded(param.substr(0, param.find('='))) != "password" && !param.empty()) {
            out += separator;
            out += param;
            separator = '&';
        }
    }
    return out;
}

// "key = value" pairs without the password's, the others as typed, one space apart. A value is
// a word or quoted ('...'), with backslash escapes in both, as libpq reads them.
std::string pairs_without_password(std::string_view text) {
    std::vector<std::string_view> kept;
    std::size_t i = 0;
    const auto space = [&] {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
    };
    for (space(); i < text.size(); space()) {
        const std::size_t start = i;
        while (i < text.size() && text[i] != '=' &&
               !std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        const std::string_view key = text.substr(start, i - start);
        space();
        i += i < text.size() && text[i] == '=' ? 1 : 0;
        space();
        const bool quoted = i < text.size() && text[i] == '\'';
        i += quoted ? 1 : 0;
        for (; i < text.size(); ++i) {
            if (text[i] == '\\') {
                ++i;
            } else if (quoted ? text[i] == '\''
                              : std::isspace(static_cast<unsigned char>(text[i]))) {
                break;
            }
        }
        i = std::min(text.size(), i + (quoted ? 1 : 0));
        if (key != "password") {
            kept.push_back(text.substr(start, i - start));
        }
    }
    std::string out;
    for (const std::string_view pair : kept) {
        out += (out.empty() ? "" : " ") + std::string(pair);
    }
    return out;
}

} // namespace

ServerProblem server_problem(std::string_view message) {
    for (const ProblemWords& p : kProblemWords) {
        for (const std::string_view words : p.words) {
            if (!words.empty() && message.find(words) != std::string_view::npos) {
                if (p.problem == ServerProblem::DatabaseMissing &&
                    missing_database(message).empty()) {
                    continue; // a role or a table, not a database
                }
                return p.problem;
            }
        }
    }
    return ServerProblem::Other;
}

PlainMessage plain_server_message(std::string_view message) {
    const std::string details(message);
    switch (server_problem(message)) {
    case ServerProblem::NotReached:
        return {kNotReached, details};
    case ServerProblem::PasswordRefused:
        return {kPasswordRefused, details};
    case ServerProblem::ConnectionLost:
        return {kConnectionLost, details};
    case ServerProblem::DatabaseMissing:
        return {"The team server has no database \u201c" + missing_database(message) +
                    "\u201d. Check the database's name in the server's address under File > "
                    "Team Server\u2026",
                details};
    case ServerProblem::Other:
        break;
    }
    return {details, {}};
}

std::string address_without_password(const std::string& address) {
    std::string out;
    for (const std::string_view scheme : {"postgresql://", "postgres://"}) {
        if (out.empty() && std::string_view(address).starts_with(scheme)) {
            out = uri_without_password(address, scheme.size());
        }
    }
    if (out.empty()) {
        out = pairs_without_password(address);
    }
    std::string error;
    // What libpq still finds a password in is not shown again.
    return conninfo_has_password(out, error).value_or(false) ? std::string() : out;
}

} // namespace qm
