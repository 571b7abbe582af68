// Placeholder until component unregistration lands.
#include "removal/ProgressPageSteps.h"

namespace ta {
void ProgressPageSteps::RemoveBrowserHelper() {}
void ProgressPageSteps::RestoreTextServices() {}
void ProgressPageSteps::TextFromPointer(const wchar_t*, std::wstring&) {}
}  // namespace ta
