#include "report/qt_table_text.h"

#include "ui/qt_text.h"

#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace qm {

namespace {

// Texts kept per font; at this many the cache starts afresh. A table's distinct texts (dates,
// times, places, values) stay far below it; the row numbers, each used once, are not kept.
constexpr std::size_t kMostTexts = 50'000;

// drawText lays out a line without wrapping in a line this wide.
constexpr double kUnwrappedLine = 0x01000000;

// Whether the PDF writer puts `x` (device pixels) down exactly: it keeps nine digits of a number,
// integer digits first, and cuts off the rest. It writes the first glyph of a run where it is and
// the others as steps from the glyph before. A cell whose start is kept exactly joins a run only
// when every step to it is exact too, so that a reader rounding to its pixels puts it exactly
// where a run of its own would; any other start is off by less than 1e-5 pixels either way, at
// least 1/64 pixel from where rounding could tip.
bool exact_in_pdf(double x) {
    // x is on the grid of 64ths: its fraction needs six decimals at most, n decimals when it is
    // a multiple of 2^-n.
    x = std::fabs(x);
    int kept = 9;
    for (double whole = 1.0; whole <= x && kept > 0; whole *= 10) {
        --kept;
    }
    if (kept >= 6) {
        return true;
    }
    const auto sixty_fourths = static_cast<long long>(x * 64);
    return sixty_fourths % (1LL << (6 - kept)) == 0;
}

// A glyph's place as the painter hands it on, in 64ths of a pixel.
double on_fixed_grid(double x) {
    return static_cast<double>(static_cast<int>(x * 64)) / 64;
}

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};

} // namespace

// A text laid out once: its glyphs relative to the top left of its line, or plain = false for a
// text that drawText draws better itself (several fonts, spaces at an end, control characters).
struct TableTextPainter::Shaped {
    bool plain = false;
    QRawFont font;
    std::vector<quint32> glyphs;
    std::vector<QPointF> positions;
    double width = 0.0;   // the line's natural width
    double advance = 0.0; // what right and centred alignment go by
    double height = 0.0;  // ascent and descent
};

struct TableTextPainter::FontTexts {
    QFont font;
    std::unordered_map<std::string, Shaped, TextHash, std::equal_to<>> texts;
    // A number's glyphs follow one another by their advances when the font neither kerns nor
    // otherwise places its digits in pairs (checked on every pair): numbers, the row numbers
    // above all, are then set from these without a layout of their own.
    bool digits_by_advance = false;
    std::array<Shaped, 10> digits;
};

TableTextPainter::TableTextPainter(QPainter& painter)
    : painter_(painter), composed_(std::make_unique<Shaped>()) {}

TableTextPainter::~TableTextPainter() = default;

void TableTextPainter::set_font(const QFont& font) {
    // Runs of glyphs are for PDF pages; a print preview records what it is given, and it keeps
    // a glyph run as the outlines of its glyphs.
    const QPaintEngine* engine = painter_.paintEngine();
    as_runs_ = engine != nullptr && engine->type() == QPaintEngine::Pdf;
    if (current_ != nullptr && current_->font == font) {
        return;
    }
    const auto found =
        std::find_if(fonts_.begin(), fonts_.end(), [&](const auto& f) { return f->font == font; });
    if (found != fonts_.end()) {
        current_ = found->get();
        return;
    }
    fonts_.push_back(std::make_unique<FontTexts>());
    current_ = fonts_.back().get();
    current_->font = font;
    check_digits();
}

void TableTextPainter::check_digits() {
    QString pairs;
    for (int i = 0; i < 100; ++i) {
        pairs += QChar(u'0' + i / 10);
        pairs += QChar(u'0' + i % 10);
    }
    const Shaped all = lay_out(pairs);
    if (!all.plain || all.glyphs.size() != 200) {
        return;
    }
    for (int d = 0; d < 10; ++d) {
        Shaped& digit = current_->digits[d];
        digit = lay_out(QString(QChar(u'0' + d)));
        if (!digit.plain || digit.glyphs.size() != 1 || !(digit.font == all.font) ||
            digit.width != digit.advance || digit.height != all.height ||
            digit.positions.front().x() != all.positions.front().x()) {
            return;
        }
    }
    double x = all.positions.front().x();
    for (std::size_t i = 0; i < all.glyphs.size(); ++i) {
        const Shaped& digit = current_->digits[pairs[static_cast<qsizetype>(i)].unicode() - u'0'];
        if (all.glyphs[i] != digit.glyphs.front() || all.positions[i].x() != x ||
            all.positions[i].y() != digit.positions.front().y()) {
            return;
        }
        x += digit.advance;
    }
    current_->digits_by_advance =
        x - all.positions.front().x() == all.advance && all.advance == all.width;
}

// A number set from its digits' glyphs, as the layout of the whole number places them.
void TableTextPainter::compose_digits(std::string_view text) {
    Shaped& composed = *composed_;
    composed.plain = true;
    composed.font = current_->digits[0].font;
    composed.glyphs.clear();
    composed.positions.clear();
    double x = current_->digits[0].positions.front().x();
    for (const char c : text) {
        const Shaped& digit = current_->digits[static_cast<std::size_t>(c - '0')];
        composed.glyphs.push_back(digit.glyphs.front());
        composed.positions.emplace_back(x, digit.positions.front().y());
        x += digit.advance;
    }
    composed.width = composed.advance = x - current_->digits[0].positions.front().x();
    composed.height = current_->digits[0].height;
}

TableTextPainter::Shaped TableTextPainter::lay_out(const QString& text) const {
    Shaped s;
    const bool printable = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() != 0x7f &&
               !(c.unicode() >= 0x80 && c.unicode() < 0xa0);
    });
    if (text.isEmpty() || !printable || text.front() == u' ' || text.back() == u' ') {
        return s;
    }
    QTextLayout layout(text, current_->font, painter_.device());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(kUnwrappedLine);
    line.setPosition(QPointF(0, 0));
    const bool one_line = !layout.createLine().isValid();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (!one_line || runs.size() != 1) {
        return s;
    }
    const QGlyphRun& run = runs.front();
    s.font = run.rawFont();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    s.glyphs.assign(glyphs.begin(), glyphs.end());
    s.positions.assign(positions.begin(), positions.end());
    s.width = line.naturalTextWidth();
    s.advance = line.horizontalAdvance();
    s.height = line.ascent() + line.descent();
    s.plain = s.font.isValid() && s.glyphs.size() == s.positions.size();
    return s;
}

const TableTextPainter::Shaped& TableTextPainter::shaped(std::string_view text) {
    if (current_->digits_by_advance &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        compose_digits(text);
        return *composed_;
    }
    auto& texts = current_->texts;
    const auto found = texts.find(text);
    if (found != texts.end()) {
        return found->second;
    }
    if (texts.size() >= kMostTexts) {
        texts.clear();
    }
    ++layouts_;
    return texts.emplace(std::string(text), lay_out(from_cp1252(text))).first->second;
}

void TableTextPainter::draw_directly(const QRectF& box, int flags, std::string_view text) {
    flush();
    painter_.drawText(box, flags, from_cp1252(text));
}

void TableTextPainter::cell(const QRectF& box, int flags, std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (!as_runs_) {
        draw_directly(box, flags, text);
        return;
    }
    const Shaped& s = shaped(text);
    if (!s.plain) {
        draw_directly(box, flags, text);
        return;
    }
    // The places drawText gives a line: aligned in the box, clipped to it when it does not fit.
    double y = 0.0;
    if ((flags & Qt::AlignBottom) != 0) {
        y = box.height() - s.height;
    } else if ((flags & Qt::AlignVCenter) != 0) {
        y = (box.height() - s.height) / 2;
    }
    const double bounds_x = (flags & Qt::AlignRight) != 0     ? box.width() - s.width
                            : (flags & Qt::AlignHCenter) != 0 ? (box.width() - s.width) / 2
                                                              : 0.0;
    if (!box.contains(QRectF(box.x() + bounds_x, box.y() + y, s.width, s.height))) {
        draw_directly(box, flags, text);
        return;
    }
    double x = 0.0;
    if ((flags & Qt::AlignRight) != 0) {
        x = box.width() - s.advance;
    } else if ((flags & Qt::AlignHCenter) != 0) {
        x = (box.width() - s.advance) / 2;
    }
    add(s, QPointF(box.x() + x, box.y() + y));
}

// Cells that start where the PDF keeps their place exactly go into one run, the others into the
// other, so that every step within the first run is exact too.
void TableTextPainter::add(const Shaped& s, QPointF origin) {
    const double start = on_fixed_grid(origin.x() + s.positions.front().x());
    const bool exact = exact_in_pdf(start);
    Run& run = runs_[exact ? 0 : 1];
    if (!run.glyphs.isEmpty() &&
        (!(s.font == run.font) ||
         (exact && !exact_in_pdf(start - on_fixed_grid(run.positions.back().x()))))) {
        draw(run);
    }
    if (run.glyphs.isEmpty()) {
        run.font = s.font;
    }
    for (std::size_t i = 0; i < s.glyphs.size(); ++i) {
        run.glyphs.append(s.glyphs[i]);
        run.positions.append(origin + s.positions[i]);
    }
}

void TableTextPainter::draw(Run& run) {
    if (run.glyphs.isEmpty()) {
        return;
    }
    QGlyphRun glyphs;
    glyphs.setRawFont(run.font);
    glyphs.setGlyphIndexes(run.glyphs);
    glyphs.setPositions(run.positions);
    painter_.drawGlyphRun(QPointF(0, 0), glyphs);
    run.glyphs.clear();
    run.positions.clear();
}

void TableTextPainter::flush() {
    for (Run& run : runs_) {
        draw(run);
    }
}

} // namespace qm
