#pragma once
// The local stand-in for the uninstall-report web service (tests/fixtures/report-service/
// soap_service.py), run by Python on 127.0.0.1 for one scope: started on a free port, stopped
// and its files removed when the scope ends.
#include <windows.h>

#include <string>
#include "support/WinePaths.h"

namespace ta::test {

class ReportService {
public:
    // Starts the service and waits until it listens; check running() before use.
    ReportService();
    ~ReportService();
    ReportService(const ReportService&) = delete;
    ReportService& operator=(const ReportService&) = delete;

    bool running() const { return port_ != 0; }
    int port() const { return port_; }
    // "http://127.0.0.1:PORT", followed by "/mode" when a behaviour is named.
    std::wstring base(const std::wstring& mode = L"") const;
    // The record file's text (UTF-8 XML, see the script), as it stands now.
    std::string record() const;
    // Stops the service and waits until its process has gone; the port is then free.
    void stop();

private:
    std::wstring folder_;  // Windows paths
    std::wstring portFile_;
    std::wstring recordFile_;
    int port_ = 0;
    unsigned long unixPid_ = 0;
};

// Runs a Unix program (e.g. L"Z:\\bin\\kill -9 123") without waiting for it.
bool RunUnixProgram(const std::wstring& commandLine);

}  // namespace ta::test
