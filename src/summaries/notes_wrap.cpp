#include "summaries/notes_wrap.h"

namespace qm {

namespace {

std::vector<std::string_view> split_paragraphs(std::string_view text) {
    std::vector<std::string_view> paragraphs;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        paragraphs.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    paragraphs.push_back(text.substr(start));
    return paragraphs;
}

// Appends the pieces of a word too wide for one line: each the longest prefix that fits, at
// least one character. Returns the last piece, which further words may join.
std::string split_long_word(std::string_view word, int max_width, const TextMeasure& measure,
                            std::vector<std::string>& lines) {
    while (word.size() > 1 && measure(word) > max_width) {
        std::size_t fit = 1;
        while (fit < word.size() && measure(word.substr(0, fit + 1)) <= max_width) {
            ++fit;
        }
        lines.emplace_back(word.substr(0, fit));
        word.remove_prefix(fit);
    }
    return std::string(word);
}

void wrap_paragraph(std::string_view paragraph, int max_width, const TextMeasure& measure,
                    std::vector<std::string>& lines) {
    std::string line;
    bool line_started = false;
    std::size_t start = 0;
    while (start <= paragraph.size()) {
        std::size_t end = paragraph.find(' ', start);
        if (end == std::string_view::npos) {
            end = paragraph.size();
        }
        const std::string_view word = paragraph.substr(start, end - start);
        if (!line_started) {
            line = split_long_word(word, max_width, measure, lines);
            line_started = true;
        } else if (std::string joined = line + ' ' + std::string(word);
                   measure(joined) <= max_width) {
            line = std::move(joined);
        } else {
            lines.push_back(std::move(line));
            line = split_long_word(word, max_width, measure, lines);
        }
        start = end + 1;
    }
    lines.push_back(std::move(line));
}

} // namespace

std::vector<std::string> wrap_notes(std::string_view text, int max_width,
                                    const TextMeasure& measure) {
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    for (const std::string_view paragraph : split_paragraphs(text)) {
        wrap_paragraph(paragraph, max_width, measure, lines);
    }
    return lines;
}

} // namespace qm
