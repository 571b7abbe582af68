// TaUnInst: the uninstaller's entry point. The command line is not read.
#include <windows.h>

#include "platform/ComPtr.h"
#include "wizard/Startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    ta::ComApartment com;
    return ta::RunUninstaller();
}
