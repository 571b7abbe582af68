#include "wizard/Startup.h"

#include <windows.h>

#include <vector>

#include "platform/AppShell.h"
#include "platform/ContinueOnError.h"
#include "platform/Page.h"
#include "platform/ProgramValues.h"
#include "platform/RemovalRecord.h"
#include "registry/Regset.h"
#include "removal/TarnilSet.h"
#include "wizard/Un_Start.h"

namespace ta {

void InitSystemPaths() {
    // The buffer grows with the answer, so a system folder of any length is taken whole.
    std::vector<wchar_t> buffer(MAX_PATH);
    UINT n = ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n >= buffer.size()) n = 0;
    }
    SystemDir.assign(buffer.data(), n);
}

void LoadServerSettings() {
    AttemptEach([] { PidSetting = Regset::GetStringValue(TarnilSet::kProductKey, L"PID"); },
                [] { MServerSetting = Regset::GetStringValue(TarnilSet::kProductKey, L"mserver"); });
}

int RunUninstaller() {
    if (AnotherInstanceRunning(kInstanceName)) {
        Shell().EndProgram();
        return 0;
    }
    // Everything the run does to the machine is recorded here.
    RemovalRecord record;
    RecordingScope recording(record);
    Attempt([] { InitSystemPaths(); });
    Attempt([] { LoadPage<Un_Start>().Show(); });
    if (LoadedPages().empty()) return 0;
    return RunMessageLoop();
}

}  // namespace ta
