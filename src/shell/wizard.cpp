#include "shell/wizard.h"

#include "store/user_interface.h"

namespace qm {

namespace {

constexpr std::string_view kNoReadingsText = "NO STORED READINGS!";
constexpr std::string_view kNoReadingsCaption = "ERROR!";

constexpr int kTitleSubjectDate = 131;

std::string_view subtitle(int entry, int previous) {
    switch (entry) {
    case kTitleSubjectDate:
        return previous == kTitleSubjectDate ? "Choose Ending Date and Time"
                                             : "Choose Starting Date and Time";
    case 130:
        return "Select Desired Jobs";
    case 129:
        return "MC Display Options";
    case 128:
        return "RH/T Display Options";
    default:
        return {};
    }
}

} // namespace

int page_table_entry(int kind, int filter, int position) {
    if (kind < 0 || kind > 2 || filter < 0 || filter > 2 || position < 0 || position > 4) {
        return 0;
    }
    return kPageTable[static_cast<std::size_t>(kind)][static_cast<std::size_t>(filter)]
                     [static_cast<std::size_t>(position)];
}

std::string page_title(const WizardState& wizard) {
    const int step = wizard.step;
    if (step < 0 || step >= static_cast<int>(kStepTitles.size())) {
        return {};
    }
    const std::string_view title = kStepTitles[static_cast<std::size_t>(step)];
    if (step < 4) {
        return std::string(title);
    }
    const int entry = page_table_entry(wizard.management_type, wizard.filter, step - 4);
    const int previous =
        step - 5 >= 0 ? page_table_entry(wizard.management_type, wizard.filter, step - 5) : 0;
    const std::string_view sub = subtitle(entry, previous);
    if (sub.empty()) {
        return {};
    }
    return std::string(title) + std::string(sub);
}

void settle_transient_step(WizardState& wizard) {
    if (wizard.step == 5) {
        wizard.step = 4;
    }
}

bool Wizard::downloadSeededRecords() const {
    return state_.job_records.mc(0).slots[0].marker != 0 ||
           state_.job_records.rh(0).slots[0].value != 0.0;
}

void Wizard::command(int id) {
    switch (id) {
    case kForwardCommand:
        forward();
        break;
    case kSecondCommand:
        secondButton();
        break;
    case kThirdCommand:
        thirdButton();
        break;
    default:
        break;
    }
}

void Wizard::forward() {
    WizardState& w = state_.wizard;
    if (w.fromFile) {
        host_.close_page();
    }
    if (!w.bothKinds && w.step == 1 && !w.fromFile) {
        if (!host_.run_download()) {
            return;
        }
    }
    if (w.step == 1) {
        if (w.fromFile || downloadSeededRecords()) {
            host_.close_page();
        }
        kindChoice();
        return;
    }
    host_.close_page();
    switch (w.step) {
    case 0:
        // Back at the start: the next "Manage Data" downloads again, whatever was loaded before.
        w.bothKinds = false;
        w.fromFile = false;
        host_.show_page(kStartPageId);
        w.step = 1;
        break;
    case 2:
        w.management_type = 0;
        w.filter = 0;
        host_.show_page(page_table_entry(0, 0, 0));
        w.step = 4;
        break;
    case 4:
        host_.set_back_enabled(true);
        host_.show_page(page_table_entry(w.management_type, w.filter, 0));
        w.step = 5;
        // The page paints before anything else can happen, which ends the transient step.
        settle_transient_step(w);
        break;
    default:
        host_.reshow_page();
        break;
    }
}

void Wizard::kindChoice() {
    WizardState& w = state_.wizard;
    const int mc = state_.store.mc_job_count;
    const int rh = state_.store.rh_job_count;
    if (mc == 0 && rh == 0) {
        // A loaded file without readings is reported as a download without readings is, and the
        // page stays on the screen instead of leaving an empty area.
        if (host_.link_established() || w.fromFile) {
            host_.ui().message_box(kNoReadingsText, kNoReadingsCaption, MessageIcon::Error);
            state_.meter.set_model(kNoTitle);
            host_.repaint_side_panel();
        }
        if (!host_.page_shown()) {
            host_.reshow_page();
        }
        return;
    }
    if (mc > 0 && rh == 0) {
        w.management_type = 1;
        w.filter = 0;
        w.step = 3;
        host_.show_page(page_table_entry(1, 0, 0));
    } else if (mc == 0 && rh > 0) {
        w.management_type = 0;
        w.filter = 0;
        w.step = 3;
        host_.show_page(page_table_entry(0, 0, 0));
    } else {
        host_.set_back_enabled(true);
        w.bothKinds = true;
        host_.show_page(kDataKindPageId);
        w.step = 2;
    }
}

void Wizard::secondButton() {
    WizardState& w = state_.wizard;
    if (w.step == 1) {
        host_.open_save_file();
        return;
    }
    host_.close_page();
    if (w.step == 2) {
        w.management_type = 1;
        host_.show_page(page_table_entry(1, w.filter, 0));
        w.step = 4;
        return;
    }
    host_.reshow_page();
}

void Wizard::thirdButton() {
    host_.close_page();
    host_.reshow_page();
}

void Wizard::resetToStart() {
    host_.set_back_enabled(false);
    state_.meter.set_model(kNoTitle);
    state_.store.mc_job_count = 0;
    state_.store.rh_job_count = 0;
    host_.clear_quick_job_info();
}

void Wizard::back() {
    WizardState& w = state_.wizard;
    if (w.step == 2) {
        resetToStart();
    }
    host_.close_page();
    w.step = w.step == 4 ? 1 : w.step - 2;
    if (w.step <= 2) {
        if (!w.bothKinds) {
            w.step = 0;
            resetToStart();
        }
        forward();
    }
    host_.reshow_page();
    host_.repaint_side_panel();
}

} // namespace qm
