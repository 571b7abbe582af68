#include "removal/FileRemoval.h"

#include <vector>

#include "platform/Handles.h"

namespace ta {
namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";

bool StartsWith(const std::wstring& text, const wchar_t* head) { return text.rfind(head, 0) == 0; }

// Where an open handle lies on its volume ("\a\b\name"); empty when the system cannot tell. The
// file system answers this itself, with no trip to the volume's mount point as a full path
// would need, so it is cheap enough for every file.
std::wstring NameOnVolume(HANDLE handle) {
    std::vector<BYTE> buffer(sizeof(FILE_NAME_INFO) + MAX_PATH * sizeof(wchar_t));
    for (;;) {
        auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
        if (::GetFileInformationByHandleEx(handle, FileNameInfo, info, static_cast<DWORD>(buffer.size()))) {
            return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
        }
        if (::GetLastError() != ERROR_MORE_DATA || buffer.size() > 0x20000) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool SamePathNoCase(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

Deletion FromStatus(DWORD status) {
    if (status == ERROR_SUCCESS) return {Outcome::Removed};
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return {Outcome::Absent, status};
    return {Outcome::Failed, status};
}

}  // namespace

void RecordDeletion(ItemKind kind, const std::wstring& item, const Deletion& deletion) {
    Record(kind, item, deletion.outcome, deletion.outcome == Outcome::Failed ? deletion.error : 0, deletion.keptBy);
}

std::wstring LongPathForm(const std::wstring& path) {
    if (path.empty() || StartsWith(path, kLongPrefix) || StartsWith(path, L"\\\\.\\")) return path;
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return path;
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (StartsWith(full, L"\\\\")) return std::wstring(kLongPrefix) + L"UNC\\" + full.substr(2);
    return kLongPrefix + full;
}

std::wstring FolderNameOnVolume(const std::wstring& longFolder) {
    FileHandle folder(::CreateFileW(longFolder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return {};
    return NameOnVolume(folder.get());
}

Deletion DeleteFileInFolder(const std::wstring& longPath, const std::wstring& folderName, const std::wstring& name) {
    // Opened as the entry itself: without backup semantics a folder does not open, and a link
    // that the system knows as one opens as the link.
    FileHandle file(::CreateFileW(longPath.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return FromStatus(::GetLastError());
    // A link the system opened through (a Unix link under Wine looks like a plain file) shows
    // as a name outside the folder; deleting through the handle would delete the target.
    if (!folderName.empty()) {
        const std::wstring fileName = NameOnVolume(file.get());
        std::wstring expected = folderName;
        if (expected.empty() || expected.back() != L'\\') expected += L'\\';
        expected += name;
        if (!fileName.empty() && !SamePathNoCase(fileName, expected)) return {Outcome::Kept, 0, KeptBy::Link};
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition))
        return FromStatus(::GetLastError());
    return {Outcome::Removed};
}

Deletion DeleteFileItself(const std::wstring& path) {
    const std::wstring longPath = LongPathForm(path);
    const size_t slash = longPath.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == longPath.size()) return {Outcome::Failed, ERROR_INVALID_NAME};
    const std::wstring folder = longPath.substr(0, slash + 1);
    return DeleteFileInFolder(longPath, FolderNameOnVolume(folder), longPath.substr(slash + 1));
}

Deletion RemoveEmptyFolder(const std::wstring& path) {
    if (path.empty()) return {Outcome::Failed, ERROR_INVALID_NAME};
    if (::RemoveDirectoryW(LongPathForm(path).c_str())) return {Outcome::Removed};
    return FromStatus(::GetLastError());
}

}  // namespace ta
