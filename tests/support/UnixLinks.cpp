#include "support/UnixLinks.h"

#include "fs/FinalPath.h"
#include "fs/TrustedWay.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "support/WinePaths.h"

namespace ta::test {

void StartUnix(const std::string& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Unix paths are UTF-8, which the ANSI code page would misread.
    std::wstring line = FromUtf8(commandLine);
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        KernelHandle(process.hProcess).reset();
        KernelHandle(process.hThread).reset();
    }
}

bool MakeUnixLink(const std::wstring& target, const std::wstring& linkPath) {
    const std::string from = UnixPath(target), to = UnixPath(linkPath);
    if (from.empty() || to.empty()) return false;
    StartUnix("Z:\\bin\\ln -s \"" + from + "\" \"" + to + "\"");
    return WaitUntil([&] { return ::GetFileAttributesW(LongPathForm(linkPath).c_str()) != INVALID_FILE_ATTRIBUTES; });
}

bool LetOthersChange(const std::wstring& folder) {
    const std::string unix = UnixPath(folder);
    if (unix.empty()) return false;
    StartUnix("Z:\\bin\\chmod o+w \"" + unix + "\"");
    return WaitUntil([&] { return !CheckWayIsTrusted(folder).trusted; });
}

}  // namespace ta::test
