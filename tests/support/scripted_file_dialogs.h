#pragma once

#include "files/file_commands.h"

#include <optional>
#include <string>
#include <vector>

namespace qm::test {

// FileDialogs that answer from a script and record what they were asked.
class ScriptedFileDialogs : public FileDialogs {
public:
    std::optional<std::string> open_file(const FileDialogRequest& request) override {
        return answer(request, false);
    }
    std::optional<std::string> save_file(const FileDialogRequest& request) override {
        return answer(request, true);
    }

    struct Call {
        FileDialogRequest request;
        bool save = false;
    };
    std::vector<Call> calls;
    // Answers of the next dialogs in order (nothing = cancelled); when empty, every dialog is
    // cancelled.
    std::vector<std::optional<std::string>> answers;

private:
    std::optional<std::string> answer(const FileDialogRequest& request, bool save) {
        calls.push_back({request, save});
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
};

} // namespace qm::test
