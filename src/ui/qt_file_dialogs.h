#pragma once

#include "files/file_commands.h"

class QWidget;

namespace qm {

// The desktop's open and save dialogs behind the FileDialogs interface.
class QtFileDialogs : public FileDialogs {
public:
    std::optional<std::string> open_file(const FileDialogRequest& request) override;
    std::optional<std::string> save_file(const FileDialogRequest& request) override;
};

} // namespace qm
