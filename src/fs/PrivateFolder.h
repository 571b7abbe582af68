#pragma once
// Folders of the program's own: what it keeps there (its running copy, what waits for the
// restart) is out of reach of everybody but the administrators and the system.
#include <windows.h>

#include <string>

namespace ta {

// A name nobody can guess: "TaUnInst-" and random digits; empty when the system gives no
// random number.
std::wstring FreshName();

// Makes a fresh folder in parent (which ends with "\") that only the local system account and
// the administrators may use, with a fresh name; never one that was there before. Answers its
// path, or empty with error holding why.
std::wstring CreatePrivateFolder(const std::wstring& parent, DWORD& error);

}  // namespace ta
