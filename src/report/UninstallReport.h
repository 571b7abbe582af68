#pragma once
// Tells the product's web service that this installation was removed.

#include "platform/RemovalRun.h"

namespace ta {

// One SOAP call "Ta_Logon" to the run's MServerSetting with its PidSetting and the code "30";
// best effort, silent on failure.
void SendUninstallReport(const RemovalRun& run);

}  // namespace ta
