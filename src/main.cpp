// TaUnInst: the uninstaller's entry point.
#include <windows.h>

#include "platform/ComPtr.h"
#include "wizard/Startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    ta::ComApartment com;
    return ta::RunUninstaller(arguments ? arguments : L"");
}
