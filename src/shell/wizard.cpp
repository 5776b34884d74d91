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

// Back leads two steps back, and from the chosen kind's job list to the start page's step.
WizardStep step_back(WizardStep step) {
    if (step == WizardStep::ChosenJobList) {
        return WizardStep::ManagementType;
    }
    return static_cast<WizardStep>(static_cast<std::int32_t>(step) - 2);
}

} // namespace

int page_table_entry(ManagedKind kind, int filter, int position) {
    const auto row = static_cast<std::int32_t>(kind);
    if (row < 0 || row > 2 || filter < 0 || filter > 2 || position < 0 || position > 4) {
        return 0;
    }
    return kPageTable[static_cast<std::size_t>(row)][static_cast<std::size_t>(filter)]
                     [static_cast<std::size_t>(position)];
}

std::string page_title(const WizardState& wizard) {
    const auto step = static_cast<std::int32_t>(wizard.step);
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
    if (wizard.step == WizardStep::Reshown) {
        wizard.step = WizardStep::ChosenJobList;
    }
}

bool Wizard::downloadSeededRecords() const {
    return state_.job_records.mc(0).slots[0].download_sign != 0 ||
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
        host_.closePage();
    }
    if (!w.bothKinds && w.step == WizardStep::ManagementType && !w.fromFile) {
        // A failed or cancelled download has said what went wrong; the page stays.
        if (!host_.runDownload()) {
            return;
        }
    }
    if (w.step == WizardStep::ManagementType) {
        if (w.fromFile || downloadSeededRecords()) {
            host_.closePage();
        }
        kindChoice();
        return;
    }
    host_.closePage();
    switch (w.step) {
    case WizardStep::Restart:
        // Back at the start: the next "Manage Data" downloads again, whatever was loaded before.
        w.bothKinds = false;
        w.fromFile = false;
        host_.showPage(kStartPageId);
        w.step = WizardStep::ManagementType;
        break;
    case WizardStep::DataKind:
        w.management_type = ManagedKind::Rh;
        w.filter = 0;
        host_.showPage(page_table_entry(ManagedKind::Rh, 0, 0));
        w.step = WizardStep::ChosenJobList;
        break;
    case WizardStep::ChosenJobList:
        host_.setBackEnabled(true);
        host_.showPage(page_table_entry(w.management_type, w.filter, 0));
        w.step = WizardStep::Reshown;
        // The page paints before anything else can happen, which ends the transient step.
        settle_transient_step(w);
        break;
    default:
        host_.reshowPage();
        break;
    }
}

void Wizard::kindChoice() {
    WizardState& w = state_.wizard;
    const int mc = state_.store.mc_job_count;
    const int rh = state_.store.rh_job_count;
    if (mc == 0 && rh == 0) {
        noReadings();
        return;
    }
    if (mc == 0 || rh == 0) {
        // Back leads to the start page, from where another meter can be downloaded.
        host_.setBackEnabled(true);
        w.management_type = mc > 0 ? ManagedKind::Mc : ManagedKind::Rh;
        w.filter = 0;
        w.step = WizardStep::JobList;
        host_.showPage(page_table_entry(w.management_type, 0, 0));
    } else {
        host_.setBackEnabled(true);
        w.bothKinds = true;
        host_.showPage(kDataKindPageId);
        w.step = WizardStep::DataKind;
    }
}

void Wizard::noReadings() {
    WizardState& w = state_.wizard;
    // Said after a download that found the meter empty and after a loaded file without readings;
    // a download that failed has said so itself and does not come here.
    if (host_.linkEstablished() || w.fromFile) {
        host_.ui().message_box(kNoReadingsText, kNoReadingsCaption, MessageIcon::Error);
        state_.meter.set_model(kNoTitle);
        host_.repaintSidePanel();
    }
    if (w.fromFile) {
        // The file replaced the data with none: a fresh start page, from which "Manage Data"
        // downloads again.
        w.fromFile = false;
        w.bothKinds = false;
        host_.setBackEnabled(false);
        host_.clearQuickJobInfo();
        host_.showPage(kStartPageId);
        w.step = WizardStep::ManagementType;
        return;
    }
    if (!host_.pageShown()) {
        host_.reshowPage();
    }
}

void Wizard::fileLoaded() {
    WizardState& w = state_.wizard;
    if (state_.store.mc_job_count == 0 && state_.store.rh_job_count == 0) {
        // Whatever step the file stored, the kind choice reports that it holds nothing.
        w.step = WizardStep::ManagementType;
        w.bothKinds = false;
    }
    forward();
}

void Wizard::secondButton() {
    WizardState& w = state_.wizard;
    if (w.step == WizardStep::ManagementType) {
        host_.openSaveFile();
        return;
    }
    host_.closePage();
    if (w.step == WizardStep::DataKind) {
        w.management_type = ManagedKind::Mc;
        host_.showPage(page_table_entry(ManagedKind::Mc, w.filter, 0));
        w.step = WizardStep::ChosenJobList;
        return;
    }
    host_.reshowPage();
}

void Wizard::thirdButton() {
    host_.closePage();
    host_.reshowPage();
}

void Wizard::resetToStart() {
    host_.setBackEnabled(false);
    state_.meter.set_model(kNoTitle);
    state_.store.mc_job_count = 0;
    state_.store.rh_job_count = 0;
    host_.clearQuickJobInfo();
}

bool Wizard::backLeadsToStart() const {
    const WizardState& w = state_.wizard;
    const auto back_to = static_cast<std::int32_t>(step_back(w.step));
    return w.step == WizardStep::DataKind ||
           (!w.bothKinds && back_to <= static_cast<std::int32_t>(WizardStep::DataKind));
}

void Wizard::back() {
    WizardState& w = state_.wizard;
    if (w.step == WizardStep::DataKind) {
        resetToStart();
    }
    host_.closePage();
    w.step = step_back(w.step);
    if (static_cast<std::int32_t>(w.step) <= static_cast<std::int32_t>(WizardStep::DataKind)) {
        if (!w.bothKinds) {
            w.step = WizardStep::Restart;
            resetToStart();
        }
        forward();
    }
    host_.reshowPage();
    host_.repaintSidePanel();
}

} // namespace qm
