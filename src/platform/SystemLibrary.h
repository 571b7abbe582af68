#pragma once
// The libraries the program uses beyond the system's known DLLs. The program runs elevated from
// folders other people can write to, so none of them may come from its own folder: each is loaded
// from the system folder only, on first use, and kept for the run. Their functions are looked up
// by name and typed as the SDK's headers declare them, so nothing of theirs is imported.
#include <windows.h>

namespace ta {

enum class SystemLibrary {
    WinHttp,   // the uninstall report's HTTP exchange
    UxTheme,   // the progress bar's visual style
    MsImg32,   // AlphaBlend
    MsVfw32,   // DrawDib
    OleAcc,    // the controls' accessible objects
    ComCtl32,  // window subclassing; Common Controls 6, as the manifest asks
};

// Limits every later library search of the process to the system folder. Called first thing at
// start-up, before anything else is loaded. Answers false where the system lacks the call
// (Windows 7 without its 2011 loader update); the current folder then still leaves the search,
// and the libraries above are loaded by their full path.
bool RestrictLibrarySearchToSystemFolder() noexcept;

// Loads every library above from the system folder at once, right after the search is restricted,
// and before them the libraries the system's own libraries load for the program later.
// A library already in the process answers every later load of its name, so nothing that asks
// for one by name finds another copy: neither a component of the system that searches beside
// the program all the same (Wine's common controls load msimg32 so), nor a system without the
// restriction.
void LoadSystemLibraries() noexcept;

// The library's module, loaded on the first call; nullptr when it cannot be loaded.
HMODULE LoadSystemLibrary(SystemLibrary library) noexcept;

// The address of a function of the library; nullptr when the library or the function is missing.
FARPROC SystemFunctionAddress(SystemLibrary library, const char* name) noexcept;

template <typename Function>
Function SystemFunction(SystemLibrary library, const char* name) noexcept {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemFunctionAddress(library, name)));
}

}  // namespace ta

// The function as the SDK declares it, from the library in the system folder, or nullptr:
// TA_SYSTEM_FUNCTION(UxTheme, OpenThemeData)(hwnd, L"Progress").
#define TA_SYSTEM_FUNCTION(library, function) \
    (::ta::SystemFunction<decltype(&::function)>(::ta::SystemLibrary::library, #function))
