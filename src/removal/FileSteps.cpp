// The progress page's file steps: everything below the install folder, the folder itself, and
// the product's files in the system folder. Every failure is passed over; nothing is retried.
#include <windows.h>

#include <atomic>
#include <cwchar>
#include <cstdint>
#include <limits>
#include <vector>

#include "fs/FileRemoval.h"
#include "fs/OrdinaryFile.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "record/ContinueOnError.h"
#include "removal/DeletionPool.h"
#include "removal/RemovalSteps.h"

namespace ta {
namespace {

// Known subfolders of the install folder, innermost first; the folder itself follows them.
const wchar_t* const kInstallSubfolders[] = {
    L"\\images\\careth", L"\\images\\caretv", L"\\images\\careti", L"\\images\\caret", L"\\images", L"\\tmp",
};

// The product's files in the system folder, in the order they are deleted.
const wchar_t* const kSystemFiles[] = {
    L"tasuf.exe",   L"tacheck.dll", L"morla.dll",      L"morlaenc.dll",    L"MORLARES.DLL",
    L"morlasnd.exe", L"tamail.exe", L"Tauppat.exe",    L"vemo.dll",        L"Morlatra.exe",
    L"Morlarec.exe", L"tarnil.ini", L"morlaset.ini",   L"Morla_popup.exe", L"Tageturl.dll",
    L"taalrim.exe",  L"tasurf.filter", L"tasurf.action", L"tasurfig.txt",
};

// Adds amount to total unless the sum would leave total's range; then total keeps its value.
template <typename Int>
void AddUnlessOverflow(Int& total, int64_t amount) {
    const int64_t sum = static_cast<int64_t>(total) + amount;
    if (sum <= std::numeric_limits<Int>::max() && sum >= std::numeric_limits<Int>::min()) total = static_cast<Int>(sum);
}

int64_t FileSize(DWORD high, DWORD low) { return (static_cast<int64_t>(high) << 32) | low; }

bool IsDotEntry(const std::wstring& name) { return name == L"." || name == L".."; }

// A folder that is itself a link (junction or symbolic link) leads to somebody else's folder:
// nothing in it is ours, so the removal neither empties it nor removes folders through it.
bool IsRealFolder(std::wstring path) {
    // With a trailing "\" the name would be looked up through the link, not as the link.
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    const DWORD attributes = ::GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Walks one search, handing each entry's name (up to its NUL) and find data to visit. The
// search asks for no short names and fetches entries in large batches: the cheapest walk the
// system offers. Answers ERROR_SUCCESS, or why the folder could not be listed (to its end).
template <typename Visit>
DWORD ForEachEntry(const std::wstring& pattern, Visit&& visit) {
    WIN32_FIND_DATAW entry;
    FindHandle search(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
    if (!search) {
        // Nothing that fits, or a folder that is gone, is no failure to list.
        const DWORD refused = ::GetLastError();
        return refused == ERROR_FILE_NOT_FOUND || refused == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : refused;
    }
    do {
        std::wstring name(entry.cFileName, MAX_PATH);
        RemovalSteps::StripNulls(name);
        if (!IsDotEntry(name)) visit(name, entry);
    } while (::FindNextFileW(search.get(), &entry));
    const DWORD ended = ::GetLastError();
    return ended == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : ended;
}

// A folder whose entries could not all be listed keeps what was not listed.
void RecordUnlisted(const std::wstring& folder, DWORD refused) {
    if (refused != ERROR_SUCCESS)
        Record(ItemKind::Folder, folder, Outcome::Failed, refused, KeptBy::None, L"the folder could not be listed");
}

// Every real folder below folder (links neither listed nor entered), each after its parent.
std::vector<std::wstring> RealFoldersBelow(const std::wstring& folder) {
    std::vector<std::wstring> folders{folder};
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::wstring parent = folders[i];
        const auto keepFolder = [&](const std::wstring& name, const WIN32_FIND_DATAW& entry) {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                folders.push_back(parent + L"\\" + name);
        };
        RecordUnlisted(parent, ForEachEntry(LongPathForm(parent) + L"\\*", keepFolder));
    }
    folders.erase(folders.begin());
    return folders;
}

bool IsKnownSubfolder(const std::wstring& installFolder, const std::wstring& path) {
    for (const wchar_t* sub : kInstallSubfolders)
        if (SameNameNoCase(installFolder + sub, path)) return true;
    return false;
}

std::atomic<RemovalSteps::EnterFolderHook> enterFolderHook{nullptr};

// A folder of the product that stays counts as any item of the product that stays: what keeps it
// (a link in it, a file held open) is recorded on its own, and so is the folder.
void RecordInstallFolder(const std::wstring& folder, Deletion deletion) {
    if (deletion.outcome == Outcome::Kept && deletion.keptBy == KeptBy::Foreign) {
        deletion.outcome = Outcome::Failed;
        deletion.keptBy = KeptBy::None;
        deletion.detail = L"it still holds something, recorded on its own";
    }
    RecordDeletion(ItemKind::Folder, folder, deletion);
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

// A pattern every name fits: the walk for subfolders then finds the files too.
bool MatchesEveryName(const std::wstring& pattern) { return pattern == L"*" || pattern == L"*.*"; }

}  // namespace

std::wstring RemovalSteps::StripNulls(std::wstring& text) {
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

void RemovalSteps::ShowProgress(int64_t size, const std::wstring& path) {
    AddUnlessOverflow(run_.DeletedBytes, size);
    Attempt(kShowBarValueStep, [&] { progress_.ShowDeletedBytes(run_.DeletedBytes); });
    Attempt(kShowFilePathStep, [&] { progress_.ShowFilePath(path); });
}

int32_t RemovalSteps::FindFilesAPI(std::wstring& path, const std::wstring& SearchStr, int16_t& FileCount,
                                        int16_t& DirCount) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    if (!IsRealFolder(path)) {
        const bool there = ::GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
        Record(ItemKind::Folder, path, there ? Outcome::Kept : Outcome::Absent, 0, there ? KeptBy::Link : KeptBy::None);
        return 0;
    }
    int32_t counted = 0;
    foldersWalked_.assign(1, path.substr(0, path.size() - 1));
    DeletionPool deletions;  // every deletion is done when it goes
    // The folder the walk starts from is where it really is; each below it must be there too.
    const std::wstring longPath = LongPathForm(path);
    AddUnlessOverflow(counted, RemoveFilesBelow(path, longPath, FinalFolderPath(longPath), SearchStr, FileCount, DirCount,
                                                deletions));
    return counted;
}

RemovalSteps::EnterFolderHook RemovalSteps::SetEnterFolderHook(EnterFolderHook hook) noexcept {
    return enterFolderHook.exchange(hook);
}

int64_t RemovalSteps::RemoveFilesBelow(const std::wstring& shownDir, const std::wstring& longDir,
                                       const std::wstring& expectedFinal, const std::wstring& SearchStr,
                                       int16_t& FileCount, int16_t& DirCount, DeletionPool& deletions) {
    int64_t counted = 0;
    if (const EnterFolderHook hook = enterFolderHook) hook(longDir);
    // The folder is opened once, as itself, and held while it is walked and its files go: shared
    // for reading and writing but not for deletion, so that nobody can rename it and put a link in
    // its place meanwhile. Every file is deleted only where this folder's final path says it is.
    const FileHandle held =
        OpenFolderItself(longDir, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    const EntryCheck checked = held ? CheckFolder(held.get(), expectedFinal) : EntryCheck{EntryIs::Unknown, ::GetLastError()};
    if (checked.is == EntryIs::Elsewhere) {
        RecordKept(ItemKind::Folder, WithoutTrailingSeparators(shownDir), KeptBy::Link);
        return 0;
    }
    if (checked.is == EntryIs::Unknown) {
        Record(ItemKind::Folder, WithoutTrailingSeparators(shownDir), Outcome::Failed, checked.error, KeptBy::None,
               L"the folder could not be opened as itself to be walked");
        return 0;
    }
    const std::wstring& folderFinal = expectedFinal;
    // Each file is counted and shown before its deletion is tried.
    const auto removeFile = [&](const std::wstring& name, const WIN32_FIND_DATAW& entry) {
        AddUnlessOverflow(FileCount, 1);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;  // a folder is no file to delete
        const std::wstring shown = shownDir + name;
        const int64_t size = FileSize(entry.nFileSizeHigh, entry.nFileSizeLow);
        if (size > 0) {
            ShowProgress(size, shown);
            counted += size;
        }
        deletions.Delete(longDir, folderFinal, name, shown);
    };

    // Subfolders first. A folder that is a link (junction or symbolic link) leads out of the
    // tree and is never entered.
    std::vector<std::wstring> subfolders;
    const bool filesToo = MatchesEveryName(SearchStr);
    Attempt([&] {
        const DWORD listed = ForEachEntry(longDir + L"*", [&](const std::wstring& name, const WIN32_FIND_DATAW& entry) {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    RecordKept(ItemKind::Folder, shownDir + name, KeptBy::Link);
                } else {
                    subfolders.push_back(name);
                    foldersWalked_.push_back(shownDir + name);
                    AddUnlessOverflow(DirCount, 1);
                }
            }
            if (filesToo) removeFile(name, entry);
        });
        RecordUnlisted(shownDir, listed);
    });
    // Then the files, when the pattern asks for fewer than all.
    if (!filesToo)
        Attempt([&] { RecordUnlisted(shownDir, ForEachEntry(longDir + SearchStr, removeFile)); });

    // Last, the subfolders in the order met.
    for (const std::wstring& name : subfolders) {
        Attempt([&] {
            counted += RemoveFilesBelow(shownDir + name + L"\\", longDir + name + L"\\", folderFinal + L"\\" + name,
                                        SearchStr, FileCount, DirCount, deletions);
        });
    }
    return counted;
}

void RemovalSteps::RemoveInstallFolders() {
    std::wstring folder = run_.InstallPath;
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    // Without a folder the names below would fall on the current drive's root.
    if (folder.empty() || !IsRealFolder(folder)) return;
    // First every other folder the removal emptied, deepest first, so that no empty skeleton is
    // left behind, not even one inside a known subfolder ("images\skins"); a folder that still
    // holds anything stays, and so does a link and its target. A folder that holds only what waits
    // for the restart follows it there. None of them can hold a known subfolder.
    Attempt([&] {
        // The walk that emptied them knows them already; without one, they are looked for.
        const bool walked = !foldersWalked_.empty() && SameNameNoCase(foldersWalked_.front(), folder);
        const std::vector<std::wstring> below =
            walked ? std::vector<std::wstring>(foldersWalked_.begin() + 1, foldersWalked_.end()) : RealFoldersBelow(folder);
        for (auto it = below.rbegin(); it != below.rend(); ++it) {
            if (IsKnownSubfolder(folder, *it)) continue;  // met below
            Attempt([&] { RecordInstallFolder(*it, RemoveEmptyFolderNowOrAtRestart(*it)); });
        }
    });
    // Then the known subfolders, innermost first, and the install folder itself.
    for (const wchar_t* sub : kInstallSubfolders)
        Attempt([&] { RecordInstallFolder(folder + sub, RemoveEmptyFolderNowOrAtRestart(folder + sub)); });
    Attempt([&] { RecordInstallFolder(folder, RemoveEmptyFolderNowOrAtRestart(folder)); });
}

void RemovalSteps::DeleteSystemFiles() {
    for (const wchar_t* name : kSystemFiles) Attempt([&] { DeleteSystemFile(name); });
    Attempt(kShowBarValueStep, [&] { progress_.ShowComplete(); });
}

void RemovalSteps::DeleteSystemFile(const std::wstring& name) {
    // Without the system folder the path would fall on the current drive's root.
    if (run_.SystemDir.empty()) return;
    const std::wstring path = InSystemDir(name);
    const std::wstring longPath = LongPathForm(path);
    if (!IsOrdinaryFile(longPath)) {
        // A hidden or system file is not acted on, but it is there: products of this kind hide
        // their agents so, and neither the exit code nor the finish page may say it is gone.
        const DWORD attributes = ::GetFileAttributesW(longPath.c_str());
        const bool hidden = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                            (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
        if (!hidden) {
            Record(ItemKind::File, path, Outcome::Absent);
            return;
        }
        wchar_t detail[96];
        std::swprintf(detail, 96, L"attributes 0x%lX: a hidden or system file is not removed",
                      static_cast<unsigned long>(attributes));
        Record(ItemKind::File, path, Outcome::Kept, 0, KeptBy::Hidden, detail);
        return;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    int64_t size = 0;
    if (::GetFileAttributesExW(longPath.c_str(), GetFileExInfoStandard, &data))
        size = FileSize(data.nFileSizeHigh, data.nFileSizeLow);
    ShowProgress(size, path);
    RecordDeletion(ItemKind::File, path, DeleteFileItself(path, kProductFileRules));
}

}  // namespace ta
