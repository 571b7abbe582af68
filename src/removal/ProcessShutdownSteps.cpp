// Placeholder until the process shutdown lands: the start page's calls link and do nothing.
#include "removal/TarnilSet.h"

namespace TarnilSet {
void StopProductProcesses() {}
void NotifyTray() {}
void StopControlProcess() {}
}  // namespace TarnilSet
