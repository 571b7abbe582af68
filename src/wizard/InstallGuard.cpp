#include "wizard/InstallGuard.h"

#include <windows.h>

#include <vector>

#include "fs/FinalPath.h"
#include "fs/TrustedWay.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace ta {
namespace {

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "X:\..." with a slash after the colon.
bool IsDrivePath(const std::wstring& path) {
    return path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSlash(path[2]);
}

// "\\server\share..." but not the device namespaces "\\.\" and "\\?\".
bool IsSharePath(const std::wstring& path) {
    return path.size() > 2 && IsSlash(path[0]) && IsSlash(path[1]) && path[2] != L'.' && path[2] != L'?' &&
           !IsSlash(path[2]);
}

// True for "X:\" and for "\\server\share" with or without its trailing slash.
bool IsRoot(const std::wstring& full) {
    if (IsDrivePath(full)) return full.size() == 3;
    size_t slashes = 0;
    for (size_t i = 2; i < full.size(); ++i)
        if (IsSlash(full[i]) && i + 1 < full.size()) ++slashes;
    return slashes < 2;  // "\\server\share\sub" has two separators after the leading pair
}

}  // namespace

std::optional<std::wstring> GuardedInstallPath(const std::wstring& path) {
    if (path.empty() || path == L"Error") return std::nullopt;
    const std::wstring plain = WithoutLongPathPrefix(path);
    if (!IsDrivePath(plain) && !IsSharePath(plain)) return std::nullopt;
    std::wstring full = FullPathName(plain);
    // Trailing separators say nothing about the folder; "C:\Tarnil\" is "C:\Tarnil".
    while (full.size() > 3 && IsSlash(full.back())) full.pop_back();
    if (full.empty() || IsRoot(full)) return std::nullopt;
    if (ToLower(full).find(L"tarnil") == std::wstring::npos) return std::nullopt;
    return full;
}

bool InstallPathPassesGuard(const std::wstring& path) { return GuardedInstallPath(path).has_value(); }

std::optional<std::wstring> FollowedInstallFolder(const std::wstring& guarded, std::wstring& why) {
    const std::wstring named = NormalisedPath(guarded);
    const FileHandle itself = OpenFolderItself(LongPathForm(named), FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    BY_HANDLE_FILE_INFORMATION information{};
    // Missing, or itself a link: the walk says so, as it always did.
    if (!itself || !::GetFileInformationByHandle(itself.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return named;
    DWORD error = 0;
    const std::wstring final = WithoutLongPathPrefix(FinalPathOf(itself.get(), error));
    if (final.empty() || SameNameNoCase(final, named)) return named;
    const WayCheck way = CheckLinkedWayIsTrusted(named, final);
    if (way.trusted) return final;
    why = L"it is reached through a link, and " + way.folder + L": " + way.why;
    return std::nullopt;
}

}  // namespace ta
