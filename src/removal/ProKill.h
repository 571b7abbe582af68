#pragma once
// Finds and ends running processes by executable name. A name matches a process when the
// executable name the process list reports ends with it, in any case: "tasuf.exe" matches
// "TaSuf.EXE", "C:\...\tasuf.exe" and "mytasuf.exe" alike.
#include <string>
#include <string_view>

namespace ProKill {

// Whether a reported executable name ends with the searched name (case-insensitive).
bool NameMatches(std::wstring_view exeName, std::wstring_view name);

// Ends every running process that matches name, our own process and the processes Windows
// cannot run without (smss, csrss, wininit, winlogon, services, lsass) excepted. A process that
// cannot be opened or ended is passed over. Answers true when the process list was walked to
// its end (also when nothing matched), false when no process list could be taken.
bool KillProcessByName(const std::wstring& name);

// False as soon as one running process matches name; true when none does or no process list
// could be taken. Ends nothing.
bool ProcessNotRunning(const std::wstring& name);

}  // namespace ProKill
