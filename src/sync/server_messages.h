#pragma once

// What a user is told about the team server: the common failures of reaching it in plain words
// (libpq's own text kept for the details), and an address made fit to show again.

#include <string>
#include <string_view>

namespace qm {

// The failures a user can act on, told apart by libpq's and the server's own texts.
enum class ServerProblem {
    Other,           // anything else: its text is shown as it is
    NotReached,      // no answer at that address (refused, unknown host, timeout, no socket)
    PasswordRefused, // the server did not take the password
    ConnectionLost,  // the connection broke after it was made
    DatabaseMissing, // the server has no database of that name
};

// Which problem a message (libpq's text, or a message that quotes it) tells of.
ServerProblem server_problem(std::string_view message);

// A message as the user is shown it: plain words first, the full original under Details.
struct PlainMessage {
    std::string text;
    std::string details; // empty when the text is the message itself
};

// The plain words for a failure of the common kinds, with `message` as the details; any other
// message as it is, without details.
PlainMessage plain_server_message(std::string_view message);

// A team server's address without the password written into it (a URI's "user:secret@", a
// "password" parameter or "password=..." pair), the rest as typed: for showing the address again
// after it was refused for holding one. Empty when no password-free form can be made.
std::string address_without_password(const std::string& address);

} // namespace qm
