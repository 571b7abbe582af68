#pragma once
// What the program is asked on its command line. Without arguments it is the wizard, as the
// product's uninstall entry starts it; deployment tools add "/S" and "/log=PATH".
#include <windows.h>

#include <string>
#include <vector>

namespace ta {

struct CommandLine {
    bool silent = false;   // "/S", "/quiet": no window and no question at any time
    bool help = false;     // "/?", "/help"
    std::wstring logPath;  // "/log=PATH": the removal record written there
    bool noRestart = false;  // "/norestart": the machine is never restarted, nor a restart offered
    std::vector<std::wstring> unknown;  // anything else, as given
    // "/original=PID:PATH": this is the private copy the program at PATH, running as process PID,
    // handed the run to (see HandOver.h).
    DWORD originalPid = 0;
    std::wstring originalPath;
};

// The arguments as the system splits them (quotes group, "\"" escapes), without the program's
// own name.
std::vector<std::wstring> SplitArguments(const std::wstring& arguments);
// Switches are case-insensitive and start with "/" or "-".
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// One argument quoted so that the system's splitting gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

// The usage text the help box shows.
extern const wchar_t kUsageText[];

}  // namespace ta
