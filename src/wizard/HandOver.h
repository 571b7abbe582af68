#pragma once
// The hand-over. Windows starts the uninstaller from where the product's uninstall entry names
// it, inside the install folder it is about to remove, and a running program cannot delete its
// own file. So a program that sits there copies itself into a private folder under the temporary
// folder (or at the root of its own volume, where the temporary folder lies on another), lets the
// copy run the whole removal and answers the copy's exit code: the process that
// was started is the one that answers, and it ends only when the run is over.
//
// The copy moves the original's file out of the install folder when the removal reaches that
// folder (a running program's file may be moved, not deleted), so the folder goes at once. At its
// end it leaves a sweeper from the system folder that removes the private folder, with the copy
// and the moved original in it, once both programs have ended: nothing waits for a restart.
#include <optional>
#include <string>
#include <vector>

#include "run/RemovalRun.h"
#include "wizard/CommandLine.h"

namespace ta {

// The original's side. When the program's own file lies inside the install folder that passes the
// guard, runs the run from a private copy started with the same switches (a relative log path made
// absolute) and answers the copy's exit code once it has ended. Nothing when the program runs in
// place: it does not sit in the install folder, or the hand-over could not be made (recorded with
// what stopped it).
std::optional<int> RunFromPrivateCopy(RemovalRun& run, const std::vector<std::wstring>& arguments);

// At start-up, before anything else: holds the program's own file (run.handedOver.ownImage),
// readable but neither writable nor removable, once its headers are those of the running image.
// The copy is made from this handle, never from the path, which somebody may have put another
// file on; RunFromPrivateCopy lets it go.
void HoldOwnImage(RemovalRun& run);

// The copy's side. True when options name an original that runs from the file they name: this run
// then stands in for it, and the two count as one instance.
bool AcceptHandOver(RemovalRun& run, const CommandLine& options);

// Moves the original's file into the private folder when it lies inside installFolder; the
// removal then finds the install folder without it, and the uninstall entry starts the copy. Does nothing in a run that was not handed
// over. When the file cannot be moved it stays where it is, for the removal to meet as any
// file in use.
void MoveOriginalOutOf(const RemovalRun& run, const std::wstring& installFolder);

// A run cut short after its hand-over leaves the list of installed programs starting its private
// copy. Started from there, this run finishes that removal: true when it runs from such a private
// folder ("TaUnInst-...") and the uninstall entry starts this very file. That folder then goes
// at the end, as after a hand-over.
bool FinishCutShortRun(RemovalRun& run);

// At the end of a handed-over run, or of one that finishes a run cut short: starts the sweeper that removes the private folder once the
// copy and the original have ended. When no sweeper can be started, the folder is cleared at
// once, what still runs moved aside for the restart. Does nothing in other runs, nor while the
// uninstall entry still starts the copy: the folder then stays, the way back to the removal.
void ArrangePrivateFolderRemoval(const RemovalRun& run);

// Every way out of the program: the private folder's removal arranged, then the removal log
// ended and the program ended with exitCode (FinishRun).
void EndRun(RemovalRun& run, int exitCode);

}  // namespace ta
