#pragma once

// Draws the cells of a report's tables. Each distinct text of a font is laid out once and kept as
// glyphs, numbers are set from their digits' glyphs; the cells of a row then go to the painter as
// two runs of glyphs (one a cell before), at the places where QPainter::drawText(box, flags, text)
// puts them. A table of 150,000 rows holds few distinct texts apart from its row numbers, so most
// cells cost a look-up, and the PDF has two text objects a row instead of one a cell.

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QPainter;

namespace qm {

class TableTextPainter {
public:
    explicit TableTextPainter(QPainter& painter);
    ~TableTextPainter();
    TableTextPainter(const TableTextPainter&) = delete;
    TableTextPainter& operator=(const TableTextPainter&) = delete;

    // The font of the cells that follow (it must be the painter's font when they are drawn). On
    // other devices than a PDF the cells are drawn with drawText one by one.
    void set_font(const QFont& font);
    // A cell's text (Windows-1252) in `box` (device pixels), aligned by `flags` as drawText does
    // (left, right or horizontally centred; vertically centred). Kept until flush().
    void cell(const QRectF& box, int flags, std::string_view text);
    // Draws the cells kept since the last flush.
    void flush();

    // How many texts have been laid out (for tests: a repeated text is laid out once).
    std::size_t layouts() const { return layouts_; }

private:
    struct Shaped;
    struct FontTexts;
    const Shaped& shaped(std::string_view text);
    Shaped lay_out(const QString& text) const;
    void draw_directly(const QRectF& box, int flags, std::string_view text);
    void check_digits();
    void compose_digits(std::string_view text);

    QPainter& painter_;
    std::vector<std::unique_ptr<FontTexts>> fonts_;
    FontTexts* current_ = nullptr;
    // Glyphs kept to be drawn as one run, of one font.
    struct Run {
        QRawFont font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    void add(const Shaped& shaped, QPointF origin);
    void draw(Run& run);
    std::array<Run, 2> runs_; // of cells that start exactly on the PDF's digits, and the others
    bool as_runs_ = false;    // the painter paints a PDF
    std::unique_ptr<Shaped> composed_;
    std::size_t layouts_ = 0;
};

} // namespace qm
