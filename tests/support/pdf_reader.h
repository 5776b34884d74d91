#pragma once

// Reads back what a printing test wrote into a PDF file, through the poppler command-line tools.

#include <cstdio>
#include <string>
#include <vector>

namespace qm::test {

inline std::string run_command(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

// Number of pages, or -1 when the file is no readable PDF.
inline int pdf_page_count(const std::string& path) {
    const std::string info = run_command("pdfinfo '" + path + "' 2>/dev/null");
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

// The text of one page (1-based) or of all pages (0), in reading order, UTF-8.
inline std::string pdf_text(const std::string& path, int page = 0) {
    std::string range;
    if (page > 0) {
        range = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    }
    return run_command("pdftotext -layout" + range + " '" + path + "' - 2>/dev/null");
}

// A word of a PDF and the height of its box in points: for upright text about 1.164 times the
// size of its font (DejaVu Sans), so 7 points reads 8.15 and 8 points 9.29.
struct PdfWordHeight {
    std::string text;
    double height = 0.0;
};

// Every word of every page, through pdftotext -bbox.
inline std::vector<PdfWordHeight> pdf_word_heights(const std::string& path) {
    const std::string html = run_command("pdftotext -bbox '" + path + "' - 2>/dev/null");
    std::vector<PdfWordHeight> words;
    const auto attribute = [&](std::size_t from, const char* name) {
        return std::stod(html.substr(html.find(name, from) + std::string(name).size()));
    };
    for (std::size_t at = html.find("<word "); at != std::string::npos;
         at = html.find("<word ", at + 1)) {
        const std::size_t text = html.find('>', at) + 1;
        words.push_back({html.substr(text, html.find('<', text) - text),
                         attribute(at, "yMax=\"") - attribute(at, "yMin=\"")});
    }
    return words;
}

} // namespace qm::test
