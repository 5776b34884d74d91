#include "report/report_pdf_info.h"

#include "text/cp1252.h"

#include <cctype>
#include <cstdio>
#include <optional>
#include <string_view>

namespace qm {

namespace {

// The whole number after `key` (skipping white space) in `text` from `from`.
std::optional<long long> number_after(std::string_view text, std::string_view key,
                                      std::size_t from = 0) {
    std::size_t at = text.find(key, from);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    at += key.size();
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) {
        ++at;
    }
    long long value = 0;
    bool digits = false;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0) {
        value = value * 10 + (text[at++] - '0');
        digits = true;
        if (value > (1LL << 40)) {
            return std::nullopt;
        }
    }
    return digits ? std::optional(value) : std::nullopt;
}

// A text string as UTF-16BE with its byte order mark, in hex: every character kept, nothing to
// escape.
std::string text_string(const std::string& text) {
    std::string out = "<FEFF";
    char hex[8];
    for (const char byte : text) {
        const char32_t c = cp1252_character(static_cast<unsigned char>(byte)).value_or(U'?');
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(c));
        out += hex;
    }
    return out + ">";
}

} // namespace

bool append_document_info(std::string& pdf, const DocumentInfo& info, const std::string& creator) {
    const std::string_view text(pdf);
    const std::size_t trailer = text.rfind("trailer");
    const std::size_t startxref = text.rfind("startxref");
    if (trailer == std::string_view::npos || startxref == std::string_view::npos ||
        startxref < trailer) {
        return false;
    }
    const std::string_view dictionary = text.substr(trailer, startxref - trailer);
    const std::optional<long long> size = number_after(dictionary, "/Size");
    const std::optional<long long> previous = number_after(text, "startxref", startxref);
    const std::size_t root_at = dictionary.find("/Root");
    const std::size_t root_end = dictionary.find('R', root_at + 5);
    if (!size || !previous || root_at == std::string_view::npos ||
        root_end == std::string_view::npos) {
        return false;
    }
    const std::string root(dictionary.substr(root_at, root_end + 1 - root_at));
    std::string update = pdf.empty() || pdf.back() == '\n' ? "" : "\n";
    const std::size_t object_at = pdf.size() + update.size();
    update += std::to_string(*size) + " 0 obj\n<<";
    const std::pair<const char*, const std::string*> entries[] = {{"/Title ", &info.title},
                                                                  {"/Author ", &info.author},
                                                                  {"/Subject ", &info.subject},
                                                                  {"/Creator ", &creator}};
    for (const auto& [key, value] : entries) {
        if (!value->empty()) {
            update += std::string("\n") + key + text_string(*value);
        }
    }
    update += "\n>>\nendobj\n";
    const std::size_t xref_at = pdf.size() + update.size();
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", object_at);
    update += "xref\n" + std::to_string(*size) + " 1\n" + entry;
    update += "trailer\n<<\n/Size " + std::to_string(*size + 1) + "\n" + root + "\n/Info " +
              std::to_string(*size) + " 0 R\n/Prev " + std::to_string(*previous) +
              "\n>>\nstartxref\n" + std::to_string(xref_at) + "\n%%EOF\n";
    pdf += update;
    return true;
}

} // namespace qm
