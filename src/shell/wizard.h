#pragma once

#include "state/app_state.h"

#include <array>
#include <string>
#include <string_view>

namespace qm {

class UserInterface;

// Ids of the pages the wizard shows.
constexpr int kStartPageId = 124;
constexpr int kDataKindPageId = 125;
constexpr int kJobListPageId = 130;

// Command ids of the page buttons.
constexpr int kForwardCommand = 1002;
constexpr int kSecondCommand = 1003;
constexpr int kThirdCommand = 1004;

// The pages of the wizard by data kind (RH/T, MC, both) x filter (by job, by date, show
// all) x position; 0 ends a sequence. The running wizard only uses the by-job row of RH/T and MC.
using PageTable = std::array<std::array<std::array<int, 5>, 3>, 3>;
inline constexpr PageTable kPageTable = {{
    {{{130, 0, 0, 0, 0}, {131, 131, 0, 0, 0}, {128, 0, 0, 0, 0}}},
    {{{130, 0, 0, 0, 0}, {131, 131, 0, 0, 0}, {129, 0, 0, 0, 0}}},
    {{{130, 128, 0, 0, 0}, {131, 131, 128, 0, 0}, {0, 0, 0, 0, 0}}},
}};

inline constexpr std::array<std::string_view, 9> kStepTitles = {"Does not work1",
                                                                "I. Choose Management Type",
                                                                "II. Choose Data",
                                                                "III. Choose Jobs",
                                                                "III. ",
                                                                "V. ",
                                                                "VI. ",
                                                                "VII. ",
                                                                "VIII. "};

// The page of the table for a kind, filter and position; 0 where there is none.
int page_table_entry(ManagedKind kind, int filter, int position);

// The title drawn on the page for the wizard's step (empty: nothing is drawn).
std::string page_title(const WizardState& wizard);

// Step 5 lasts only until the next page paints, which makes it 4 again.
void settle_transient_step(WizardState& wizard);

// What the wizard needs from the window that shows its pages.
class WizardHost {
public:
    virtual ~WizardHost() = default;
    // Hides the current page; it stays the current page until another one is shown.
    virtual void closePage() = 0;
    // Creates the page anew, places it (with its buttons) and shows it.
    virtual void showPage(int pageId) = 0;
    // Places the current page with its buttons and shows it again.
    virtual void reshowPage() = 0;
    // Runs the download; true when it completed (the meter's data, maybe none, replaced the
    // old). False when it failed or was cancelled or the program is closing: the download has
    // shown its own messages and the wizard stays where it is.
    virtual bool runDownload() = 0;
    // File > Open: the open command, which continues the wizard itself after a load.
    virtual void openSaveFile() = 0;
    virtual void setBackEnabled(bool enabled) = 0;
    // The side panel's quick job info back to "Job ---" and "----".
    virtual void clearQuickJobInfo() = 0;
    // Whether the current page is shown (not closed).
    virtual bool pageShown() const = 0;
    virtual void repaintSidePanel() = 0;
    virtual bool linkEstablished() const = 0;
    virtual UserInterface& ui() = 0;
};

// The forward, second-button, third-button and Back commands that move between the pages.
class Wizard {
public:
    Wizard(AppState& state, WizardHost& host) : state_(state), host_(host) {}

    void forward();       // 1002
    void secondButton();  // 1003
    void thirdButton();   // 1004
    void back();          // the side panel's Back
    void command(int id); // 1002, 1003 or 1004
    // Whether Back leads to the start page, where the loaded data can no longer be reached.
    bool backLeadsToStart() const;
    // A save file was loaded: the wizard continues from the state it restored.
    void fileLoaded();

private:
    void kindChoice();
    void noReadings();
    void resetToStart();
    bool downloadSeededRecords() const;

    AppState& state_;
    WizardHost& host_;
};

} // namespace qm
