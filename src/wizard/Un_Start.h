#pragma once
// The start page: warns that every program the product is applied to will be closed, and on
// confirmation stops the product's processes and opens the progress page.
#include <memory>

#include "wizard/WizardPage.h"

namespace ta {

class Un_Start : public WizardPage {
public:
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
};

}  // namespace ta
