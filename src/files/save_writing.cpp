// Writing a save: one file, or one per job of a multi-job save, each under a name of its own.
#include "files/save_file.h"

#include "files/regular_file.h"
#include "store/job_index.h"

#include <cerrno>
#include <cstdio>
#include <functional>
#include <sys/stat.h>

namespace qm {

std::string multi_save_name(const std::string& first_path, std::int32_t job_id) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%.3i", ((job_id % 1000) + 1000) % 1000);
    const auto slash = first_path.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::string name = first_path.substr(start);
    constexpr std::size_t kIdWidth = 3;
    constexpr std::size_t kTailWidth = 4; // ".qmk" in a default name
    if (name.size() >= kIdWidth + kTailWidth) {
        name.replace(name.size() - kTailWidth - kIdWidth, kIdWidth, digits);
    } else {
        // A leading dot marks a hidden name, not an extension.
        const auto dot = name.rfind('.');
        name.insert(dot == std::string::npos || dot == 0 ? name.size() : dot, digits);
    }
    return first_path.substr(0, start) + name;
}

std::string numbered_save_name(const std::string& path, int number) {
    const auto slash = path.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    // A dot that starts the name marks a hidden file, not an extension.
    const std::size_t at = dot != std::string::npos && dot > start ? dot : path.size();
    return path.substr(0, at) + " (" + std::to_string(number) + ")" + path.substr(at);
}

namespace {

// 0 when no file stands at `path`, EEXIST when one does, else the error that keeps it unknown.
int name_state(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        return EEXIST;
    }
    return errno == ENOENT ? 0 : errno;
}

// A further file of a multi-job save, at the first free name from `name` on. Returns 0 or the
// error; `file` is the name written, or the last one tried.
int write_further_file(const std::string& name,
                       const std::function<int(const ByteWriter&)>& produce, std::string& file) {
    int error = EEXIST;
    for (int number = 1; number <= kMaxSaveNameNumber && error == EEXIST; ++number) {
        file = number == 1 ? name : numbered_save_name(name, number);
        error = name_state(file);
        if (error != 0) {
            continue;
        }
        FileReplacement replacement;
        error = replacement.prepare(file, produce);
        if (error == 0) {
            // Another program may have put a file there since: the next name is taken then.
            error = replacement.commit(ReplaceMode::NewOnly);
        }
    }
    return error;
}

} // namespace

SaveResult write_save(const std::string& path, const WizardState& wizard,
                      const Selection& selection, const MeterIdentity& meter,
                      const ReadingStore& store) {
    const SaveFileHeader header = make_save_header(wizard, selection, meter, store);
    std::vector<std::int32_t> positions;
    if (selection.save_mode != SaveMode::OneJob && header.selected_count > 0) {
        positions.assign(selection.selected_jobs.begin(),
                         selection.selected_jobs.begin() + header.selected_count);
    } else {
        positions.push_back(selection.current_job_index);
    }

    SaveResult result;
    result.job_count = positions.size();
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const std::int32_t job = job_at_slot(store, wizard.management_type, positions[i]);
        // Written in pieces: a job of a million readings is never held as bytes.
        const auto produce = [&](const ByteWriter& write) {
            return encode_save_in_pieces(header, meter, store.all_readings, job, store.annotations,
                                         write);
        };
        std::string file = path;
        const int error = i == 0 ? replace_file_in_pieces(path, produce)
                                 : write_further_file(multi_save_name(path, job_id_of(store, job)),
                                                      produce, file);
        if (error == 0) {
            result.written.push_back(file);
            result.written_jobs.push_back(job);
        } else if (i == 0) {
            result.error = error;
            return result;
        } else {
            result.skipped.push_back({file, error, job});
        }
    }
    result.ok = true;
    return result;
}

std::string saved_files_text(const SaveResult& result, const ReadingStore& store) {
    if (result.job_count < 2) {
        return {};
    }
    const auto job_line = [&store](std::int32_t job, const std::string& file) {
        return "Job #" + std::to_string(job) + ", ID# " + std::to_string(job_id_of(store, job)) +
               ": " + file + "\n";
    };
    std::string text = "Saved " + std::to_string(result.written.size()) + " of " +
                       std::to_string(result.job_count) + " jobs, one file each:\n";
    for (std::size_t i = 0; i < result.written.size(); ++i) {
        text += job_line(result.written_jobs[i], result.written[i]);
    }
    if (!result.skipped.empty()) {
        text += "\nNot saved:\n";
        for (const SaveResult::Failed& failed : result.skipped) {
            text += job_line(failed.job, failed.path);
            text += "  " + file_error_text(failed.error) + "\n";
        }
    }
    text.pop_back();
    return text;
}

} // namespace qm
