#include "fs/FileRemoval.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "fs/RestartDeletions.h"
#include "fs/TrustedWay.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace ta {
namespace {

Deletion FromStatus(DWORD status) {
    if (status == ERROR_SUCCESS) return {Outcome::Removed};
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return {Outcome::Absent, status};
    // A folder that still holds something: what it holds is recorded on its own.
    if (status == ERROR_DIR_NOT_EMPTY) return {Outcome::Kept, status, KeptBy::Foreign};
    return {Outcome::Failed, status};
}

// Errors that mean another program has the file open without sharing its deletion, or locked.
bool IsHeldOpen(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// The same for the deletion of a file we could open: a running program or a loaded module
// answers "access denied" (its image is mapped), a mapped view "user-mapped file".
bool IsHeldMapped(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_USER_MAPPED_FILE; }

// A handle that is not the folder's entry name itself is not deleted through: a link leads to
// something that is not ours, and a name whose final path cannot be read might.
std::optional<Deletion> RefusalOf(HANDLE file, const std::wstring& folderFinal, const std::wstring& name) {
    const EntryCheck entry = CheckEntry(file, folderFinal, name);
    if (entry.is == EntryIs::Itself) return std::nullopt;
    if (entry.is == EntryIs::Elsewhere) return Deletion{Outcome::Kept, 0, KeptBy::Link};
    return Deletion{Outcome::Failed, entry.error};
}

// Deletes the open file through its handle; answers ERROR_SUCCESS or why the system refused.
DWORD DisposeOf(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) ? ERROR_SUCCESS
                                                                                                     : ::GetLastError();
}

bool IsReadOnly(HANDLE file) {
    FILE_BASIC_INFO basic{};
    return ::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) &&
           (basic.FileAttributes & FILE_ATTRIBUTE_READONLY);
}

// What became of an open file's read-only attribute.
struct ReadOnlyDrop {
    enum class Result {
        NothingToDrop,  // it did not have it (or was not asked to lose it)
        Dropped,        // it had it and lost it: put back what was before should the file stay
        Refused,        // the system refused; error says why
    };
    Result result = Result::NothingToDrop;
    DWORD error = ERROR_SUCCESS;
};

// Takes the read-only attribute off the open file; before holds what it had.
ReadOnlyDrop DropReadOnly(HANDLE file, FILE_BASIC_INFO& before) {
    using Result = ReadOnlyDrop::Result;
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &before, sizeof before)) return {Result::Refused, ::GetLastError()};
    if (!(before.FileAttributes & FILE_ATTRIBUTE_READONLY)) return {Result::NothingToDrop};
    FILE_BASIC_INFO writable = before;
    writable.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (writable.FileAttributes == 0) writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(file, FileBasicInfo, &writable, sizeof writable)) return {Result::Refused, ::GetLastError()};
    return {Result::Dropped};
}

std::wstring AttributeStayed(DWORD refused) {
    return L"the read-only attribute could not be cleared: " + StatusText(ErrorKind::Win32, refused);
}

// The attribute only guards the file against deletion: the deletion again without it. When
// the file stays all the same, it gets its attribute back. Where the attribute stays, why says so.
DWORD DisposeOfReadOnly(HANDLE file, std::wstring& why) {
    FILE_BASIC_INFO before{};
    const ReadOnlyDrop drop = DropReadOnly(file, before);
    if (drop.result == ReadOnlyDrop::Result::Refused) {
        why = AttributeStayed(drop.error);
        return ERROR_ACCESS_DENIED;
    }
    // Somebody else may have taken the attribute off meanwhile: the deletion again all the same.
    const DWORD refused = DisposeOf(file);
    if (refused != ERROR_SUCCESS && drop.result == ReadOnlyDrop::Result::Dropped)
        ::SetFileInformationByHandle(file, FileBasicInfo, &before, sizeof before);
    return refused;
}

// A file another program holds goes at the restart, from a private folder it is moved into
// first (MoveAsideForRestart). The restart deletes no read-only file, so with clearReadOnly the
// attribute goes first (and comes back should the file not be taken).
Deletion FileAtRestart(HANDLE file, DWORD refused, bool clearReadOnly) {
    FILE_BASIC_INFO before{};
    const ReadOnlyDrop drop = clearReadOnly ? DropReadOnly(file, before) : ReadOnlyDrop{};
    const RestartMove move = MoveAsideForRestart(file);
    if (move.error == ERROR_SUCCESS) {
        Deletion deletion{Outcome::PendingRestart, refused};
        deletion.detail = L"moved to " + move.movedTo + L" for the restart";
        // A read-only file the restart would pass over.
        if (drop.result == ReadOnlyDrop::Result::Refused) deletion.detail += L"; " + AttributeStayed(drop.error);
        return deletion;
    }
    if (drop.result == ReadOnlyDrop::Result::Dropped) ::SetFileInformationByHandle(file, FileBasicInfo, &before, sizeof before);
    Deletion deletion = FromStatus(refused);
    deletion.detail = (move.moved ? L"the restart refused it too: " : L"it could not be moved out of its folder for the restart: ") +
                      StatusText(ErrorKind::Win32, move.error);
    if (!move.movedTo.empty()) deletion.detail += L"; it stays in " + move.movedTo;
    return deletion;
}

// A file another program keeps open without sharing its deletion cannot be moved out of its folder.
// It is left for the restart by its own name only where nobody but the trusted can change the
// folders on its way: elsewhere somebody could put a link there meanwhile, and the restart, carried
// out as the system, would delete whatever the link leads to. As for a file moved aside, the
// read-only attribute goes first with clearReadOnly (file then has FILE_WRITE_ATTRIBUTES if the
// system allowed it).
Deletion HeldOpenFile(HANDLE file, const std::wstring& longPath, DWORD refused, bool clearReadOnly) {
    const auto keptInUse = [&](std::wstring why) {
        return Deletion{Outcome::Kept, refused, KeptBy::InUse, L"another program holds it open, " + why};
    };
    const WayCheck way = CheckWayIsTrusted(longPath.substr(0, longPath.find_last_of(L'\\') + 1));
    if (!way.trusted)
        return keptInUse(L"and it is not left for the restart where it is: " + way.folder + L": " + way.why);
    FILE_BASIC_INFO before{};
    const ReadOnlyDrop drop = clearReadOnly ? DropReadOnly(file, before) : ReadOnlyDrop{};
    const DWORD scheduled = ScheduleDeletionAtRestart(longPath);
    if (scheduled == ERROR_SUCCESS) {
        Deletion deletion{Outcome::PendingRestart, refused};
        deletion.detail = L"another program holds it open: it goes at the restart where it is, since only the trusted "
                          L"may change the folders on its way";
        if (drop.result == ReadOnlyDrop::Result::Refused) deletion.detail += L"; " + AttributeStayed(drop.error);
        return deletion;
    }
    if (drop.result == ReadOnlyDrop::Result::Dropped) ::SetFileInformationByHandle(file, FileBasicInfo, &before, sizeof before);
    return keptInUse(L"and the restart refused it: " + StatusText(ErrorKind::Win32, scheduled));
}

// Whether everything still in the folder (longFolder, without a trailing "\\") waits for its
// deletion at the restart.
bool HoldsOnlyWhatWaitsForRestart(const std::wstring& longFolder) {
    const std::vector<std::wstring> pending = DeletionsPendingRestart();
    const std::wstring folder = WithoutLongPathPrefix(longFolder) + L"\\";
    WIN32_FIND_DATAW entry;
    FindHandle search(::FindFirstFileExW((longFolder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                         nullptr, 0));
    if (!search) return false;
    bool held = false;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool waits = std::any_of(pending.begin(), pending.end(),
                                       [&](const std::wstring& path) { return SameNameNoCase(path, folder + name); });
        if (!waits) return false;
        held = true;
    } while (::FindNextFileW(search.get(), &entry));
    return held && ::GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

void RecordDeletion(ItemKind kind, const std::wstring& item, const Deletion& deletion) {
    const bool saysWhy = deletion.outcome == Outcome::Failed || deletion.outcome == Outcome::Kept ||
                         deletion.outcome == Outcome::PendingRestart;
    Record(kind, item, deletion.outcome, saysWhy ? deletion.error : 0, deletion.keptBy, deletion.detail);
}

Deletion DeleteFileInFolder(const std::wstring& longPath, const std::wstring& folderFinal, const std::wstring& name,
                            FileRules rules) {
    // Opened as the entry itself: without backup semantics a folder does not open, and a link
    // that the system knows as one opens as the link.
    const auto open = [&](DWORD access) {
        return FileHandle(::CreateFileW(longPath.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    };
    // With clearReadOnly, also able to change the attributes where the system allows it.
    const auto openForRules = [&](DWORD access) {
        if (!rules.clearReadOnly) return open(access);
        FileHandle handle = open(access | FILE_WRITE_ATTRIBUTES);
        if (!handle && ::GetLastError() == ERROR_ACCESS_DENIED) handle = open(access);
        return handle;
    };
    FileHandle file = openForRules(DELETE | FILE_READ_ATTRIBUTES);
    if (!file) {
        const DWORD refused = ::GetLastError();
        if (!rules.laterWhenHeld || !IsHeldOpen(refused)) return FromStatus(refused);
        // Whoever holds the file does not keep us from its name: a link in its place stays a link.
        FileHandle attributesOnly = openForRules(FILE_READ_ATTRIBUTES);
        if (!attributesOnly) return FromStatus(refused);
        if (const auto refusal = RefusalOf(attributesOnly.get(), folderFinal, name)) return *refusal;
        return HeldOpenFile(attributesOnly.get(), longPath, refused, rules.clearReadOnly);
    }
    // Deleting through the handle of a link would delete the target.
    if (const auto refusal = RefusalOf(file.get(), folderFinal, name)) return *refusal;
    DWORD refused = DisposeOf(file.get());
    if (refused == ERROR_ACCESS_DENIED && IsReadOnly(file.get())) {
        if (!rules.clearReadOnly) return FromStatus(refused);  // somebody wants it kept
        std::wstring why;
        refused = DisposeOfReadOnly(file.get(), why);
        if (!why.empty()) {
            Deletion deletion = FromStatus(refused);
            deletion.detail = why;
            return deletion;
        }
    }
    if (refused == ERROR_SUCCESS) return {Outcome::Removed};
    if (!rules.laterWhenHeld || !IsHeldMapped(refused)) return FromStatus(refused);
    return FileAtRestart(file.get(), refused, rules.clearReadOnly);
}

Deletion DeleteFileItself(const std::wstring& path, FileRules rules) {
    const std::wstring longPath = LongPathForm(path);
    const size_t slash = longPath.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == longPath.size()) return {Outcome::Failed, ERROR_INVALID_NAME};
    const std::wstring folder = longPath.substr(0, slash + 1);
    return DeleteFileInFolder(longPath, FinalFolderPath(folder), longPath.substr(slash + 1), rules);
}

Deletion RemoveEmptyFolder(const std::wstring& path) {
    std::wstring folder = LongPathForm(path);
    // With a trailing "\" the name would be looked up through a link, not as the link.
    while (folder.size() > 7 && folder.back() == L'\\') folder.pop_back();
    if (folder.empty()) return {Outcome::Failed, ERROR_INVALID_NAME};
    // Opened as itself, and removed through that very handle once it is known to be the folder
    // the path names: a link in its place, or on the way to it, leads to somebody else's folder,
    // which stays (under Wine, removing a link to a folder would remove that folder).
    FileHandle handle = OpenFolderItself(folder, DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!handle) return FromStatus(::GetLastError());
    const EntryCheck itself = CheckFolder(handle.get(), NormalisedPath(WithoutLongPathPrefix(folder)));
    if (itself.is == EntryIs::Elsewhere) return {Outcome::Kept, 0, KeptBy::Link};
    if (itself.is == EntryIs::Unknown) return FromStatus(itself.error);
    // A held file in it has been moved out for the restart; the folder itself goes now.
    return FromStatus(DisposeOf(handle.get()));
}

Deletion RemoveEmptyFolderNowOrAtRestart(const std::wstring& path) {
    Deletion now = RemoveEmptyFolder(path);
    if (now.outcome != Outcome::Kept || now.error != ERROR_DIR_NOT_EMPTY) return now;
    std::wstring folder = LongPathForm(path);
    while (folder.size() > 7 && folder.back() == L'\\') folder.pop_back();
    if (!HoldsOnlyWhatWaitsForRestart(folder)) return now;
    // What it holds goes at the restart by its own path, so its way was trusted then; it is again
    // looked at, as the folder is left by its own path too.
    const WayCheck way = CheckWayIsTrusted(folder);
    if (!way.trusted) {
        now.detail = L"what it holds goes at the restart, but it is not left for the restart itself: " + way.folder +
                     L": " + way.why;
        return now;
    }
    if (const DWORD scheduled = ScheduleDeletionAtRestart(folder); scheduled != ERROR_SUCCESS) {
        now.detail = L"what it holds goes at the restart, but the restart refused the folder: " +
                     StatusText(ErrorKind::Win32, scheduled);
        return now;
    }
    return {Outcome::PendingRestart, ERROR_DIR_NOT_EMPTY, KeptBy::None, L"it goes at the restart, after what it holds"};
}

}  // namespace ta
