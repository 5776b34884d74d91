#pragma once

// Controls placed in dialog units, for the windows laid out that way (the summaries, the job
// title and notes windows).

#include "ui/layout_metrics.h"
#include "ui/qt_text.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <string_view>

namespace qm::dialog_controls {

// Widens a static text whose text does not fit its box, keeping the edge (or the centre) it is
// aligned to: the desktop's fonts run wider than the ones the layout was drawn for.
inline void fit_width(QLabel* label) {
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 2;
    QRect r = label->geometry();
    const int grow = needed - r.width();
    if (grow <= 0) {
        return;
    }
    if (label->alignment() & Qt::AlignRight) {
        r.setLeft(r.left() - grow);
    } else if (label->alignment() & Qt::AlignHCenter) {
        r.adjust(-grow / 2, 0, grow - grow / 2, 0);
    } else {
        r.setRight(r.right() + grow);
    }
    label->setGeometry(r);
}

inline void set_text(QLabel* label, const QString& text) {
    label->setText(text);
    fit_width(label);
}

// A static text at a template position (dialog units).
inline QLabel* add_static(QWidget* parent, const LayoutMetrics& m, std::string_view text, int x,
                          int y, int w, int h, Qt::Alignment align = Qt::AlignLeft) {
    auto* label = new QLabel(from_cp1252(text), parent);
    label->setGeometry(m.rect(x, y, w, h));
    label->setAlignment(align | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    fit_width(label);
    return label;
}

// A drop-down list at a template position. Only a choice from the list counts, so the list has
// no edit field for typed text; the height given is that of the opened list.
inline QComboBox* add_list(QWidget* parent, const LayoutMetrics& m, int x, int y, int w) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    combo->setMaxVisibleItems(8);
    const QRect r = m.rect(x, y, w, 12);
    combo->setGeometry(r.x(), r.y(), r.width(), std::max(r.height(), combo->sizeHint().height()));
    return combo;
}

inline QPushButton* add_button(QWidget* parent, const LayoutMetrics& m, const QString& text, int x,
                               int y, int w, int h) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(m.rect(x, y, w, h));
    return button;
}

// The job caption as a summary shows it: at most 255 characters.
inline QString caption_text(std::string_view caption) {
    return from_cp1252(caption.substr(0, std::min<std::size_t>(caption.size(), 255)));
}

} // namespace qm::dialog_controls
