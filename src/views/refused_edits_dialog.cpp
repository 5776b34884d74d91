#include "views/refused_edits_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>

namespace qm {

namespace {

enum Choice { kMine = 0, kTheirs = 1, kLater = 2 };

// Beyond this many pairs of lines, lines are compared by their position alone.
constexpr std::size_t kMostLinePairs = 4'000'000;
// The background of a line that differs (a pale yellow that keeps dark text readable).
constexpr QRgb kDiffersBackground = qRgb(0xff, 0xe8, 0x8c);

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return lines;
        }
        start = end + 1;
    }
}

// The lines flagged are marked: bold on a pale background across the box's width.
QPlainTextEdit* value_box(const std::string& text, const std::vector<bool>& differs,
                          QWidget* parent) {
    auto* box = new QPlainTextEdit(QString::fromStdString(text), parent);
    box->setReadOnly(true);
    box->setTabChangesFocus(true);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setMinimumHeight(box->fontMetrics().lineSpacing() * 6);
    QList<QTextEdit::ExtraSelection> marks;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
        if (static_cast<std::size_t>(block.blockNumber()) < differs.size() &&
            differs[static_cast<std::size_t>(block.blockNumber())]) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(block);
            mark.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            mark.format.setBackground(QColor(kDiffersBackground));
            mark.format.setFontWeight(QFont::Bold);
            mark.format.setProperty(QTextFormat::FullWidthSelection, true);
            marks.append(mark);
        }
    }
    box->setExtraSelections(marks);
    return box;
}

} // namespace

std::vector<bool> lines_not_in(std::string_view text, std::string_view other) {
    const std::vector<std::string_view> a = lines_of(text);
    const std::vector<std::string_view> b = lines_of(other);
    std::vector<bool> differs(a.size(), true);
    if (a.size() * b.size() > kMostLinePairs) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            differs[i] = i >= b.size() || a[i] != b[i];
        }
        return differs;
    }
    // common[i][j]: the longest run in common of a[i..] and b[j..].
    const std::size_t w = b.size() + 1;
    std::vector<std::uint32_t> common((a.size() + 1) * w, 0);
    for (std::size_t i = a.size(); i-- > 0;) {
        for (std::size_t j = b.size(); j-- > 0;) {
            common[i * w + j] = a[i] == b[j]
                                    ? common[(i + 1) * w + j + 1] + 1
                                    : std::max(common[(i + 1) * w + j], common[i * w + j + 1]);
        }
    }
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        if (a[i] == b[j]) {
            differs[i++] = false;
            ++j;
        } else if (common[(i + 1) * w + j] >= common[i * w + j + 1]) {
            ++i;
        } else {
            ++j;
        }
    }
    return differs;
}

RefusedEditsDialog::RefusedEditsDialog(const std::vector<RefusedEdit>& edits, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Refused edits"));
    setObjectName(QStringLiteral("refusedEditsDialog"));
    setSizeGripEnabled(true);
    resize(720, 520);

    auto* intro = new QLabel(
        QStringLiteral("The team server refused these edits: each was made here on a copy that has "
                       "changed on the server since. Nothing has been overwritten. The lines that "
                       "differ are marked. Choose for each what to keep; OK syncs again with your "
                       "choices."),
        this);
    intro->setWordWrap(true);

    auto* list = new QWidget;
    auto* listLayout = new QVBoxLayout(list);
    for (const RefusedEdit& edit : edits) {
        listLayout->addWidget(editBox(edit));
        keys_.push_back(edit.key);
    }
    listLayout->addStretch(1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setWidget(list);
    scroll->setFocusPolicy(Qt::NoFocus);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);
    if (!groups_.empty()) {
        groups_.front()->button(kLater)->setFocus();
    }
}

QWidget* RefusedEditsDialog::editBox(const RefusedEdit& edit) {
    // A project's "&" is text, not a mnemonic.
    auto* box = new QGroupBox(QString::fromStdString(edit.what).replace('&', "&&"));
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("This computer:"), box), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("The server now:"), box), 0, 1);
    mine_.push_back(value_box(edit.mine_text, lines_not_in(edit.mine_text, edit.theirs_text), box));
    theirs_.push_back(
        value_box(edit.theirs_text, lines_not_in(edit.theirs_text, edit.mine_text), box));
    grid->addWidget(mine_.back(), 1, 0);
    grid->addWidget(theirs_.back(), 1, 1);
    if (!edit.reason.empty()) {
        auto* reason =
            new QLabel(QStringLiteral("Refused: ") + QString::fromStdString(edit.reason), box);
        reason->setWordWrap(true);
        grid->addWidget(reason, 2, 0, 1, 2);
    }
    auto* group = new QButtonGroup(box);
    groups_.push_back(group);
    auto* choices = new QHBoxLayout;
    const QString texts[] = {QStringLiteral("&Apply mine again"),
                             QStringLiteral("&Take the server's"), QStringLiteral("&Decide later")};
    for (int id : {kMine, kTheirs, kLater}) {
        auto* button = new QRadioButton(texts[id], box);
        group->addButton(button, id);
        choices->addWidget(button);
    }
    choices->addStretch(1);
    group->button(kLater)->setChecked(true);
    grid->addLayout(choices, 3, 0, 1, 2);
    return box;
}

RefusedChoices RefusedEditsDialog::choices() const {
    RefusedChoices chosen;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        const int id = groups_[i]->checkedId();
        if (id == kMine || id == kTheirs) {
            chosen.by_key[keys_[i]] = id == kMine ? RefusedPolicy::Reapply : RefusedPolicy::Drop;
        }
    }
    return chosen;
}

} // namespace qm
