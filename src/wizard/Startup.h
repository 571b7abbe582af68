#pragma once
// Start-up of the program and the values it prepares for the run.
#include <string>

namespace ta {

// The name that marks a running instance of the program.
inline constexpr wchar_t kInstanceName[] = L"TaUnInst";

// Stores the system folder, without a trailing backslash, in SystemDir (empty on failure).
void InitSystemPaths();
// Reads "PID" and "mserver" of the product key into PidSetting and MServerSetting.
void LoadServerSettings();
// The program, with the arguments of its command line (without its own name): ends at once
// when another instance runs; otherwise runs silently (/S) or shows the start page and
// dispatches messages until the program ends. Answers the exit code.
int RunUninstaller(const std::wstring& arguments = {});

}  // namespace ta
