#pragma once
// Deletes a registry key with everything below it by walking the tree itself.
#include <windows.h>

#include <string>
#include <vector>

namespace mRegistery {

// Names of the key's immediate subkeys in enumeration order; empty when it cannot be opened.
// Registry links are left out: the walk never follows one.
std::vector<std::wstring> EnumSubKeys(HKEY root, const std::wstring& keyPath);
// The key itself, then every descendant breadth first, each after its parent.
std::vector<std::wstring> CollectKeyTree(HKEY root, const std::wstring& keyPath);
// Deletes one key; the outcome goes to the removal record.
void DeleteRegKey(HKEY root, const std::wstring& keyPath);
// Deletes the whole tree, the list built completely first and walked from its last entry back.
// A registry link inside it is deleted as a link, never followed: what it points at stays.
// Answers whether the key is gone (or was never there).
bool DeleteKeyTree(HKEY root, const std::wstring& keyPath);

}  // namespace mRegistery
