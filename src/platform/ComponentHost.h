#pragma once
// A component's registration entry point runs in a short-lived process of this program's own,
// never in the uninstaller itself: a component whose DllMain or entry point never returns, or
// crashes, then takes only that process with it, and nothing of it stays loaded in the run. The
// process is this program started again with one switch and one argument:
//
//     TaUnInst.exe /component-entry=DllUnregisterServer "C:\Windows\system32\tageturl.dll"
//
// It loads the library (from its full path, with the same start-up hardening), calls the entry
// point, releases the library and reports what happened on its standard output; it shows no
// window, takes no instance, hands nothing over and never runs the removal.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ta {

inline constexpr wchar_t kComponentEntrySwitch[] = L"/component-entry=";

// What the process reports: the outcome and its number.
struct ComponentReport {
    enum class Outcome : uint32_t {
        Returned = 1,  // value: the HRESULT it answered
        CannotLoad,    // value: the Win32 error of the load
        NoEntryPoint,  // the library lacks it
        Crashed,       // value: the code of the exception that ended it
    };
    Outcome outcome = Outcome::Crashed;
    uint32_t value = 0;
};

// The exit code of a host asked anything but one known entry point and the full path of an
// ordinary file: ERROR_INVALID_PARAMETER (87), before anything is loaded.
inline constexpr int kComponentHostRefused = 87;

// When the arguments ask for a component's entry point (the switch first), runs it and answers the
// process's exit code; nullopt for any other command line. Call it before anything else runs.
std::optional<int> HostComponentEntryIfAsked(const std::vector<std::wstring>& arguments);

}  // namespace ta
