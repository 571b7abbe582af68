#pragma once
// Folders of the program's own: what it keeps there (its running copy, what waits for the
// restart) is out of reach of everybody but the administrators and the system.
#include <windows.h>

#include <string>

namespace ta {

// The root of the volume that path lies on ("C:\\"), as the system names it; empty when it
// cannot tell (GetLastError says why). A private folder that a file must be moved into lies there.
std::wstring VolumeOf(const std::wstring& path);

// A name nobody can guess: "TaUnInst-" and random digits; empty when the system gives no
// random number.
std::wstring FreshName();

// Makes a fresh folder in parent (which ends with "\") that only the local system account and
// the administrators may use, with a fresh name; never one that was there before. Answers its
// path, or empty with error holding why.
std::wstring CreatePrivateFolder(const std::wstring& parent, DWORD& error);

}  // namespace ta
