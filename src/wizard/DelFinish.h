#pragma once
// The finish page: tells what became of the removal, closes the progress page, and on "완료"
// sends the uninstall report and ends the program. Unloading it in any way ends the program.
// The report goes from a worker thread, so the page keeps answering while it is sent; "완료" is
// greyed meanwhile.
//
// The page follows the exit code the run will end with. When everything is gone it reads as
// complete. When some of it waits for the next restart it says so, and (unless the run was asked
// not to) offers to restart now or later; "완료" with "지금 다시 시작" restarts once the report has
// gone. When something of the product stays, it says so instead, lists what stayed and why, names
// the removal record, and offers "다시 시도", which runs the removal steps again (after the person
// has closed what held a file) and shows the page anew from what they came to.
#include <vector>

#include "record/RemovalRecord.h"
#include "wizard/PageWorker.h"
#include "wizard/WizardPage.h"

namespace ta {

class DelFinish : public WizardPage {
public:
    using WizardPage::WizardPage;

    Label* Label1 = nullptr;
    Label* Label2 = nullptr;
    Label* Label4 = nullptr;
    Label* RestartLabel = nullptr;  // once some of the removal has waited for the next restart
    Label* RecordLabel = nullptr;   // once something has stayed: where the removal record is
    TextBox* StayedList = nullptr;  // once something has stayed: what, and why
    Button* RestartNow = nullptr;   // the restart choice, where it is offered
    Button* RestartLater = nullptr;
    Button* RetryButton = nullptr;  // "다시 시도", once something has stayed

    // The indexes of the page's own buttons in the control array.
    static constexpr int kRestartNowIndex = 3;
    static constexpr int kRestartLaterIndex = 4;
    static constexpr int kRetryIndex = 5;

    // The exit code the page shows the outcome of.
    int Outcome() const noexcept { return outcome_; }

protected:
    void OnLoad() override;
    void OnActivate() override;
    void OnCommand1Click(int index) override;
    void OnUnload() override;
    bool OnQueryClose() override;
    void OnPageMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr UINT kReportEndedMessage = WM_APP + 1;
    static constexpr UINT kRetryEndedMessage = WM_APP + 2;

    // Lays the page out for what the record says now.
    void ShowOutcome();
    // What stayed (nothing: the list and what goes with it are hidden).
    void ShowWhatStayed(const std::vector<RecordEntry>& stayed);
    void ShowRestartChoice(bool shown);
    // Once the report has ended, on this page's thread: the restart, if chosen, and the end.
    void FinishReport();
    // Once the removal steps have run again, on this page's thread.
    void FinishRetry();
    void EnableButtons(bool enabled);

    PageWorker reporter_;
    PageWorker retrier_;
    int outcome_ = 0;
    bool restartBegun_ = false;
};

}  // namespace ta
