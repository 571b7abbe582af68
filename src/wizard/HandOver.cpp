#include "wizard/HandOver.h"

#include <windows.h>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

#include "fs/FileRemoval.h"
#include "fs/FinalPath.h"
#include "fs/PrivateFolder.h"
#include "fs/TrustedWay.h"
#include "platform/AppShell.h"
#include "platform/ChildEnvironment.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "record/ContinueOnError.h"
#include "record/RemovalRecord.h"
#include "registry/Regset.h"
#include "removal/TarnilSet.h"
#include "run/RunOutcome.h"
#include "wizard/FolderSweeper.h"
#include "wizard/InstallGuard.h"
#include "wizard/UninstallEntry.h"

namespace ta {
namespace {

constexpr Step kStep{L"HandOver", Footprint::None};  // the program's own copy: not the product

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

// Where the private folder is made: the temporary folder, or the root of the program's own
// volume where the temporary folder lies on another one (a small system drive's, a RAM disk).
// The original's file is moved into the private folder while it runs, and a move between volumes
// would be a copy that leaves the file itself behind.
std::wstring PrivateFolderParent(const std::wstring& program) {
    const std::wstring temp = TemporaryFolder();
    const std::wstring ownVolume = VolumeOf(program);
    if (temp.empty() || ownVolume.empty() || SameNameNoCase(VolumeOf(temp), ownVolume)) return temp;
    return ownVolume;
}

// The private folder, opened as itself (never through a link) and held so that it cannot be
// renamed or removed while the handle lives; empty when it is not the folder that was made. It is
// compared in the form its parent really has: a temporary folder reached through a junction is
// still the one it was made in.
FileHandle HoldFolder(const std::wstring& parent, const std::wstring& folder, DWORD& error) {
    FileHandle held = OpenFolderItself(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!held) {
        error = ::GetLastError();
        return held;
    }
    const std::wstring parentFinal = FinalFolderPath(LongPathForm(parent));
    const std::wstring expected = parentFinal.empty() ? NormalisedPath(folder)
                                                      : WithoutLongPathPrefix(parentFinal) +
                                                            (parentFinal.back() == L'\\' ? L"" : L"\\") +
                                                            folder.substr(folder.find_last_of(L'\\') + 1);
    const EntryCheck itself = CheckFolder(held.get(), expected);
    if (itself.is != EntryIs::Itself) {
        error = itself.error ? itself.error : ERROR_FILE_INVALID;
        held.reset();
    }
    return held;
}

// Whether path, opened afresh, is the very file that is held open: the same volume and index.
bool PathLeadsTo(const std::wstring& path, HANDLE held) {
    FileHandle fresh(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return fresh && ::GetFileInformationByHandle(fresh.get(), &a) && ::GetFileInformationByHandle(held, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Without a sweeper the folder is cleared now: what a running program holds (the copy, the
// original) is moved aside for the restart, the rest goes, and the folder with it.
void ClearWithoutSweeper(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    FindHandle search(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                         nullptr, 0));
    if (search) {
        do {
            const std::wstring name = entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring path = folder + L"\\" + name;
            RecordDeletion(ItemKind::File, path, DeleteFileItself(path, kProductFileRules));
        } while (::FindNextFileW(search.get(), &entry));
    }
    search.reset();
    RecordDeletion(ItemKind::Folder, folder, RemoveEmptyFolder(folder));
}

// The copy's command line: its own name, the original's switches with the log path as start-up
// made it absolute (logPath; the copy runs in another folder), and the switch that names the
// original.
std::wstring CopyCommandLine(const std::wstring& copy, const std::vector<std::wstring>& arguments,
                             const std::wstring& original, const std::wstring& logPath) {
    std::wstring line = QuoteArgument(copy);
    for (const std::wstring& argument : arguments) {
        const bool isLog = !ParseCommandLine({argument}).logPath.empty();
        line += L" " + QuoteArgument(isLog ? L"/log=" + logPath : argument);
    }
    return line + L" " + QuoteArgument(L"/original=" + std::to_wstring(::GetCurrentProcessId()) + L":" + original);
}

// The headers of an image that no loader changes: the file header, the entry point, the size and
// checksum of the image, and the section table.
bool SameHeaders(const BYTE* file, size_t fileSize, const BYTE* loaded) {
    const auto* loadedDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(loaded);
    const auto* loadedNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(loaded + loadedDos->e_lfanew);
    if (fileSize < sizeof(IMAGE_DOS_HEADER)) return false;
    const auto* fileDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file);
    const size_t sections = loadedNt->FileHeader.NumberOfSections;
    const size_t ntSize = offsetof(IMAGE_NT_HEADERS, OptionalHeader) + loadedNt->FileHeader.SizeOfOptionalHeader;
    const size_t end = static_cast<size_t>(fileDos->e_lfanew) + ntSize + sections * sizeof(IMAGE_SECTION_HEADER);
    if (fileDos->e_magic != IMAGE_DOS_SIGNATURE || fileDos->e_lfanew <= 0 || end > fileSize) return false;
    const auto* fileNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(file + fileDos->e_lfanew);
    return fileNt->Signature == IMAGE_NT_SIGNATURE &&
           std::memcmp(&fileNt->FileHeader, &loadedNt->FileHeader, sizeof fileNt->FileHeader) == 0 &&
           fileNt->OptionalHeader.AddressOfEntryPoint == loadedNt->OptionalHeader.AddressOfEntryPoint &&
           fileNt->OptionalHeader.SizeOfImage == loadedNt->OptionalHeader.SizeOfImage &&
           fileNt->OptionalHeader.CheckSum == loadedNt->OptionalHeader.CheckSum &&
           std::memcmp(reinterpret_cast<const BYTE*>(fileNt) + ntSize, reinterpret_cast<const BYTE*>(loadedNt) + ntSize,
                       sections * sizeof(IMAGE_SECTION_HEADER)) == 0;
}

// Whether the open file is the image this process runs: its headers are those loaded.
bool IsRunningImage(HANDLE file) {
    const auto* loaded = reinterpret_cast<const BYTE*>(::GetModuleHandleW(nullptr));
    std::vector<BYTE> headers(reinterpret_cast<const IMAGE_NT_HEADERS*>(
                                  loaded + reinterpret_cast<const IMAGE_DOS_HEADER*>(loaded)->e_lfanew)
                                  ->OptionalHeader.SizeOfHeaders);
    LARGE_INTEGER start{};
    DWORD read = 0;
    return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) &&
           ::ReadFile(file, headers.data(), static_cast<DWORD>(headers.size()), &read, nullptr) &&
           SameHeaders(headers.data(), read, loaded);
}

// Copies the open file's bytes to a new file at to; answers ERROR_SUCCESS or why not.
DWORD CopyFromHandle(HANDLE from, const std::wstring& to) {
    FileHandle target(::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) return ::GetLastError();
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return ::GetLastError();
    std::vector<char> buffer(1 << 16);
    for (;;) {
        DWORD got = 0, put = 0;
        if (!::ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return ::GetLastError();
        if (got == 0) return ERROR_SUCCESS;
        if (!::WriteFile(target.get(), buffer.data(), got, &put, nullptr)) return ::GetLastError();
        if (put != got) return ERROR_WRITE_FAULT;
    }
}

// Starts the copy suspended in the system folder, so that no folder of the product is its current
// one, showing its windows as this program was asked to show its own; thread is its first thread.
KernelHandle StartCopy(const std::wstring& copy, std::wstring commandLine, KernelHandle& thread, DWORD& error) {
    STARTUPINFOW own{};
    own.cb = sizeof own;
    ::GetStartupInfoW(&own);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (own.dwFlags & STARTF_USESHOWWINDOW) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = own.wShowWindow;
    }
    PROCESS_INFORMATION started{};
    const std::wstring system = SystemFolder();
    std::wstring environment = ChildEnvironment();
    if (!::CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, environment.data(),
                          system.empty() ? nullptr : system.c_str(), &startup, &started)) {
        error = ::GetLastError();
        return {};
    }
    thread.reset(started.hThread);
    // The person started this program; the wizard they see is the copy's and may come to the front.
    ::AllowSetForegroundWindow(started.dwProcessId);
    return KernelHandle(started.hProcess);
}

std::wstring ImagePathOf(HANDLE process) {
    wchar_t buffer[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    return ::QueryFullProcessImageNameW(process, 0, buffer, &size) ? std::wstring(buffer, size) : std::wstring();
}

void RecordInPlace(const std::wstring& item, DWORD error, const wchar_t* what) {
    Record(ItemKind::HandOver, item, Outcome::Failed, error, KeptBy::None,
           std::wstring(what) + L"; the removal runs in place");
}

}  // namespace

void HoldOwnImage(RemovalRun& run) {
    HandedOver& handedOver = run.handedOver;
    handedOver.ownImage.reset(::CreateFileW(ExePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handedOver.ownImage) {
        handedOver.ownImageError = ::GetLastError();
    } else if (!IsRunningImage(handedOver.ownImage.get())) {
        handedOver.ownImage.reset();
        handedOver.ownImageError = ERROR_FILE_INVALID;
    }
}

std::optional<int> RunFromPrivateCopy(RemovalRun& run, const std::vector<std::wstring>& arguments) {
    // However this ends, the program's own file is not held beyond it: the copy moves it.
    FileHandle ownImage = std::move(run.handedOver.ownImage);
    const auto installFolder = GuardedInstallPath(Regset::GetStringValue(TarnilSet::kProductKey, L"ProgramPath"));
    const std::wstring own = NormalisedPath(ExePath());
    if (!installFolder || !LiesInside(own, NormalisedPath(*installFolder))) return std::nullopt;

    StepScope step(kStep);
    DWORD error = 0;
    // What lies at the program's path may not be the program that runs: somebody who may change
    // the install folder can rename a running program's file and put another in its place.
    if (!ownImage) {
        RecordInPlace(own, run.handedOver.ownImageError,
                      run.handedOver.ownImageError == ERROR_FILE_INVALID
                          ? L"the program's file is not the program that runs"
                          : L"the program's own file could not be held");
        return std::nullopt;
    }
    const std::wstring parent = PrivateFolderParent(own);
    const std::wstring folder = CreatePrivateFolder(parent, error);
    if (folder.empty()) {
        RecordInPlace(parent, error, L"no private folder");
        return std::nullopt;
    }
    // From here until the copy runs, the folder is held open without sharing its deletion: nobody
    // can rename it and put a folder of theirs in its place. Its access list keeps others out of
    // it, not out of the folder it lies in.
    FileHandle held = HoldFolder(parent, folder, error);
    if (!held) {
        ::RemoveDirectoryW(folder.c_str());
        RecordInPlace(folder, error, L"the private folder could not be held");
        return std::nullopt;
    }
    const std::wstring copy = folder + L"\\" + FileNameOf(own);
    if ((error = CopyFromHandle(ownImage.get(), copy)) != ERROR_SUCCESS) {
        ::DeleteFileW(copy.c_str());
        held.reset();
        ::RemoveDirectoryW(folder.c_str());
        RecordInPlace(copy, error, L"not copied");
        return std::nullopt;
    }
    ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);  // the sweeper leaves a read-only file
    // The copy is held too, readable but neither writable nor removable, and its path must still
    // lead to it when it is started.
    FileHandle copied(::CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    KernelHandle process, thread;
    if (!copied || !PathLeadsTo(copy, copied.get()))
        error = copied ? ERROR_FILE_INVALID : ::GetLastError();
    else
        process = StartCopy(copy, CopyCommandLine(copy, arguments, own, run.request.logPath), thread, error);
    // The program that started, and has not yet run a line, must be the copy, where the held
    // folder says it is, and its path must still lead to the file copied.
    const std::wstring image = process ? NormalisedPath(ImagePathOf(process.get())) : std::wstring();
    DWORD unread = 0;
    const bool isCopy = process &&
                        (SameNameNoCase(image, NormalisedPath(copy)) ||
                         SameNameNoCase(image, WithoutLongPathPrefix(FinalPathOf(copied.get(), unread)))) &&
                        PathLeadsTo(copy, copied.get());
    if (process && (!isCopy || ::ResumeThread(thread.get()) == static_cast<DWORD>(-1))) {
        ::TerminateProcess(process.get(), kExitFailed);
        ::WaitForSingleObject(process.get(), 5000);
        process.reset();
        error = ERROR_FILE_INVALID;
    }
    thread.reset();
    ownImage.reset();
    // The copy runs: its folder is its own to change, and the sweeper's to remove.
    copied.reset();
    held.reset();
    if (!process) {
        ::DeleteFileW(copy.c_str());
        ::RemoveDirectoryW(folder.c_str());
        RecordInPlace(copy, error, L"the copy did not start");
        return std::nullopt;
    }
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.get(), &code)) code = kExitFailed;
    return static_cast<int>(code);
}

bool AcceptHandOver(RemovalRun& run, const CommandLine& options) {
    if (options.originalPid == 0 || options.originalPid == ::GetCurrentProcessId()) return false;
    KernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_DUP_HANDLE, FALSE,
                                       options.originalPid));
    if (!process) return false;
    const std::wstring image = ImagePathOf(process.get());
    const std::wstring path = NormalisedPath(options.originalPath);
    if (image.empty() || !SameNameNoCase(NormalisedPath(image), path)) return false;
    run.handedOver.originalProcess = std::move(process);
    run.handedOver.originalPath = path;
    StepScope step(kStep);
    Record(ItemKind::HandOver, ExePath(), Outcome::Done, 0, KeptBy::None,
           L"a private copy runs the removal for " + path + L" (process " + std::to_wstring(options.originalPid) + L")");
    return true;
}

void MoveOriginalOutOf(const RemovalRun& run, const std::wstring& installFolder) {
    const std::wstring& original = run.handedOver.originalPath;
    if (original.empty() || !LiesInside(original, NormalisedPath(installFolder))) return;
    StepScope step(kStep);
    const std::wstring moved = ExeFolder() + L"\\original-" + FileNameOf(original);
    // From here the list of installed programs starts the copy: should the run be cut short, the
    // person can still finish it from there.
    const EntryValues before = RenameProgramInEntry(original, ExePath());
    if (!::MoveFileExW(original.c_str(), moved.c_str(), 0)) {
        const DWORD error = ::GetLastError();
        PutBack(before);
        Record(ItemKind::HandOver, original, Outcome::Failed, error, KeptBy::None,
               L"not moved out of the install folder");
        return;
    }
    for (const auto& [name, command] : before)
        Record(ItemKind::Value, std::wstring(TarnilSet::kUninstallEntry) + L"\\" + name, Outcome::Done, 0, KeptBy::None,
               L"starts the private copy " + ExePath() + L" while the removal runs");
    // The sweeper removes it with the folder; a read-only file would stay.
    ::SetFileAttributesW(moved.c_str(), FILE_ATTRIBUTE_NORMAL);
    Record(ItemKind::File, original, Outcome::Removed, 0, KeptBy::None,
           L"moved to " + moved + L" while it runs; goes with that folder");
}

bool FinishCutShortRun(RemovalRun& run) {
    const std::wstring folder = ExeFolder();
    const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
    if (name.rfind(L"TaUnInst-", 0) != 0 || !EntryStarts(ExePath())) return false;
    run.handedOver.finishesCutShortRun = true;
    StepScope step(kStep);
    Record(ItemKind::HandOver, ExePath(), Outcome::Done, 0, KeptBy::None,
           L"finishes a removal that was cut short after its hand-over; " + folder + L" goes at the end");
    return true;
}

void ArrangePrivateFolderRemoval(const RemovalRun& run) {
    const HandedOver& handedOver = run.handedOver;
    if (handedOver.originalPath.empty() && !handedOver.finishesCutShortRun) return;
    StepScope step(kStep);
    const std::wstring folder = ExeFolder();
    // Only a folder this program's hand-over made goes: a private name, owned by the trusted and
    // changeable by nobody else. "/original=" names any program whose image is at that path, and
    // this copy might have been started from any folder at all.
    const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
    // Looked at where it really is: a temporary folder may be reached through a link.
    const std::wstring real = WithoutLongPathPrefix(FinalFolderPath(LongPathForm(folder)));
    const WayCheck own = CheckFolderIsTrusted(real.empty() ? folder : real);
    if (name.rfind(L"TaUnInst-", 0) != 0 || !own.trusted) {
        Record(ItemKind::HandOver, folder, Outcome::Kept, 0, KeptBy::Foreign,
               L"not removed: not a private folder of this program's" + (own.trusted ? L"" : L" (" + own.why + L")"));
        return;
    }
    // While the uninstall entry starts this copy, the copy is the way the removal can still be
    // finished (a run that ended before the removal, or one that could not take the entry): it
    // stays where the entry finds it.
    if (EntryStarts(ExePath())) {
        Record(ItemKind::HandOver, folder, Outcome::Done, 0, KeptBy::None,
               L"left in place: the uninstall entry still starts " + ExePath() + L", which finishes the removal");
        return;
    }
    const DWORD error = StartFolderSweeper(folder, handedOver.originalProcess.get());
    if (!error) {
        Record(ItemKind::HandOver, folder, Outcome::Done, 0, KeptBy::None,
               L"removed by the system's command processor once the copy and the original have ended");
        return;
    }
    Record(ItemKind::HandOver, folder, Outcome::Failed, error, KeptBy::None, L"no sweeper started");
    ClearWithoutSweeper(folder);
}

void EndRun(RemovalRun& run, int exitCode) {
    Attempt(kStep, [&] { ArrangePrivateFolderRemoval(run); });
    FinishRun(run, exitCode);
}

}  // namespace ta
