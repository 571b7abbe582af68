#pragma once
// The product's shortcuts: the current user's startup folder, desktop and program group.

namespace CreateShortCut {

// Deletes the product's shortcuts from the current user's startup folder, desktop and program
// group, each only when it is an ordinary file, then the group folder when that is left empty.
// Folders shared by all users are not touched.
void RemoveShortcuts();

}  // namespace CreateShortCut
