#pragma once
// Start-up of the program and the values it prepares for the run.
#include <string>

#include "record/Step.h"
#include "run/RemovalRun.h"

namespace ta {

// The name that marks a running instance of the program.
inline constexpr wchar_t kInstanceName[] = L"TaUnInst";

// Stores the system folder, without a trailing backslash, in the run's SystemDir (empty on
// failure).
void InitSystemPaths(RemovalRun& run);
// Reads "PID" and "mserver" of the product key into the run's PidSetting and MServerSetting.
inline constexpr Step kLoadServerSettingsStep{L"LoadServerSettings", Footprint::None};
void LoadServerSettings(RemovalRun& run);
// The program, with the arguments of its command line (without its own name): ends at once
// when another instance runs; otherwise runs silently (/S) or shows the start page and
// dispatches messages until the program ends. Answers the exit code.
int RunUninstaller(const std::wstring& arguments = {});

}  // namespace ta
