#pragma once
// The hand-over. Windows starts the uninstaller from where the product's uninstall entry names
// it, inside the install folder it is about to remove, and a running program cannot delete its
// own file. So a program that sits there copies itself into a private folder under the temporary
// folder, lets the copy run the whole removal and answers the copy's exit code: the process that
// was started is the one that answers, and it ends only when the run is over.
//
// The copy moves the original's file out of the install folder when the removal reaches that
// folder (a running program's file may be moved, not deleted), so the folder goes at once. At its
// end it leaves a sweeper from the system folder that removes the private folder, with the copy
// and the moved original in it, once both programs have ended: nothing waits for a restart.
#include <optional>
#include <string>
#include <vector>

#include "wizard/CommandLine.h"

namespace ta {

// The original's side. When the program's own file lies inside the install folder that passes the
// guard, runs the run from a private copy started with the same switches (a relative log path made
// absolute) and answers the copy's exit code once it has ended. Nothing when the program runs in
// place: it does not sit in the install folder, or the hand-over could not be made (recorded with
// what stopped it).
std::optional<int> RunFromPrivateCopy(const std::vector<std::wstring>& arguments);

// The copy's side. True when options name an original that runs from the file they name: this run
// then stands in for it, and the two count as one instance.
bool AcceptHandOver(const CommandLine& options);

// Moves the original's file into the private folder when it lies inside installFolder; the
// removal then finds the install folder without it. Does nothing in a run that was not handed
// over. When the file cannot be moved it stays where it is, for the removal to meet as any
// file in use.
void MoveOriginalOutOf(const std::wstring& installFolder);

// At the end of a handed-over run: starts the sweeper that removes the private folder once the
// copy and the original have ended. When no sweeper can be started, the folder's files and the
// folder are scheduled for deletion at the next restart instead. Does nothing in other runs.
void ArrangePrivateFolderRemoval();

}  // namespace ta
