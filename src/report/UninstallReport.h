#pragma once
// Tells the product's web service that this installation was removed.

#include "record/Step.h"
#include "run/RemovalRun.h"

namespace ta {

// The report is the run's own word to the service: it never stands for the removal's outcome.
inline constexpr Step kSendUninstallReportStep{L"SendUninstallReport", Footprint::None};

// One SOAP call "Ta_Logon" to the run's MServerSetting with its PidSetting and the code "30",
// over within 5 s of the start, service description included; best effort: nothing is shown, and
// what became of it (sent, not sent, refused, and why) goes to the record as the report's own line.
void SendUninstallReport(const RemovalRun& run);

}  // namespace ta
