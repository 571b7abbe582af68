#pragma once
// The product's shortcuts: the current user's startup folder, desktop and program group.
namespace CreateShortCut {

// Deletes the product's shortcuts of the current user and its program group folder when empty.
void RemoveShortcuts();

}  // namespace CreateShortCut
