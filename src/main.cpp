// TaUnInst: the uninstaller's entry point.
#include <windows.h>

#include "platform/AppShell.h"
#include "platform/ComPtr.h"
#include "platform/ComponentHost.h"
#include "platform/SystemLibrary.h"
#include "wizard/Startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    // Before anything else is loaded: the program runs elevated from folders others can write
    // to, and no library may come from there.
    ta::RestrictLibrarySearchToSystemFolder();
    ta::LoadSystemLibraries();
    // Started by the run itself to call a component's entry point: that, and nothing else.
    if (const auto hosted = ta::HostComponentEntryIfAsked(ta::CommandLineArguments(::GetCommandLineW()))) return *hosted;
    ta::ComApartment com;
    return ta::RunUninstaller(arguments ? arguments : L"");
}
