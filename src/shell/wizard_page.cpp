#include "shell/wizard_page.h"

#include "shell/wizard.h"
#include "ui/qt_text.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace qm {

namespace {

constexpr int kChoiceButtonX = 10;
constexpr int kChoiceButtonSize[2] = {100, 75};
constexpr int kHiddenButtonY = 310;
// The title band and the banner, in pixels of the page.
constexpr int kTitleTop = 110;
constexpr int kTitleBottom = 155;
constexpr int kBannerY = 10;

} // namespace

WizardPage::WizardPage(int pageId, const PageContext& context, QWidget* parent)
    : QWidget(parent), pageId_(pageId), context_(context) {
    setObjectName(QStringLiteral("page%1").arg(pageId));
    setFont(dialog_font());
    setAutoFillBackground(true);
}

QPushButton* WizardPage::button(int id) const {
    return findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
}

QPushButton* WizardPage::addButton(int id, const QString& text, bool isDefault) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QStringLiteral("button%1").arg(id));
    // Return presses the focused button, as in a dialog.
    b->setAutoDefault(true);
    b->setDefault(isDefault);
    connect(b, &QPushButton::clicked, this, [this, id] { Q_EMIT command(id); });
    return b;
}

QLabel* WizardPage::addStatic(const QString& text, int x, int y, int w, int h,
                              Qt::Alignment align) {
    auto* label = new QLabel(text, this);
    label->setAlignment(align);
    label->setWordWrap(true);
    label->setGeometry(metrics().rect(x, y, w, h));
    return label;
}

QLabel* WizardPage::addDescription(const QString& text, int x, int y) {
    QLabel* label = addStatic(text, x, y, 86, 44, Qt::AlignHCenter | Qt::AlignTop);
    label->setFrameStyle(QFrame::Box | QFrame::Sunken);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::Base);
    return label;
}

void WizardPage::addArrow(int x, int y) {
    addStatic(QStringLiteral("---------->"), x, y, 32, 9, Qt::AlignLeft | Qt::AlignTop);
}

void WizardPage::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!context_.pagesCreated) {
        return;
    }
    settle_transient_step(context_.wizard);
    QPainter p(this);
    p.setFont(window_font());
    p.setPen(palette().color(QPalette::WindowText));
    const int width = metrics().pageDrawingWidth();
    const QRect titleRect(QPoint(0, kTitleTop), QPoint(width - 1, kTitleBottom - 1));
    const std::string title = page_title(context_.wizard);
    if (!title.empty()) {
        p.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                   from_cp1252(title));
    }
    const int bannerX = width / 2 - 226 / 2;
    p.drawPixmap(bannerX, kBannerY, context_.banner);
}

void WizardPage::keyPressEvent(QKeyEvent* event) {
    // Return on a control that does not take it (the job list) presses the default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        for (QPushButton* b : findChildren<QPushButton*>()) {
            if (b->isDefault() && b->isVisible() && b->isEnabled()) {
                b->click();
                event->accept();
                return;
            }
        }
    }
    QWidget::keyPressEvent(event);
}

ChoicePage::ChoicePage(int pageId, const PageContext& context, QWidget* parent)
    : WizardPage(pageId, context, parent) {
    const bool start = pageId == kStartPageId;
    // The mnemonics keep clear of the menu's Alt+F, Alt+O and Alt+H.
    QPushButton* first = addButton(
        kForwardCommand, start ? QStringLiteral("Manage &Data") : QStringLiteral("&RH/T"), true);
    addButton(kSecondCommand, start ? QStringLiteral("Manage File&s") : QStringLiteral(" &MC"));
    QPushButton* third = addButton(kThirdCommand, start ? QStringLiteral("Configure Meter")
                                                        : QStringLiteral("Both"));
    third->hide();
    if (start) {
        third->setEnabled(false);
    }

    if (start) {
        addDescription(QStringLiteral("\nChoose this option to view downloaded data"), 116, 86);
        addDescription(
            QStringLiteral("\nChoose this option if you want to view previously saved files. "),
            116, 139);
    } else {
        addDescription(QStringLiteral("Choose this option to manage your Relative "
                                      "Humidity/Temperature data."),
                       116, 86);
        addDescription(QStringLiteral("\nChoose this option if you want to manage your Moisture "
                                      "Content data."),
                       116, 139);
    }
    addArrow(84, 105);
    addArrow(84, 153);
    first->setFocus();
    placeButtons();
}

void ChoicePage::placeButtons() {
    const int ch = metrics().charHeight;
    const int w = kChoiceButtonSize[0];
    const int h = kChoiceButtonSize[1];
    button(kForwardCommand)->setGeometry(kChoiceButtonX, 9 * ch, w, h);
    button(kSecondCommand)->setGeometry(kChoiceButtonX, 14 * ch, w, h);
    button(kThirdCommand)->setGeometry(kChoiceButtonX, kHiddenButtonY, w, h);
}

QString wrap_button_text(const QString& text, const QFont& font, int width) {
    const QFontMetrics fm(font);
    const int room = std::max(1, width - 8);
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && fm.horizontalAdvance(candidate) > room) {
            lines << line;
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace qm
