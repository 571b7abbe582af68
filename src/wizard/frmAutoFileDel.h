#pragma once
// The progress page: one second after it loads, its one-shot timer runs the whole removal while
// the bar advances by the bytes deleted and Label3 shows the file being deleted; then it opens
// the finish page, which closes this page.
#include "controls/progressbar/ucProgressBar.h"
#include "removal/ProgressPageSteps.h"
#include "wizard/WizardPage.h"

namespace ta {

class frmAutoFileDel : public WizardPage, public ProgressPageSteps {
public:
    static constexpr UINT kTimer1Id = 1;
    static constexpr UINT kTimer1IntervalMs = 1000;
    // Where ucProgressBar1 lies; its stored extent is the same size.
    static constexpr TwipsRect kBarTwips{240, 2040, 6375, 375};

    // The removal, every step in its order, each passed over silently when it fails.
    void RunRemoval();

    Label* Label1 = nullptr;
    Label* Label2 = nullptr;
    Label* Label3 = nullptr;
    ucProgressBar ucProgressBar1;
    Timer* Timer1 = nullptr;
    TextBox* Text1Box = nullptr;

protected:
    void OnLoad() override;
    void OnTimer(UINT timerId) override;

    // The removal steps' view of this page.
    void SetBarValue(int32_t value) override;
    int32_t BarMax() const override;
    void ShowFilePath(const std::wstring& path) override;
    void SetText1(const std::wstring& text) override;
    std::wstring Text1() const override;

private:
    bool removalStarted_ = false;
};

}  // namespace ta
