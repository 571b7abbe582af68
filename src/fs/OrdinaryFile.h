#pragma once
// Whether a path names an ordinary file: one that exists and is neither hidden, nor a system
// file, nor a folder. Read-only and archived files count. The removal steps test this before
// they act on a file, so a hidden or system file is treated as absent.
#include <string>

namespace ta {

bool IsOrdinaryFile(const std::wstring& path);

}  // namespace ta
