#pragma once
// File-system primitives the removal steps share: long paths, and deletions that act on the
// name in our own folder and never on what a link there points at. Each answers what became of
// the item in the removal record's terms; the caller records it under the name it shows.
#include <windows.h>

#include <string>

#include "platform/RemovalRecord.h"

namespace ta {

// What one deletion came to.
struct Deletion {
    Outcome outcome = Outcome::Failed;
    DWORD error = 0;  // with Failed, and with a folder Kept because it is not empty
    KeptBy keptBy = KeptBy::None;  // with Kept
};

// Writes the deletion of item to the current record.
void RecordDeletion(ItemKind kind, const std::wstring& item, const Deletion& deletion);

// The full form of path with "." and ".." resolved, prefixed "\\?\" (or "\\?\UNC\") so that
// names longer than MAX_PATH work; a trailing "\" is kept. Paths already in that form, device
// paths and paths that cannot be resolved come back as they are.
std::wstring LongPathForm(const std::wstring& path);

// Where a folder really is once every link on the way is resolved ("\\?\C:\..."); empty when
// the folder cannot be opened or the system cannot tell.
std::wstring FinalFolderPath(const std::wstring& longFolder);

// Deletes the file longPath, which must be the entry name of the folder whose
// final path is folderFinal. A name that resolves anywhere else is a link to something that is not
// ours, and it stays (Kept by Link); so does a folder. With clearReadOnly, a read-only file loses
// that attribute and goes (it is put back when the file stays all the same); without it, it
// stays (Failed, error 5).
Deletion DeleteFileInFolder(const std::wstring& longPath, const std::wstring& folderFinal, const std::wstring& name,
                            bool clearReadOnly = false);

// The same for one file given by its path.
Deletion DeleteFileItself(const std::wstring& path, bool clearReadOnly = false);

// Removes a folder when it is empty and a real folder: a link in its place stays (Kept by Link),
// and so does what it points at.
Deletion RemoveEmptyFolder(const std::wstring& path);

}  // namespace ta
