#pragma once
// The finish page: tells that the removal is complete, closes the progress page, and on "완료"
// sends the uninstall report and ends the program. Unloading it in any way ends the program.
// The report goes from a worker thread, so the page keeps answering while it is sent; "완료" is
// greyed meanwhile.
#include "wizard/PageWorker.h"
#include "wizard/WizardPage.h"

namespace ta {

class DelFinish : public WizardPage {
public:
    using WizardPage::WizardPage;

    Label* Label1 = nullptr;
    Label* Label2 = nullptr;
    Label* Label4 = nullptr;
    Label* RestartLabel = nullptr;  // only when some of the removal waits for the next restart

protected:
    void OnLoad() override;
    void OnActivate() override;
    void OnCommand1Click(int index) override;
    void OnUnload() override;
    bool OnQueryClose() override;
    void OnPageMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr UINT kReportEndedMessage = WM_APP + 1;

    // Once the report has ended, on this page's thread: "완료" again, and the program ends.
    void FinishReport();

    PageWorker reporter_;
};

}  // namespace ta
