#pragma once

#include "sync/team_sync.h"

#include <QDialog>

#include <string_view>
#include <vector>

class QButtonGroup;
class QPlainTextEdit;

namespace qm {

// Which lines of `text` are not among those it shares with `other` (the longest run of lines in
// common, in order): one flag per line of `text`, lines separated by '\n'.
std::vector<bool> lines_not_in(std::string_view text, std::string_view other);

// After a sync the server refused edits in: each edit (what, this computer's value beside the
// server's, the lines that differ marked in both) with "Apply mine again", "Take the server's" or
// "Decide later" (the default). OK syncs again with those choices; an edit left for later stays
// refused and kept here.
class RefusedEditsDialog : public QDialog {
    Q_OBJECT
public:
    RefusedEditsDialog(const std::vector<RefusedEdit>& edits, QWidget* parent = nullptr);

    // The choice of each edit by its key; an edit left for later is not named.
    RefusedChoices choices() const;
    // The choice buttons of edit `index`: 0 apply mine again, 1 take the server's, 2 later.
    QButtonGroup* group(std::size_t index) const { return groups_[index]; }
    // The value boxes of edit `index`: this computer's and the server's.
    QPlainTextEdit* mineBox(std::size_t index) const { return mine_[index]; }
    QPlainTextEdit* theirsBox(std::size_t index) const { return theirs_[index]; }

private:
    QWidget* editBox(const RefusedEdit& edit);

    std::vector<std::string> keys_;
    std::vector<QButtonGroup*> groups_;
    std::vector<QPlainTextEdit*> mine_;
    std::vector<QPlainTextEdit*> theirs_;
};

} // namespace qm
