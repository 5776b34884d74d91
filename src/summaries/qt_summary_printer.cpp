#include "summaries/qt_summary_printer.h"

#include "summaries/notes_wrap.h"
#include "ui/qt_job_printer.h"
#include "ui/qt_text.h"

#include <QFontMetrics>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace qm {

namespace {

constexpr int kFontUnits = 9;

QRect to_qrect(const PageRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int alignment_flags(PageAlign align) {
    switch (align) {
    case PageAlign::Left:
        return Qt::AlignLeft;
    case PageAlign::Center:
        return Qt::AlignHCenter;
    case PageAlign::Right:
        return Qt::AlignRight;
    }
    return Qt::AlignLeft;
}

void paint_text(QPainter& painter, const PageText& t) {
    QString text = from_cp1252(t.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    int flags = alignment_flags(t.align) | Qt::AlignTop | Qt::TextDontClip | Qt::TextExpandTabs;
    if (t.single_line) {
        flags |= Qt::TextSingleLine;
    }
    painter.drawText(to_qrect(t.box), flags, text);
}

void paint_notes(QPainter& painter, const PageNotes& notes) {
    const QRect box = to_qrect(notes.box);
    if (box.width() <= 0 || box.height() <= 0) {
        return;
    }
    const QFontMetrics metrics(painter.font(), painter.device());
    const auto measure = [&metrics](std::string_view s) {
        return metrics.horizontalAdvance(from_cp1252(s));
    };
    painter.save();
    // Lines below the box are cut off, the last one possibly half way.
    painter.setClipRect(box);
    int top = box.top();
    for (const std::string& line : wrap_notes(notes.text, box.width(), measure)) {
        if (top >= box.bottom() + 1) {
            break;
        }
        painter.drawText(QRect(box.left(), top, box.width(), metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs,
                         from_cp1252(line));
        top += metrics.height();
    }
    painter.restore();
}

} // namespace

PrintDocument::PrintDocument(QPrinter& printer) : printer_(printer) {}

PrintDocument::~PrintDocument() {
    if (painter_.isActive()) {
        painter_.end();
    }
}

bool PrintDocument::begin() {
    printer_.setDocName(QString());
    pages_ = 0;
    return painter_.begin(&printer_);
}

bool PrintDocument::nextPage() {
    if (!painter_.isActive()) {
        return false;
    }
    if (pages_ > 0 && !printer_.newPage()) {
        return false;
    }
    ++pages_;
    return true;
}

bool PrintDocument::end() {
    return painter_.isActive() && painter_.end();
}

void PrintDocument::abort() {
    discard_printout(printer_, painter_);
}

QSize PrintDocument::pageSize() const {
    return printer_.pageLayout().paintRectPixels(printer_.resolution()).size();
}

QFont summary_print_font(int unit) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(std::max(1, kFontUnits * unit));
    return font;
}

void paint_summary_page(QPainter& painter, const SummaryPage& page) {
    painter.save();
    painter.setFont(summary_print_font(page.unit));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const PageText& t : page.texts) {
        paint_text(painter, t);
    }
    if (page.notes) {
        paint_notes(painter, *page.notes);
    }
    painter.restore();
}

bool ask_for_printer(QPrinter& printer, QWidget* parent, const QString& title) {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

void report_print_failure(QWidget* parent) {
    QMessageBox::warning(parent, QStringLiteral("Error"),
                         QStringLiteral("The page could not be printed: the printer did not "
                                        "accept the document."));
}

} // namespace qm
