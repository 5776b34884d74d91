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
#include <QVBoxLayout>

namespace qm {

namespace {

enum Choice { kMine = 0, kTheirs = 1, kLater = 2 };

QPlainTextEdit* value_box(const std::string& text, QWidget* parent) {
    auto* box = new QPlainTextEdit(QString::fromStdString(text), parent);
    box->setReadOnly(true);
    box->setTabChangesFocus(true);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setMinimumHeight(box->fontMetrics().lineSpacing() * 6);
    return box;
}

} // namespace

RefusedEditsDialog::RefusedEditsDialog(const std::vector<RefusedEdit>& edits, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Refused edits"));
    setObjectName(QStringLiteral("refusedEditsDialog"));
    setSizeGripEnabled(true);
    resize(720, 520);

    auto* intro = new QLabel(
        QStringLiteral("The team server refused these edits: each was made here on a copy that has "
                       "changed on the server since. Nothing has been overwritten. Choose for each "
                       "what to keep; OK syncs again with your choices."),
        this);
    intro->setWordWrap(true);

    auto* list = new QWidget;
    auto* listLayout = new QVBoxLayout(list);
    for (const RefusedEdit& edit : edits) {
        QButtonGroup* group = nullptr;
        listLayout->addWidget(editBox(edit, group));
        keys_.push_back(edit.key);
        groups_.push_back(group);
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

QWidget* RefusedEditsDialog::editBox(const RefusedEdit& edit, QButtonGroup*& group) {
    // A project's "&" is text, not a mnemonic.
    auto* box = new QGroupBox(QString::fromStdString(edit.what).replace('&', "&&"));
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("This computer:"), box), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("The server now:"), box), 0, 1);
    grid->addWidget(value_box(edit.mine_text, box), 1, 0);
    grid->addWidget(value_box(edit.theirs_text, box), 1, 1);
    if (!edit.reason.empty()) {
        auto* reason =
            new QLabel(QStringLiteral("Refused: ") + QString::fromStdString(edit.reason), box);
        reason->setWordWrap(true);
        grid->addWidget(reason, 2, 0, 1, 2);
    }
    group = new QButtonGroup(box);
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
