#pragma once
// The product's shortcuts: the startup folder, desktop and program group of the current user and
// of every other person with a profile on the machine.

#include "record/Step.h"

namespace CreateShortCut {

inline constexpr ta::Step kRemoveShortcutsStep{L"RemoveShortcuts", ta::Footprint::Items};

// Deletes the product's shortcuts from the current user's startup folder, desktop and program
// group, each only when it is an ordinary file, then the group folder when that is left empty;
// then the same for every other person's profile, found through that person's own hive. Folders
// shared by all users are not touched.
void RemoveShortcuts();

}  // namespace CreateShortCut
