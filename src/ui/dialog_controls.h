#pragma once

// Controls placed in dialog units, for the windows laid out that way (the summaries, the job
// title and notes windows).

#include "ui/layout_metrics.h"
#include "ui/qt_text.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <string_view>

namespace qm::dialog_controls {

// A new text for a static text, which widens when the text does not fit.
inline void set_text(QLabel* label, const QString& text) {
    label->setText(text);
    widen_to_fit(label);
}

// A static text at a position in dialog units, widened when its text does not fit.
inline QLabel* add_static(QWidget* parent, const LayoutMetrics& m, std::string_view text, int x,
                          int y, int w, int h, Qt::Alignment align = Qt::AlignLeft) {
    auto* label = new QLabel(from_cp1252(text), parent);
    label->setGeometry(m.rect(x, y, w, h));
    label->setAlignment(align | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    widen_to_fit(label);
    return label;
}

// A drop-down list at a position in dialog units. Only a choice from the list counts, so the list
// has no edit field for typed text; the height given is that of the opened list.
inline QComboBox* add_list(QWidget* parent, const LayoutMetrics& m, int x, int y, int w) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    combo->setMaxVisibleItems(8);
    const QRect r = m.rect(x, y, w, 12);
    combo->setGeometry(r.x(), r.y(), r.width(), std::max(r.height(), combo->sizeHint().height()));
    return combo;
}

// A push button at a position in dialog units.
inline QPushButton* add_button(QWidget* parent, const LayoutMetrics& m, const QString& text, int x,
                               int y, int w, int h) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(m.rect(x, y, w, h));
    return button;
}

} // namespace qm::dialog_controls
