#pragma once
// Where an open file or folder really is once every link on the way is resolved, and whether
// that is the name it was opened by. The program deletes and rewrites only what it can tell is
// the name itself: a link in its place leads to somebody else's file, and under Wine a Unix link
// to a file looks like a plain file, so only the final path tells. What cannot be told counts as
// somebody else's.
#include <windows.h>

#include <string>

#include "platform/Handles.h"

namespace ta {

// The full form of path with "." and ".." resolved, prefixed "\\?\" (or "\\?\UNC\") so that
// names longer than MAX_PATH work; a trailing "\" is kept. Paths already in that form, device
// paths and paths that cannot be resolved come back as they are.
std::wstring LongPathForm(const std::wstring& path);

// Takes the long-path prefix off: "\\?\X:\..." gives "X:\...", "\\?\UNC\server\share" gives
// "\\server\share"; the system resolves neither "." nor ".." below such a prefix, so a path is
// checked in its plain form.
std::wstring WithoutLongPathPrefix(const std::wstring& path);
// The path made full, "." and ".." resolved, as the system does it; empty when it cannot.
std::wstring FullPathName(const std::wstring& path);
// The full, long form of an existing path (short 8.3 names expanded, "." and ".." resolved, no
// long-path prefix); a path that cannot be resolved comes back in its full form.
std::wstring NormalisedPath(const std::wstring& path);

// True when path names folder itself or anything below it. Both must be full paths in one form
// (as NormalisedPath gives them); letter case and trailing separators do not count.
bool LiesInside(const std::wstring& path, const std::wstring& folder);

// The final path of an open file or folder ("\\?\C:\..."); empty when the system cannot tell,
// and then error holds why.
std::wstring FinalPathOf(HANDLE handle, DWORD& error);

// Where a folder really is ("\\?\C:\..."); empty when the folder cannot be opened or the system
// cannot tell.
std::wstring FinalFolderPath(const std::wstring& longFolder);

enum class EntryIs {
    Itself,     // the folder's entry name
    Elsewhere,  // what a link there leads to
    Unknown,    // its final path cannot be read; error says why
};
struct EntryCheck {
    EntryIs is = EntryIs::Unknown;
    DWORD error = 0;
};
// What the open file is against the entry name of the folder whose final path is folderFinal.
EntryCheck CheckEntry(HANDLE file, const std::wstring& folderFinal, const std::wstring& name);

// The folder at path opened as itself: a link in its place opens as the link and is never
// followed. Empty (with the system's error) when it cannot be opened.
FileHandle OpenFolderItself(const std::wstring& path, DWORD access, DWORD share);

// What the folder opened as itself is against where it must be, expectedFinal (a final path, or
// the full, long form of a plain one): Itself when it is a real folder whose final path is that,
// Elsewhere when it is a link or a link on the way leads elsewhere, Unknown (with the error) when
// it is no folder or its final path cannot be read.
EntryCheck CheckFolder(HANDLE folder, const std::wstring& expectedFinal);

// The question FinalPathOf asks the system. A test puts one in its place that fails as a file
// system that cannot name its files would; answers the one replaced (nullptr puts the system's
// back).
using FinalPathQuery = std::wstring (*)(HANDLE handle, DWORD& error);
FinalPathQuery SetFinalPathQuery(FinalPathQuery query) noexcept;

}  // namespace ta
