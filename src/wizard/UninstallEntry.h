#pragma once
// The commands of the product's entry in the list of installed programs ("UninstallString",
// "QuietUninstallString"), which start this program. While the run is handed over, the original's
// file leaves the install folder: the entry then names the private copy, so that a run cut short
// can be finished from the list of installed programs.
#include <string>
#include <utility>
#include <vector>

namespace ta {

// The program a command starts: the quoted first part, or, unquoted, everything up to the end of
// its first ".exe" (names with blanks are often left unquoted). Empty when there is none.
std::wstring ProgramOfCommand(const std::wstring& command);

// The entry's commands that start the program at path (compared in normalised form) are made to
// start replacement instead, their arguments kept. Answers each changed value's name with what
// it held before, for PutBack.
using EntryValues = std::vector<std::pair<std::wstring, std::wstring>>;
EntryValues RenameProgramInEntry(const std::wstring& path, const std::wstring& replacement);
void PutBack(const EntryValues& before);

// Whether the entry's command starts the program at path.
bool EntryStarts(const std::wstring& path);

}  // namespace ta
