#pragma once
// Rewriting a file the program keeps for itself (its logs), which may lie in a folder other
// people can write to. Someone there may have put a link in its place, or a second name of a
// file they want destroyed: the program, running elevated, must not write through either. The
// file is opened without following a link at its name and without truncating it, checked, and
// only then emptied and written through that same handle, so what a link leads to is never
// touched.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Handles.h"
#include "record/Step.h"

namespace ta {

struct Rewrite {
    enum Result { Written, Refused, Failed } result = Failed;
    DWORD error = 0;   // Failed: the Win32 error met; Refused: the error of a check that found no answer
    std::wstring why;  // Refused: what the name is ("a link to ...", "a file with 2 names (hard links)", ...)
};

// Writes bytes as the whole content of the file at path, creating it when it is missing. Refused
// when the name is a link or reparse point, leads elsewhere, cannot be told apart from a link,
// or is one of several names of one file; nothing is written then.
Rewrite RewriteFile(const std::wstring& path, std::string_view bytes);

// The same file opened, checked and emptied as RewriteFile does it, for writing it piece by
// piece; file is open only when the result is Written. What is written through the handle goes
// to the file that was checked, whatever is put at its name later.
struct OpenedRewrite {
    Rewrite rewrite;
    FileHandle file;
};
// How far the way to the file is looked at. Always: the file is made or opened by its name
// relative to its folder, opened as itself and held without delete sharing meanwhile, and a file
// that was made and then refused is deleted again through its own handle. With realFolders, also
// every folder from the volume's root down must be a real folder: no link, junction or mount
// point, where an account that may change a folder on the way could send the file anywhere.
struct RewriteRules {
    bool realFolders = false;
};
OpenedRewrite OpenForRewrite(const std::wstring& path, RewriteRules rules = {});
// Appends bytes to a file OpenForRewrite opened; answers ERROR_SUCCESS or the Win32 error met.
DWORD WriteAll(HANDLE file, std::string_view bytes);

// Says in the current record, under step, that the file at path was not written and why: kept
// as a link. Once per record and path, however often the file is refused.
void RecordRefusedRewrite(const Step& step, const std::wstring& path, const Rewrite& rewrite);

}  // namespace ta
