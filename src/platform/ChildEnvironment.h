#pragma once
// The environment every process this program starts gets: the program's own, with the command
// processor and the system told not to look in the current folder for a program named without a
// path (NoDefaultCurrentDirectoryInExePath). The folder a child runs in may be one that others can
// write to, and the child runs with this program's rights.
#include <string>

namespace ta {

// A Unicode environment block for CreateProcessW (with CREATE_UNICODE_ENVIRONMENT).
std::wstring ChildEnvironment();

}  // namespace ta
