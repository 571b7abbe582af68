// Placeholder until shortcut removal lands.
#include "removal/CreateShortCut.h"

namespace CreateShortCut {
void RemoveShortcuts() {}
}  // namespace CreateShortCut
