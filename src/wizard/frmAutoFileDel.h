#pragma once
// The progress page: one second after it loads, its one-shot timer starts the whole removal on
// a worker thread while the page stays alive; the bar advances by the bytes deleted and Label3
// shows the file being deleted, both brought up to date at display pace. When the last step has
// run, the page opens the finish page, which closes this page.
#include "controls/progressbar/ucProgressBar.h"
#include "platform/Handles.h"
#include "removal/RemovalProgress.h"
#include "wizard/BarShare.h"
#include "wizard/LatestProgress.h"
#include "wizard/PageWorker.h"
#include "wizard/WizardPage.h"

namespace ta {

// The page shows a run's removal: to the steps it is only their progress.
class frmAutoFileDel : public WizardPage, public RemovalProgress {
public:
    using WizardPage::WizardPage;
    static constexpr UINT kTimer1Id = 1;
    static constexpr UINT kTimer1IntervalMs = 1000;
    // Where ucProgressBar1 lies; its stored extent is the same size.
    static constexpr TwipsRect kBarTwips{240, 2040, 6375, 375};
    // While the removal runs, the page shows its latest progress this often.
    static constexpr UINT kDisplayTimerId = 2;
    static constexpr UINT kDisplayIntervalMs = 30;

    ~frmAutoFileDel() override;

    // Starts the removal on its worker thread; the finish page follows once every step has run.
    void RunRemoval();
    // The removal steps themselves, every one in its order, each passed over when it fails.
    void RunRemovalSteps();
    bool RemovalRunning() const noexcept { return worker_.Running(); }

    Label* Label1 = nullptr;
    Label* Label2 = nullptr;
    Label* Label3 = nullptr;
    ucProgressBar ucProgressBar1;
    Timer* Timer1 = nullptr;
    TextBox* Text1Box = nullptr;

protected:
    void OnLoad() override;
    void OnTimer(UINT_PTR timerId) override;
    void OnUnload() override;
    bool OnQueryClose() override;
    void OnPageMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // What the removal steps tell; called on the worker thread, shown at display pace.
    void ShowDeletedBytes(int64_t bytes) override;
    void ShowComplete() override;
    void ShowFilePath(const std::wstring& path) override;
    void ShowClassId(const std::wstring& text) override;

private:
    static constexpr UINT kStepEndedMessage = WM_APP + 1;
    static constexpr UINT kRemovalEndedMessage = WM_APP + 2;

    // Shows what the worker changed since the last look.
    void ShowLatestProgress();
    // Once the last step has run: joins the worker (if any), shows the final progress and opens
    // the finish page.
    void FinishRemoval();

    bool removalStarted_ = false;
    int32_t barMax_ = 0;
    BarShare share_;  // of "ToTFile"
    Timer* displayTimer_ = nullptr;
    LatestProgress latest_;
    HWND workerTarget_ = nullptr;  // where the worker posts; fixed before it starts
    PageWorker worker_;
};

}  // namespace ta
