#pragma once
// The one-line trace of the last registry value the program touched, kept in "taupdbg.dbg"
// beside the executable.
#include <string>

#include "record/Step.h"

namespace Regset {

// The program's own trace: nothing of the product stays when it fails.
inline constexpr ta::Step kWriteDebugLogStep{L"WriteDebugLog", ta::Footprint::None};

// Rewrites the log with the single line "TaTra:" time ":" message, in the ANSI code page. Best
// effort: a log that cannot be created or written, or that is a link or one of several names of a
// file, is left as it is; the current record says so once, and the caller goes on.
void WriteDebugLog(const std::wstring& message);

// Where the log lives: the executable's folder + "\taupdbg.dbg".
std::wstring DebugLogPath();

}  // namespace Regset
