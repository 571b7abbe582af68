// Placeholder until the uninstall report lands.
#include "report/UninstallReport.h"

namespace ta {
void SendUninstallReport() {}
}  // namespace ta
