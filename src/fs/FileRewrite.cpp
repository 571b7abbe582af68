#include "fs/FileRewrite.h"

#include <winternl.h>

#include <optional>

#include "fs/FinalPath.h"
#include "fs/PrivateFolder.h"
#include "record/RemovalRecord.h"

namespace ta {
namespace {

Rewrite RefusedAs(std::wstring why, DWORD error = 0) { return {Rewrite::Refused, error, std::move(why)}; }
Rewrite FailedWith(DWORD error) { return {Rewrite::Failed, error, {}}; }

FileHandle Open(const std::wstring& longPath, DWORD access, DWORD disposition) {
    return FileHandle(::CreateFileW(longPath.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Why the open file may not be written, if it may not.
std::optional<Rewrite> RefusalOf(HANDLE file, const std::wstring& longPath) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info))
        return RefusedAs(L"a file that cannot be examined", ::GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return RefusedAs(L"a link (reparse point)");
    const size_t slash = longPath.find_last_of(L'\\');
    const EntryCheck entry =
        CheckEntry(file, FinalFolderPath(longPath.substr(0, slash + 1)), longPath.substr(slash + 1));
    if (entry.is == EntryIs::Unknown) return RefusedAs(L"a name whose final path cannot be read", entry.error);
    if (entry.is == EntryIs::Elsewhere) {
        DWORD error = 0;
        return RefusedAs(L"a link to " + FinalPathOf(file, error));
    }
    if (info.nNumberOfLinks > 1)
        return RefusedAs(L"a file with " + std::to_wstring(info.nNumberOfLinks) + L" names (hard links)");
    return std::nullopt;
}

// The first folder from the volume's root down to folder (a long form) that is not a real folder,
// with why; empty when every one is.
std::optional<Rewrite> LinkOnTheWay(const std::wstring& folder) {
    const std::wstring plain = WithoutLongPathPrefix(folder);
    const std::wstring volume = VolumeOf(plain);
    if (volume.empty()) return RefusedAs(L"a path on no volume this program can tell", ::GetLastError());
    for (size_t end = volume.size(); end < plain.size();) {
        const size_t next = plain.find(L'\\', end);
        const std::wstring step = plain.substr(0, next == std::wstring::npos ? plain.size() : next);
        end = next == std::wstring::npos ? plain.size() : next + 1;
        if (step.size() < volume.size()) continue;
        const DWORD attributes = ::GetFileAttributesW(LongPathForm(step).c_str());
        // What is missing or no folder, opening the folder says in its own words.
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RefusedAs(L"a path through a link: " + step);
    }
    return std::nullopt;
}

// The file name in the open folder, made (create) or opened, as the file itself.
FileHandle OpenInFolder(HANDLE folder, const std::wstring& name, bool create, DWORD& error) {
    using NtCreateFileFn = decltype(&::NtCreateFile);
    using ToDosErrorFn = ULONG(NTAPI*)(NTSTATUS);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto ntCreateFile = reinterpret_cast<NtCreateFileFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtCreateFile")));
    const auto toDosError =
        reinterpret_cast<ToDosErrorFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    if (!ntCreateFile || !toDosError) {
        error = ERROR_PROC_NOT_FOUND;
        return {};
    }
    UNICODE_STRING objectName{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                              static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(name.c_str())};
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.RootDirectory = folder;
    attributes.ObjectName = &objectName;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    IO_STATUS_BLOCK io{};
    HANDLE file = nullptr;
    // Only to be looked at, and deleted should it be refused; the writing goes through a handle
    // opened again from this one (OpenForRewrite), which needs it to share writing meanwhile.
    const NTSTATUS status = ntCreateFile(
        &file, FILE_READ_ATTRIBUTES | DELETE | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
        FILE_SHARE_READ | FILE_SHARE_WRITE, create ? FILE_CREATE : FILE_OPEN,
        FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (status < 0) {
        error = toDosError(status);
        return {};
    }
    return FileHandle(file);
}

}  // namespace

OpenedRewrite OpenForRewrite(const std::wstring& path, RewriteRules rules) {
    const std::wstring longPath = LongPathForm(path);
    const size_t slash = longPath.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == longPath.size()) return {FailedWith(ERROR_INVALID_NAME), {}};
    const std::wstring folderPath = longPath.substr(0, slash + 1), name = longPath.substr(slash + 1);
    if (rules.realFolders)
        if (auto refusal = LinkOnTheWay(folderPath)) return {*refusal, {}};
    // The folder as itself, held so that it can be neither renamed nor removed while its file is
    // made or opened by name in it.
    std::wstring folderItself = folderPath;
    while (folderItself.size() > 7 && folderItself.back() == L'\\') folderItself.pop_back();
    const FileHandle folder =
        OpenFolderItself(folderItself, FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!folder) {
        // The folder of the path is what is missing.
        const DWORD error = ::GetLastError();
        return {FailedWith(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error), {}};
    }
    if (rules.realFolders) {
        const EntryCheck itself = CheckFolder(folder.get(), LongPathForm(NormalisedPath(WithoutLongPathPrefix(folderItself))));
        if (itself.is == EntryIs::Elsewhere) return {RefusedAs(L"a path through a link: " + WithoutLongPathPrefix(folderItself)), {}};
        if (itself.is == EntryIs::Unknown) return {RefusedAs(L"a folder whose final path cannot be read", itself.error), {}};
    }
    DWORD error = 0;
    bool made = false;
    FileHandle file = OpenInFolder(folder.get(), name, false, error);
    if (!file && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
        // Made only where nothing has the name: a link that leads nowhere is not followed to
        // make its target.
        file = OpenInFolder(folder.get(), name, true, error);
        if (!file && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS))
            return {RefusedAs(L"a link that leads nowhere"), {}};
        made = static_cast<bool>(file);
    }
    if (!file) {
        // What keeps the file from being written may still be a link: that is then what to say.
        FileHandle look = Open(longPath, FILE_READ_ATTRIBUTES, OPEN_EXISTING);
        if (look)
            if (auto refusal = RefusalOf(look.get(), longPath)) return {*refusal, {}};
        return {FailedWith(error), {}};
    }
    if (auto refusal = RefusalOf(file.get(), longPath)) {
        // A file this call made is not left behind: it goes through its own handle, which is the
        // file itself whatever its name leads to.
        if (made) {
            FILE_DISPOSITION_INFO disposition{TRUE};
            ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition);
        }
        return {*refusal, {}};
    }
    // The file that was checked, opened again through its own handle (never by its name) to be
    // written; the handle that may delete it was for a refusal only.
    FileHandle written(::ReOpenFile(file.get(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_DELETE, 0));
    if (!written) return {FailedWith(::GetLastError()), {}};
    file = std::move(written);
    // Emptied only now, through the handle that was checked.
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.get()))
        return {FailedWith(::GetLastError()), {}};
    return {{Rewrite::Written, 0, {}}, std::move(file)};
}

DWORD WriteAll(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return ::GetLastError();
    return written == bytes.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

Rewrite RewriteFile(const std::wstring& path, std::string_view bytes) {
    OpenedRewrite opened = OpenForRewrite(path);
    if (opened.rewrite.result != Rewrite::Written) return opened.rewrite;
    if (const DWORD error = WriteAll(opened.file.get(), bytes); error != ERROR_SUCCESS) return FailedWith(error);
    return opened.rewrite;
}

void RecordRefusedRewrite(const Step& step, const std::wstring& path, const Rewrite& rewrite) {
    const RemovalRecord* record = CurrentRecord();
    if (!record) return;
    if (const auto said = record->Find(path); said && said->outcome == Outcome::Kept) return;
    StepScope scope(step);
    Record(ItemKind::File, path, Outcome::Kept, rewrite.error, KeptBy::Link, L"not written: " + rewrite.why);
}

}  // namespace ta
