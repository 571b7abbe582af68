#pragma once
// The start page: warns that every program the product is applied to will be closed, and on
// confirmation stops the product's processes and opens the progress page. The stopping, which
// waits seconds for programs to close, runs on a worker thread while the page keeps answering;
// meanwhile its buttons and its close box do nothing.
#include <memory>

#include "wizard/PageWorker.h"
#include "wizard/WizardPage.h"

namespace ta {

class Un_Start : public WizardPage {
public:
    using WizardPage::WizardPage;
    ~Un_Start() override;

    // The banner all three pages show, loaded from the program's resources on first use. The
    // other pages take it from here; taking it never loads or shows the start page.
    static std::shared_ptr<Picture> Banner();

    // Asks whether to cancel; Yes ends the program at once, No returns.
    void ConfirmCancel();

    Label* Label2 = nullptr;
    Label* Label3_0 = nullptr;  // Label3 index 0
    Label* Label3_1 = nullptr;  // Label3 index 1

protected:
    void OnLoad() override;
    void OnActivate() override;
    void OnCommand1Click(int index) override;
    bool OnQueryClose() override;
    void OnUnload() override;
    void OnPageMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr UINT kHandOverEndedMessage = WM_APP + 1;

    // Runs the steps after "예" on the worker; the progress page follows once they have run.
    void StartHandOver();
    // The progress page is loaded while this page still exists, then this page goes.
    void FinishHandOver();

    bool handOverStarted_ = false;
    PageWorker worker_;
};

}  // namespace ta
