// Placeholder until file and folder removal lands.
#include "removal/ProgressPageSteps.h"

namespace ta {
int32_t ProgressPageSteps::FindFilesAPI(std::wstring&, const std::wstring&, int16_t&, int16_t&) { return 0; }
std::wstring ProgressPageSteps::StripNulls(std::wstring& text) { return text; }
void ProgressPageSteps::RemoveInstallFolders() {}
void ProgressPageSteps::DeleteSystemFiles() {}
void ProgressPageSteps::DeleteSystemFile(const std::wstring&) {}
}  // namespace ta
