#pragma once

#include "sync/team_sync.h"

#include <QDialog>

#include <vector>

class QButtonGroup;

namespace qm {

// After a sync the server refused edits in: each edit (what, this computer's value beside the
// server's) with "Apply mine again", "Take the server's" or "Decide later" (the default). OK
// syncs again with those choices; an edit left for later stays refused and kept here.
class RefusedEditsDialog : public QDialog {
    Q_OBJECT
public:
    RefusedEditsDialog(const std::vector<RefusedEdit>& edits, QWidget* parent = nullptr);

    // The choice of each edit by its key; an edit left for later is not named.
    RefusedChoices choices() const;
    // The choice buttons of edit `index`: 0 apply mine again, 1 take the server's, 2 later.
    QButtonGroup* group(std::size_t index) const { return groups_[index]; }

private:
    QWidget* editBox(const RefusedEdit& edit, QButtonGroup*& group);

    std::vector<std::string> keys_;
    std::vector<QButtonGroup*> groups_;
};

} // namespace qm
