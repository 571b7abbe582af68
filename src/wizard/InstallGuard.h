#pragma once
// The install-folder guard: the removal empties the install folder only when the folder the
// product key names is plainly the product's own.
#include <optional>
#include <string>

#include "fs/FinalPath.h"  // LiesInside, which the callers of the guard compare with

namespace ta {

// The full, normalised form of an install folder that passes the guard, or nothing. A path
// passes when it is absolute (a drive path "X:\..." or a share "\\server\share\..."), is not a
// drive or share root once "." and ".." are resolved, and its lower-case full form contains
// "tarnil". Empty text, "Error", relative and drive-relative paths fail.
std::optional<std::wstring> GuardedInstallPath(const std::wstring& path);

// True when the path passes the guard.
bool InstallPathPassesGuard(const std::wstring& path);

// The form of a guarded install folder the removal works on: where it really is. Its own path
// when no link lies on the way to it (or the folder itself is one, which the walk keeps); where
// a link above it leads when that link and every folder on both ways can be changed by the
// trusted alone; nothing when they cannot, and then why says which and by whom.
std::optional<std::wstring> FollowedInstallFolder(const std::wstring& guarded, std::wstring& why);

}  // namespace ta
