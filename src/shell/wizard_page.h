#pragma once

#include "shell/wizard.h"
#include "store/session_state.h"
#include "ui/layout_metrics.h"

#include <QPixmap>
#include <QWidget>

class QLabel;
class QPushButton;

namespace qm {

// What every page needs to lay itself out and paint its title and banner.
struct PageContext {
    WizardState& wizard;
    const LayoutMetrics& metrics;
    const QPixmap& banner;
    const bool& pagesCreated;
};

// One wizard page in the right-hand area of the main window. Every button reports its id through
// command(); the wizard decides what happens.
class WizardPage : public QWidget {
    Q_OBJECT
public:
    WizardPage(int pageId, const PageContext& context, QWidget* parent);

    int pageId() const { return pageId_; }
    QPushButton* button(int id) const;
    // Moves the large choice buttons to their places beside the description texts.
    virtual void placeButtons() {}

Q_SIGNALS:
    void command(int id);

protected:
    QPushButton* addButton(int id, const QString& text, bool isDefault = false);
    QLabel* addStatic(const QString& text, int x, int y, int w, int h, Qt::Alignment align);
    // A centred, sunken, bordered description text of 86 x 44 dialog units.
    QLabel* addDescription(const QString& text, int x, int y);
    void addArrow(int x, int y);

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    const PageContext& context() const { return context_; }
    const LayoutMetrics& metrics() const { return context_.metrics; }

private:
    int pageId_;
    PageContext context_;
};

// The start page and the data-kind page: two large buttons at the left, each beside
// a description text and an arrow pointing at it.
class ChoicePage : public WizardPage {
    Q_OBJECT
public:
    ChoicePage(int pageId, const PageContext& context, QWidget* parent);
    void placeButtons() override;
};

// Splits a button caption into lines that fit the button's width, as a multi-line button does.
QString wrap_button_text(const QString& text, const QFont& font, int width);

} // namespace qm
