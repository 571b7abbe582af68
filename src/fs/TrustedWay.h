#pragma once
// Whether only the trusted can change the folders on a path's way. The restart deletes by path,
// as the system: a file may be left there by its own name only where nobody who could not already
// do everything can put a link in a folder's place before the restart comes.
#include <windows.h>

#include <string>

namespace ta {

// What the way to a folder came to. When it is not trusted, folder names the first folder on it
// that others may change (or that could not be read) and why says so in words.
struct WayCheck {
    bool trusted = false;
    std::wstring folder{};
    std::wstring why{};
};

// Looks at every folder from folder ("C:\...", or its long form) up to the root of its volume.
// Each must be a real folder (no link, and no link on its way), owned by the administrators, the
// system, TrustedInstaller or the account this program runs as, and no entry of its access list
// that applies to the folder itself may allow any other account to change it (ChangesFolder).
WayCheck CheckWayIsTrusted(const std::wstring& folder);

// The same for a folder named through a link on its way (a junction, a mount point, a symbolic
// link): resolved, where it really is, must pass CheckWayIsTrusted, and every folder and link of
// the way it is named by, from its volume's root, must be changeable by the trusted alone.
WayCheck CheckLinkedWayIsTrusted(const std::wstring& named, const std::wstring& resolved);

// The same for the one folder alone (as no volume's root), not the folders above it.
WayCheck CheckFolderIsTrusted(const std::wstring& folder);

// Whether access lets its holder change a folder's contents or its protection: write data or add
// a file, add a subfolder, delete a child, delete it, change its permissions, take its ownership,
// or the generic write and all rights. At the volume's root, adding a file or a subfolder does
// not count: the system lets every signed-in user make folders there, and a name added beside
// the way cannot take the place of a folder already on it.
bool ChangesFolder(ACCESS_MASK access, bool volumeRoot) noexcept;

}  // namespace ta
