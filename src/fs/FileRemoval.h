#pragma once
// File-system primitives the removal steps share: long paths, and deletions that act on the
// name in our own folder and never on what a link there points at. Each answers what became of
// the item in the removal record's terms; the caller records it under the name it shows.
#include <windows.h>

#include <string>

#include "fs/FinalPath.h"
#include "record/RemovalRecord.h"

namespace ta {

// What one deletion came to.
struct Deletion {
    Outcome outcome = Outcome::Failed;
    DWORD error = 0;  // with Failed, with PendingRestart, and with a folder Kept because it is not empty
    KeptBy keptBy = KeptBy::None;  // with Kept
    std::wstring detail{};  // what else stopped it (an attribute that stayed, a restart that refused it)
};

// Writes the deletion of item to the current record.
void RecordDeletion(ItemKind kind, const std::wstring& item, const Deletion& deletion);

// How far a deletion goes with a file that resists it; by default a read-only file stays
// (Failed, error 5), and so does a file in use.
struct FileRules {
    // A read-only file loses the attribute and goes (it is put back when the file stays all the same).
    bool clearReadOnly = false;
    // A file that is a running program or a loaded module (its image mapped) goes at the next
    // restart, moved into a private folder first: PendingRestart, with the error met. A file
    // another program keeps open without sharing its deletion, or locked, cannot be moved: it goes
    // at the restart by its own path where only the trusted can change the folders on its way
    // (CheckWayIsTrusted), and elsewhere it stays: Kept (InUse), the detail naming the folder and who
    // may change it.
    bool laterWhenHeld = false;
};
inline constexpr FileRules kProductFileRules{true, true};

// Deletes the file longPath, which must be the entry name of the folder whose
// final path is folderFinal. A name that resolves anywhere else is a link to something that is not
// ours, and it stays (Kept by Link); so does a folder. So does a name whose final path cannot be
// read (Failed, with the error met): what cannot be told apart from a link is not deleted.
Deletion DeleteFileInFolder(const std::wstring& longPath, const std::wstring& folderFinal, const std::wstring& name,
                            FileRules rules = {});

// The same for one file given by its path.
Deletion DeleteFileItself(const std::wstring& path, FileRules rules = {});

// Removes a folder when it is empty and a real folder: a link in its place stays (Kept by Link),
// and so does what it points at.
Deletion RemoveEmptyFolder(const std::wstring& path);

// The same, but a folder that holds nothing but what waits for the restart is left for the
// restart after it (PendingRestart), where only the trusted can change the folders on its way.
// Folders are handed in deepest first, so that each is scheduled after what it holds.
Deletion RemoveEmptyFolderNowOrAtRestart(const std::wstring& path);

}  // namespace ta
