#include "support/ReportService.h"

#include <string>

#include "platform/AppShell.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace ta::test {
namespace {

constexpr wchar_t kPython[] = L"Z:\\usr\\bin\\python3";

std::string ReadWholeFile(const std::wstring& path) {
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char buffer[16384];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

// Whether the Unix process still runs; one that has ended but was not yet reaped counts as gone.
bool ProcessAlive(unsigned long unixPid) {
    const std::string stat = ReadWholeFile(L"Z:\\proc\\" + std::to_wstring(unixPid) + L"\\stat");
    const auto end = stat.rfind(") ");
    return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] != 'Z' && stat[end + 2] != 'X';
}

}  // namespace


bool RunUnixProgram(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    // A Unix program gives no handles to wait on; close whatever came back.
    if (pi.hThread) ::CloseHandle(pi.hThread);
    if (pi.hProcess) ::CloseHandle(pi.hProcess);
    return true;
}

ReportService::ReportService() {
    wchar_t temp[MAX_PATH];
    if (!::GetTempPathW(MAX_PATH, temp)) return;
    folder_ = std::wstring(temp) + L"ta-report-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::to_wstring(::GetTickCount64());
    if (!::CreateDirectoryW(folder_.c_str(), nullptr)) return;
    portFile_ = folder_ + L"\\port";
    recordFile_ = folder_ + L"\\record.xml";

    const std::wstring script = ExeFolder() + L"\\tests\\fixtures\\report-service\\soap_service.py";
    const std::string unixFolder = UnixPath(folder_);
    const std::string unixScript = UnixPath(script);
    if (unixFolder.empty() || unixScript.empty()) return;
    // It stops by itself when the port file goes, and after a minute without requests.
    const std::wstring command = std::wstring(kPython) + L" \"" + FromUtf8(unixScript) + L"\" --port-file \"" +
                                 FromUtf8(unixFolder) + L"/port\" --record \"" + FromUtf8(unixFolder) +
                                 L"/record.xml\" --idle 60 --lifetime 600";
    if (!RunUnixProgram(command)) return;

    for (int waited = 0; waited < 30000; waited += 50) {
        const std::string text = ReadWholeFile(portFile_);
        if (!text.empty()) {
            port_ = std::atoi(text.c_str());
            const auto space = text.find(' ');
            if (space != std::string::npos) unixPid_ = std::strtoul(text.c_str() + space + 1, nullptr, 10);
            return;
        }
        ::Sleep(50);
    }
}

ReportService::~ReportService() {
    stop();
    if (!folder_.empty()) {
        ::DeleteFileW(recordFile_.c_str());
        ::DeleteFileW((recordFile_ + L".tmp").c_str());
        ::DeleteFileW((portFile_ + L".tmp").c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
}

std::wstring ReportService::base(const std::wstring& mode) const {
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port_);
    if (!mode.empty()) url += L"/" + mode;
    return url;
}

std::string ReportService::record() const { return ReadWholeFile(recordFile_); }

void ReportService::stop() {
    if (!portFile_.empty()) ::DeleteFileW(portFile_.c_str());
    if (unixPid_ != 0) {
        for (int waited = 0; waited < 5000 && ProcessAlive(unixPid_); waited += 50) ::Sleep(50);
        if (ProcessAlive(unixPid_)) {
            RunUnixProgram(L"Z:\\bin\\kill -9 " + std::to_wstring(unixPid_));
            for (int waited = 0; waited < 5000 && ProcessAlive(unixPid_); waited += 50) ::Sleep(50);
        }
    }
    unixPid_ = 0;
}

}  // namespace ta::test
