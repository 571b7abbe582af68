#pragma once
// The values the whole run shares: set once by start-up and the start page, read by the removal
// steps and the report. They live for the whole run.
#include <cstdint>
#include <string>

namespace ta {

// The system folder without a trailing backslash; empty when it could not be found.
inline std::wstring SystemDir;
// "PID" and "mserver" of the product key, or "Error".
inline std::wstring PidSetting;
inline std::wstring MServerSetting;
// Sum of the sizes of every file passed to deletion with a progress update; the bar's Value.
inline int32_t DeletedBytes = 0;

}  // namespace ta
