// Table cells drawn as runs of glyphs make the same PDF page as drawText, cell by cell: the same
// text where a reader extracts it and the same pixels where poppler renders it.
#include "report/qt_table_text.h"

#include "support/pdf_reader.h"
#include "ui/qt_text.h"

#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qm {
namespace {

struct Cell {
    const char* text; // Windows-1252
    int align;
    double width; // pixels at 1200 dpi
};

// The cells of a row, in the sizes and alignments of the report's tables, with the texts that
// go another way: spaces at an end, a text too long for its cell (clipped), letters beyond ASCII.
// The cells start on even pixels at 1200 dpi, where a reader's rounding at 150 dpi tips most
// easily.
const std::vector<Cell> kCells = {
    {"118", Qt::AlignRight, 388},
    {"1/1/25", Qt::AlignLeft, 696},
    {"10:32 AM", Qt::AlignLeft, 784},
    {"KIT,W", Qt::AlignLeft, 632},
    {"Doug Fir", Qt::AlignLeft, 744},
    {"-0.3", Qt::AlignRight, 488},
    {"45.3", Qt::AlignHCenter, 532},
    {" 7 ", Qt::AlignLeft, 342},
    {"", Qt::AlignLeft, 190},
    {"Caf\xe9 \x80 5", Qt::AlignRight, 882},
    {"far too long for its cell", Qt::AlignLeft, 510},
};

QFont table_font() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(7.5);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// Pages of 60 rows of kCells at 1200 dpi, every other row shaded, each cell drawn by `cell`.
void write_table(const QString& path,
                 const std::function<void(QPainter&, const QRectF&, int, const Cell&, int)>& cell,
                 const std::function<void(QPainter&)>& end_of_table) {
    QPdfWriter writer(path);
    writer.setResolution(1200);
    QPainter painter(&writer);
    painter.setFont(table_font());
    for (int row = 0; row < 60; ++row) {
        const double y = 603.1 + row * 205.17;
        if (row % 2 == 1) {
            painter.fillRect(QRectF(504, y, 7650, 205.17), QColor(0xf2f2f2));
        }
        double x = 504;
        for (const Cell& c : kCells) {
            const QRectF box(x + 66, y, c.width - 132, 205.17);
            cell(painter, box, c.align | Qt::AlignVCenter, c, row);
            x += c.width;
        }
    }
    end_of_table(painter);
}

std::string cell_text(const Cell& c, int row) {
    // The row numbers are set from the digits' glyphs, the other texts laid out once.
    return &c == &kCells[0] ? std::to_string(row * 97 + 1) : c.text;
}

TEST(TableTextPainterTest, RowsOfGlyphRunsMatchDrawTextOnThePage) {
    QTemporaryDir dir;
    const QString cells = dir.filePath("cells.pdf");
    const QString runs = dir.filePath("runs.pdf");
    write_table(
        cells,
        [](QPainter& p, const QRectF& box, int flags, const Cell& c, int row) {
            p.drawText(box, flags, from_cp1252(cell_text(c, row)));
        },
        [](QPainter&) {});
    std::size_t layouts = 0;
    std::unique_ptr<TableTextPainter> table;
    write_table(
        runs,
        [&](QPainter& p, const QRectF& box, int flags, const Cell& c, int row) {
            if (!table) {
                table = std::make_unique<TableTextPainter>(p);
                table->set_font(p.font());
            }
            table->cell(box, flags, cell_text(c, row));
        },
        [&](QPainter&) {
            table->flush();
            layouts = table->layouts();
            table.reset();
        });
    std::set<std::string> texts;
    for (const Cell& c : kCells) {
        texts.insert(c.text);
    }
    EXPECT_EQ(layouts, texts.size() - 2); // neither the row numbers nor the empty cell

    const std::string a = dir.filePath("cells").toStdString();
    const std::string b = dir.filePath("runs").toStdString();
    EXPECT_EQ(test::pdf_text(a + ".pdf"), test::pdf_text(b + ".pdf"));
    EXPECT_NE(test::pdf_text(b + ".pdf").find("Caf\u00e9 \u20ac 5"), std::string::npos);
    for (const char* dpi : {"72", "150", "300"}) {
        const auto render = [&](const std::string& file) {
            return test::run_command(std::string("pdftoppm -r ") + dpi + " -singlefile '" + file +
                                     ".pdf' 2>/dev/null");
        };
        const std::string pixels = render(a);
        EXPECT_GT(pixels.size(), 1000u);
        EXPECT_TRUE(pixels == render(b)) << dpi << " dpi";
    }
}

} // namespace
} // namespace qm
