#pragma once
// Tells the product's web service that this installation was removed.

namespace ta {

// One SOAP call "Ta_Logon" with PidSetting and the code "30"; best effort, silent on failure.
void SendUninstallReport();

}  // namespace ta
