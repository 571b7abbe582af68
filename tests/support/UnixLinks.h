#pragma once
// Unix links on the prefix's files, made as someone with a shell on the machine would make them:
// under Wine a link to a folder shows as a reparse point, a link to a file as a plain file.
#include <windows.h>

#include <string>

namespace ta::test {

// Starts a Unix program (for example "Z:\bin\ln -s ...", in UTF-8, as Unix paths come); Wine
// gives no handle to wait on, so callers poll for its effect.
void StartUnix(const std::string& commandLine);

// Polls done for up to about five seconds; answers its last answer.
template <typename Done>
bool WaitUntil(Done done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        ::Sleep(10);
    }
    return done();
}

// A Unix symbolic link at linkPath to target (both Windows paths). Answers once the link is seen.
bool MakeUnixLink(const std::wstring& target, const std::wstring& linkPath);

// Lets every account change the folder (chmod o+w), as an administrator who grants Users "Modify"
// does; under Wine its access list then allows Everyone to. Answers once the folder's way is seen
// as one others may change.
bool LetOthersChange(const std::wstring& folder);

}  // namespace ta::test
