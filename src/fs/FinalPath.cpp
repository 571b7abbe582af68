#include "fs/FinalPath.h"

#include <atomic>
#include <vector>

#include "platform/Handles.h"
#include "platform/Text.h"

namespace ta {
namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";

bool StartsWith(const std::wstring& text, const wchar_t* head) { return text.rfind(head, 0) == 0; }

// The drive whose volume has the serial number ("C:"); empty when no drive has it.
std::wstring DriveOfVolume(DWORD serial) {
    // An empty removable drive is passed over without the system asking for a disk.
    DWORD previousMode = 0;
    const bool quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    std::wstring found;
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'C'; letter <= L'Z' && found.empty(); ++letter) {
        if (!(drives & (1u << (letter - L'A')))) continue;
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        DWORD driveSerial = 0;
        if (::GetVolumeInformationW(root, nullptr, 0, &driveSerial, nullptr, nullptr, nullptr, 0) &&
            driveSerial == serial)
            found = std::wstring(root, 2);
    }
    if (quiet) ::SetThreadErrorMode(previousMode, nullptr);
    return found;
}

// The final path put together from the name within the volume and the drive of the volume.
// Wine cannot give the whole final path once it is longer than about MAX_PATH (ERROR_MORE_DATA
// whatever the buffer), but it gives these.
std::wstring FinalPathFromVolume(HANDLE handle, DWORD& error) {
    std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t)) / sizeof(DWORD) + 1);
    auto* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandleEx(handle, FileNameInfo, name, static_cast<DWORD>(buffer.size() * sizeof(DWORD))) ||
        !::GetFileInformationByHandle(handle, &info)) {
        error = ::GetLastError();
        return {};
    }
    const std::wstring drive = DriveOfVolume(info.dwVolumeSerialNumber);
    if (drive.empty()) {
        error = ERROR_CANT_RESOLVE_FILENAME;
        return {};
    }
    return kLongPrefix + drive + std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
}

// Of the ways to ask, the full path measured cheapest under Wine (the name information costs
// more per file); the other way serves where it gives no answer.
std::wstring SystemFinalPath(HANDLE handle, DWORD& error) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) break;
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length);
    }
    return FinalPathFromVolume(handle, error);
}

std::atomic<FinalPathQuery> finalPathQuery{&SystemFinalPath};

}  // namespace

std::wstring WithoutLongPathPrefix(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) != 0) return path;
    std::wstring rest = path.substr(4);
    if (rest.size() >= 4 && EndsWithNoCase(rest.substr(0, 4), L"UNC\\")) return L"\\\\" + rest.substr(4);
    return rest;
}

std::wstring FullPathName(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

std::wstring NormalisedPath(const std::wstring& path) {
    const std::wstring full = FullPathName(WithoutLongPathPrefix(path));
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetLongPathNameW(full.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return full;
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

bool LiesInside(const std::wstring& path, const std::wstring& folder) {
    const auto isSlash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    std::wstring base = folder;
    while (!base.empty() && isSlash(base.back())) base.pop_back();
    if (base.empty() || path.size() < base.size()) return false;
    if (!SameNameNoCase(std::wstring_view(path).substr(0, base.size()), base)) return false;
    return path.size() == base.size() || isSlash(path[base.size()]);
}

std::wstring LongPathForm(const std::wstring& path) {
    if (path.empty() || StartsWith(path, kLongPrefix) || StartsWith(path, L"\\\\.\\")) return path;
    const std::wstring full = FullPathName(path);
    if (full.empty()) return path;
    if (StartsWith(full, L"\\\\")) return std::wstring(kLongPrefix) + L"UNC\\" + full.substr(2);
    return kLongPrefix + full;
}

std::wstring FinalPathOf(HANDLE handle, DWORD& error) {
    error = 0;
    std::wstring path = finalPathQuery.load()(handle, error);
    if (path.empty() && error == 0) error = ERROR_CANT_RESOLVE_FILENAME;
    return path;
}

std::wstring FinalFolderPath(const std::wstring& longFolder) {
    FileHandle folder(::CreateFileW(longFolder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return {};
    DWORD error = 0;
    return FinalPathOf(folder.get(), error);
}

EntryCheck CheckEntry(HANDLE file, const std::wstring& folderFinal, const std::wstring& name) {
    if (folderFinal.empty()) return {EntryIs::Unknown, ERROR_CANT_RESOLVE_FILENAME};
    DWORD error = 0;
    const std::wstring fileFinal = FinalPathOf(file, error);
    if (fileFinal.empty()) return {EntryIs::Unknown, error};
    std::wstring expected = folderFinal;
    if (expected.back() != L'\\') expected += L'\\';
    expected += name;
    return {SameNameNoCase(fileFinal, expected) ? EntryIs::Itself : EntryIs::Elsewhere};
}

FileHandle OpenFolderItself(const std::wstring& path, DWORD access, DWORD share) {
    return FileHandle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

EntryCheck CheckFolder(HANDLE folder, const std::wstring& expectedFinal) {
    if (expectedFinal.empty()) return {EntryIs::Unknown, ERROR_CANT_RESOLVE_FILENAME};
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(folder, &information)) return {EntryIs::Unknown, ::GetLastError()};
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return {EntryIs::Elsewhere};
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return {EntryIs::Unknown, ERROR_DIRECTORY};
    DWORD error = 0;
    const std::wstring final = FinalPathOf(folder, error);
    if (final.empty()) return {EntryIs::Unknown, error};
    const auto plain = [](const std::wstring& path) {
        std::wstring form = WithoutLongPathPrefix(path);
        while (form.size() > 3 && form.back() == L'\\') form.pop_back();
        return form;
    };
    return {SameNameNoCase(plain(final), plain(expectedFinal)) ? EntryIs::Itself : EntryIs::Elsewhere};
}

FinalPathQuery SetFinalPathQuery(FinalPathQuery query) noexcept {
    return finalPathQuery.exchange(query ? query : &SystemFinalPath);
}

}  // namespace ta
