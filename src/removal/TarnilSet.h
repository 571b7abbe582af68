#pragma once
// The product-specific removal steps: which processes to stop and which registry data is ours.
#include <string>

namespace TarnilSet {

// The product's key and the entries outside it that the product created.
inline constexpr wchar_t kProductKey[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla";

// Deletes the product key tree, its uninstall entry and browser-extension key, and empties the
// autorun value "Tarnil".
void RemoveRegistryEntries();

// Ends the product's processes, notifies its tray program, and ends the applications listed in
// the product key's "PROGRAM" value.
void StopProductProcesses();
// Posts the tray program its shutdown message, then waits 200 ms.
void NotifyTray();
// The start page's second attempt at the product's control process.
void StopControlProcess();

}  // namespace TarnilSet
