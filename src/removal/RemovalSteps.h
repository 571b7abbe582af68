#pragma once
// The removal steps of the progress page: the files and folders, the components and the system
// folder's files. They act on one run and tell one progress of what they do; the page shows that
// progress and is nothing else to them. Their implementations live with the other removal
// operations in this folder. Each runs inside its own step (declared below), and its parts stay in it.
#include <cstdint>
#include <string>
#include <vector>

#include "record/Step.h"
#include "removal/RemovalProgress.h"
#include "run/RemovalRun.h"

namespace ta {

class DeletionPool;

// The progress page's steps, as the record names them.
inline constexpr Step kFindFilesAPIStep{L"FindFilesAPI", Footprint::Items};
inline constexpr Step kRemoveInstallFoldersStep{L"RemoveInstallFolders", Footprint::Items};
inline constexpr Step kDeleteSystemFilesStep{L"DeleteSystemFiles", Footprint::Items};
inline constexpr Step kRemoveBrowserHelperStep{L"RemoveBrowserHelper", Footprint::Items};
// The system's own library, registered again: nothing of the product.
inline constexpr Step kRestoreTextServicesStep{L"RestoreTextServices", Footprint::None};

class RemovalSteps {
public:
    RemovalSteps(RemovalRun& run, RemovalProgress& progress) : run_(run), progress_(progress) {}

    // Files and folders.
    // Deletes every file below path (recursively) and counts what it met; folders stay. Appends
    // "\" to path in place.
    int32_t FindFilesAPI(std::wstring& path, const std::wstring& SearchStr, int16_t& FileCount, int16_t& DirCount);
    // Cuts the text at its first NUL; answers the result.
    static std::wstring StripNulls(std::wstring& text);
    // Removes the known subfolders, then every other folder below the run's install folder
    // (deepest first), then the install folder, each only when empty.
    void RemoveInstallFolders();
    // Deletes the product's files from the system folder, then shows the bar full.
    void DeleteSystemFiles();
    void DeleteSystemFile(const std::wstring& name);

    // Components.
    // Deletes the browser helper object's key and unregisters "tageturl.dll".
    void RemoveBrowserHelper();
    // Registers the system's "msctf.dll" again.
    void RestoreTextServices();
    // Copies the zero-terminated text at address into buffer (at most 256 units, each below 256).
    static void TextFromPointer(const wchar_t* address, std::wstring& buffer);

    // For tests: called with a folder's long path as the walk is about to enter it, so that a
    // test can change the tree at that moment (nullptr: nothing). Answers the hook it replaced.
    using EnterFolderHook = void (*)(const std::wstring& longFolder);
    static EnterFolderHook SetEnterFolderHook(EnterFolderHook hook) noexcept;

private:
    // One folder of FindFilesAPI: shownDir is the caller's form (ending in "\"), longDir the same
    // folder in the long-path form, expectedFinal where it must really be (its parent's final path
    // and its name; for the folder the walk starts from, its own final path). Answers the bytes
    // counted in it and below.
    int64_t RemoveFilesBelow(const std::wstring& shownDir, const std::wstring& longDir,
                             const std::wstring& expectedFinal, const std::wstring& SearchStr, int16_t& FileCount,
                             int16_t& DirCount, DeletionPool& deletions);
    // Counts size into the run's DeletedBytes and shows it, and path.
    void ShowProgress(int64_t size, const std::wstring& path);
    std::wstring InSystemDir(const std::wstring& name) const;

    RemovalRun& run_;
    RemovalProgress& progress_;
    // The real folders the last FindFilesAPI walked: the folder it started from (without a
    // trailing ""), then each folder below it after its parent.
    std::vector<std::wstring> foldersWalked_;
};

}  // namespace ta
