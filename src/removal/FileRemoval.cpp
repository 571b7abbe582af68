#include "removal/FileRemoval.h"

#include "platform/Handles.h"

namespace ta {
namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";

bool StartsWith(const std::wstring& text, const wchar_t* head) { return text.rfind(head, 0) == 0; }

// The final path of an open handle ("\\?\C:\..."); empty when the system cannot tell. Of the
// ways to ask, this one measured cheapest under Wine (volume-relative names from the file's
// name information cost more per file than the full path does).
std::wstring FinalPathOf(HANDLE handle) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length);
    }
}

bool SamePathNoCase(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

Deletion FromStatus(DWORD status) {
    if (status == ERROR_SUCCESS) return {Outcome::Removed};
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return {Outcome::Absent, status};
    // A folder that still holds something: what it holds is recorded on its own.
    if (status == ERROR_DIR_NOT_EMPTY) return {Outcome::Kept, status, KeptBy::Foreign};
    return {Outcome::Failed, status};
}

}  // namespace

void RecordDeletion(ItemKind kind, const std::wstring& item, const Deletion& deletion) {
    const bool saysWhy = deletion.outcome == Outcome::Failed || deletion.outcome == Outcome::Kept;
    Record(kind, item, deletion.outcome, saysWhy ? deletion.error : 0, deletion.keptBy);
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

std::wstring FinalFolderPath(const std::wstring& longFolder) {
    FileHandle folder(::CreateFileW(longFolder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return {};
    return FinalPathOf(folder.get());
}

Deletion DeleteFileInFolder(const std::wstring& longPath, const std::wstring& folderFinal, const std::wstring& name,
                            bool clearReadOnly) {
    // Opened as the entry itself: without backup semantics a folder does not open, and a link
    // that the system knows as one opens as the link.
    const auto open = [&](DWORD access) {
        return FileHandle(::CreateFileW(longPath.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    };
    FileHandle file = open(DELETE | FILE_READ_ATTRIBUTES | (clearReadOnly ? FILE_WRITE_ATTRIBUTES : 0));
    if (!file && clearReadOnly && ::GetLastError() == ERROR_ACCESS_DENIED) file = open(DELETE | FILE_READ_ATTRIBUTES);
    if (!file) return FromStatus(::GetLastError());
    // A link the system opened through (a Unix link under Wine looks like a plain file) shows
    // as a name outside the folder; deleting through the handle would delete the target.
    if (!folderFinal.empty()) {
        const std::wstring fileFinal = FinalPathOf(file.get());
        std::wstring expected = folderFinal;
        if (expected.back() != L'\\') expected += L'\\';
        expected += name;
        if (!fileFinal.empty() && !SamePathNoCase(fileFinal, expected)) return {Outcome::Kept, 0, KeptBy::Link};
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition))
        return {Outcome::Removed};
    const DWORD refused = ::GetLastError();
    FILE_BASIC_INFO basic{};
    if (!clearReadOnly || refused != ERROR_ACCESS_DENIED ||
        !::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return FromStatus(refused);
    // The attribute only guards the file against deletion; it is ours and goes.
    FILE_BASIC_INFO writable = basic;
    writable.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (writable.FileAttributes == 0) writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(file.get(), FileBasicInfo, &writable, sizeof writable)) return FromStatus(refused);
    if (::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition))
        return {Outcome::Removed};
    const DWORD stillRefused = ::GetLastError();
    ::SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
    return FromStatus(stillRefused);
}

Deletion DeleteFileItself(const std::wstring& path, bool clearReadOnly) {
    const std::wstring longPath = LongPathForm(path);
    const size_t slash = longPath.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == longPath.size()) return {Outcome::Failed, ERROR_INVALID_NAME};
    const std::wstring folder = longPath.substr(0, slash + 1);
    return DeleteFileInFolder(longPath, FinalFolderPath(folder), longPath.substr(slash + 1), clearReadOnly);
}

Deletion RemoveEmptyFolder(const std::wstring& path) {
    std::wstring folder = LongPathForm(path);
    // With a trailing "\" the name would be looked up through a link, not as the link.
    while (folder.size() > 7 && folder.back() == L'\\') folder.pop_back();
    if (folder.empty()) return {Outcome::Failed, ERROR_INVALID_NAME};
    // A link in the folder's place leads to somebody else's folder; under Wine removing it would
    // remove that folder and leave the link.
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FromStatus(::GetLastError());
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return {Outcome::Kept, 0, KeptBy::Link};
    if (::RemoveDirectoryW(folder.c_str())) return {Outcome::Removed};
    return FromStatus(::GetLastError());
}

}  // namespace ta
