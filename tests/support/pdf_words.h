#pragma once

// Reads the words of a printed PDF page with their positions, through pdftotext -bbox.

#include "support/pdf_reader.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace qm::test {

// A word and its box in printer pixels of a page printed at kPdfDpi.
struct PdfWord {
    std::string text;
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

constexpr int kPdfDpi = 1200;

// A PDF printer whose printable area is exactly width x height pixels at 1200 dpi.
inline void set_up_pdf_printer(QPrinter& printer, const QString& path, int width, int height) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(kPdfDpi);
    printer.setPageSize(QPageSize(QSizeF(double(width) / kPdfDpi, double(height) / kPdfDpi),
                                  QPageSize::Inch, QString(), QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Inch);
    printer.setFullPage(true);
}

// The words of page `page` (1-based), positions converted from points to printer pixels.
inline std::vector<PdfWord> pdf_words(const std::string& path, int page = 1) {
    const std::string p = std::to_string(page);
    const std::string html =
        run_command("pdftotext -bbox -f " + p + " -l " + p + " '" + path + "' - 2>/dev/null");
    const double scale = kPdfDpi / 72.0;
    std::vector<PdfWord> words;
    // Lines of the form <word xMin="..." yMin="..." xMax="..." yMax="...">text</word>.
    const auto attribute = [](const std::string& line, const std::string& name) {
        const auto at = line.find(name + "=\"");
        return at == std::string::npos ? 0.0 : std::stod(line.substr(at + name.size() + 2));
    };
    std::size_t start = 0;
    while ((start = html.find("<word ", start)) != std::string::npos) {
        const std::size_t text_start = html.find('>', start) + 1;
        const std::size_t text_end = html.find("</word>", text_start);
        if (text_end == std::string::npos) {
            break;
        }
        const std::string tag = html.substr(start, text_start - start);
        words.push_back({html.substr(text_start, text_end - text_start),
                         attribute(tag, "xMin") * scale, attribute(tag, "yMin") * scale,
                         attribute(tag, "xMax") * scale, attribute(tag, "yMax") * scale});
        start = text_end;
    }
    return words;
}

// The words of a page with the given text, in reading order.
inline std::vector<PdfWord> find_words(const std::vector<PdfWord>& words, const std::string& text) {
    std::vector<PdfWord> found;
    for (const PdfWord& w : words) {
        if (w.text == text) {
            found.push_back(w);
        }
    }
    return found;
}

} // namespace qm::test
