#pragma once
// The removal's steps in their order, shared by the wizard's pages and the silent run. Each
// takes the run it acts on; the progress page's steps also tell a progress what they do.
#include <functional>

#include "record/Step.h"
#include "removal/RemovalProgress.h"
#include "run/RemovalRun.h"

namespace ta {

// The progress page's first two steps, which the sequence does itself. The mark sits on a key
// that goes anyway; without the program path the install folder is never found, so all of it stays.
inline constexpr Step kUninstallStep{L"Uninstall", Footprint::None};
inline constexpr Step kProgramPathStep{L"ProgramPath", Footprint::Items};

// What follows the person's "예" on the start page: the report's settings, the product's
// processes and the tray.
void RunHandOverSteps(RemovalRun& run);
// The progress page's steps, every one in its order, each passed over when it fails; stepEnded
// runs after each.
void RunProgressSteps(RemovalRun& run, RemovalProgress& progress, const std::function<void()>& stepEnded = {});
// The same steps again, after the person closed what kept an item, with nobody watching the
// progress: the product key is not written again, and the install folder is the one guarded then.
void RunRemovalStepsAgain(RemovalRun& run);
// The whole removal without any window or question: the hand-over, the progress page's steps
// and the report. Answers the exit code.
int RunSilentRemoval(RemovalRun& run);

}  // namespace ta
