#pragma once
// The removal steps that run on the progress page. They are the page's own methods: the page
// (frmAutoFileDel) derives from this class and supplies its controls through the hooks below.
// Their implementations live with the other removal operations in this folder.
#include <cstdint>
#include <string>
#include <vector>

namespace ta {

class DeletionPool;

class ProgressPageSteps {
public:
    virtual ~ProgressPageSteps() = default;

    // The install folder from "ProgramPath"; FindFilesAPI appends "\" to it in place.
    std::wstring InstallPath;

    // Files and folders.
    // Deletes every file below path (recursively) and counts what it met; folders stay.
    int32_t FindFilesAPI(std::wstring& path, const std::wstring& SearchStr, int16_t& FileCount, int16_t& DirCount);
    // Cuts the text at its first NUL; answers the result.
    static std::wstring StripNulls(std::wstring& text);
    // Removes the known subfolders, then every other folder below the install folder (deepest
    // first), then the install folder, each only when empty.
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
    void TextFromPointer(const wchar_t* address, std::wstring& buffer);

protected:
    // The page's controls as these steps use them.
    virtual void SetBarValue(int32_t value) = 0;               // ucProgressBar1.Value (repaints at once)
    virtual int32_t BarMax() const = 0;                        // ucProgressBar1.Max
    virtual void ShowFilePath(const std::wstring& path) = 0;   // Label3's caption (repaints at once)
    virtual void SetText1(const std::wstring& text) = 0;       // the hidden text box Text1
    virtual std::wstring Text1() const = 0;

private:
    // One folder of FindFilesAPI: shownDir is the caller's form (ending in "\"), longDir the same
    // folder in the long-path form. Answers the bytes counted in it and below.
    int64_t RemoveFilesBelow(const std::wstring& shownDir, const std::wstring& longDir, const std::wstring& SearchStr,
                             int16_t& FileCount, int16_t& DirCount, DeletionPool& deletions);
    // Counts size into DeletedBytes and shows it on the bar, and path on Label3.
    void ShowProgress(int64_t size, const std::wstring& path);
    // The real folders the last FindFilesAPI walked: the folder it started from (without a
    // trailing ""), then each folder below it after its parent.
    std::vector<std::wstring> foldersWalked_;
};

}  // namespace ta
