#pragma once
// Real files for the removal tests: a scratch folder on the prefix's drive C, files of a given
// size and attributes, and Unix symbolic links (what Wine shows as reparse points).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "removal/RemovalSteps.h"
#include "support/UnixLinks.h"

namespace ta::test {

// "C:\TaUnInstTests\<name>.<process id>", created empty; removed with everything below it (links
// not followed) when the scope ends.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }  // no trailing backslash
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Makes path the current folder for one scope (so "\name" means its drive's root).
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& path) {
        ::GetCurrentDirectoryW(MAX_PATH, previous_);
        ::SetCurrentDirectoryW(path.c_str());
    }
    ~CurrentFolder() { ::SetCurrentDirectoryW(previous_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    wchar_t previous_[MAX_PATH] = {};
};

// Creates the folder and its parents (long paths welcome).
bool MakeFolders(const std::wstring& path);
// Creates the file (and its folders) holding size bytes, then gives it the attributes.
bool MakeFile(const std::wstring& path, uint32_t size, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
bool Exists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
// Size of the file, or -1 when it cannot be read.
int64_t SizeOf(const std::wstring& path);
// Removes a whole tree, links removed as links.
void RemoveTree(const std::wstring& path);

// Makes a file's attributes unchangeable for one scope, even for the administrator (Unix's
// immutable flag): the system then refuses to take its read-only attribute off.
class UnchangeableFile {
public:
    explicit UnchangeableFile(std::wstring path);
    ~UnchangeableFile();
    UnchangeableFile(const UnchangeableFile&) = delete;
    UnchangeableFile& operator=(const UnchangeableFile&) = delete;
    bool Made() const { return made_; }

private:
    std::wstring path_;
    bool made_ = false;
};

// The progress page as the steps see it: records everything they show, and whether the file
// named on Label3 still existed at that moment. It carries the run and the steps that act on it.
class RecordingPage : public RemovalProgress {
public:
    RemovalRun run;
    RemovalSteps steps{run, *this};
    // What values holds where the steps said the bar is full; the page then shows its Max.
    static constexpr int64_t kFull = -1;
    std::vector<int64_t> values;
    std::vector<std::wstring> shown;
    std::vector<bool> existedWhenShown;
    std::wstring classId;

    void ShowDeletedBytes(int64_t bytes) override { values.push_back(bytes); }
    void ShowComplete() override { values.push_back(kFull); }
    void ShowFilePath(const std::wstring& path) override {
        shown.push_back(path);
        existedWhenShown.push_back(Exists(path));
    }
    void ShowClassId(const std::wstring& text) override { classId = text; }
};

}  // namespace ta::test
