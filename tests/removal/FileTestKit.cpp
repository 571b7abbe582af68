#include "removal/FileTestKit.h"

#include "fs/FileRemoval.h"
#include "platform/Handles.h"
#include "support/UnixLinks.h"
#include "support/WinePaths.h"

namespace ta::test {
namespace {

DWORD AttributesOf(const std::wstring& path) { return ::GetFileAttributesW(LongPathForm(path).c_str()); }

}  // namespace

// The process id keeps the folders of tests that run side by side apart.
ScratchFolder::ScratchFolder(const std::wstring& name)
    : path_(L"C:\\TaUnInstTests\\" + name + L"." + std::to_wstring(::GetCurrentProcessId())) {
    RemoveTree(path_);
    MakeFolders(path_);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

bool MakeFolders(const std::wstring& path) {
    const std::wstring longPath = LongPathForm(path);
    // Every "\" after the "\\?\C:\" head ends a parent.
    for (size_t slash = longPath.find(L'\\', 7); slash != std::wstring::npos; slash = longPath.find(L'\\', slash + 1))
        ::CreateDirectoryW(longPath.substr(0, slash).c_str(), nullptr);
    ::CreateDirectoryW(longPath.c_str(), nullptr);
    return IsFolder(path);
}

bool MakeFile(const std::wstring& path, uint32_t size, DWORD attributes) {
    MakeFolders(path.substr(0, path.find_last_of(L'\\')));
    {
        FileHandle file(::CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        const std::string data(size, 'x');
        DWORD written = 0;
        if (size && !::WriteFile(file.get(), data.data(), size, &written, nullptr)) return false;
    }
    return ::SetFileAttributesW(LongPathForm(path).c_str(), attributes) != FALSE;
}

bool Exists(const std::wstring& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void RemoveTree(const std::wstring& path) {
    if (!Exists(path)) return;
    // rm does not follow links; Windows calls cannot remove a Unix link to a folder.
    const std::string unixPath = UnixPath(path);
    if (unixPath.empty() || unixPath.find("/TaUnInstTests/") == std::string::npos) return;
    StartUnix("Z:\\bin\\rm -rf \"" + unixPath + "\"");
    WaitUntil([&] { return !Exists(path); });
}

// Whether the file's attributes can be set (to what they are).
static bool AttributesChangeable(const std::wstring& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && ::SetFileAttributesW(LongPathForm(path).c_str(), attributes);
}

UnchangeableFile::UnchangeableFile(std::wstring path) : path_(std::move(path)) {
    const std::string unixPath = UnixPath(path_);
    if (unixPath.empty()) return;
    StartUnix("Z:\\usr\\bin\\chattr +i \"" + unixPath + "\"");
    made_ = WaitUntil([&] { return !AttributesChangeable(path_); });
}

UnchangeableFile::~UnchangeableFile() {
    StartUnix("Z:\\usr\\bin\\chattr -i \"" + UnixPath(path_) + "\"");
    WaitUntil([&] { return AttributesChangeable(path_); });
}

}  // namespace ta::test
