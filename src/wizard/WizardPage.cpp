#include "wizard/WizardPage.h"

namespace ta {

void WizardPage::AddCommonControls() {
    SetCaption(kPageCaption);
    Image1 = &AddImage();
    Line1 = &AddLine(kSeparatorColor);
}

Button& WizardPage::AddRowButton(int index, const std::wstring& caption) {
    return AddCommand1(index, caption,
                       TwipsRect{kButtonLeftTwips[index], kButtonTopTwips, kButtonWidthTwips, kButtonHeightTwips});
}

void WizardPage::AddButtonRow() {
    AddRowButton(0, L"< 뒤로");
    AddRowButton(1, L"다음 >");
    AddRowButton(2, L"취소");
}

void WizardPage::SizePage() { SetOuterSize(kPageWidthTwips, kPageHeightTwips); }

void WizardPage::PlaceButtons() {
    for (int index = 0; index < 3; ++index)
        if (Button* button = Command1(index)) button->Move(kButtonLeftTwips[index], kButtonTopTwips);
}

void WizardPage::PlaceBannerAndLine() {
    Image1->Move(0, 0);
    Line1->Move(120, 3600, 6720, 3600);
}

}  // namespace ta
