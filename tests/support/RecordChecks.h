#pragma once
// Checks on a run's record that tests running side by side can rely on.
#include <algorithm>
#include <cstddef>

#include "record/RemovalRecord.h"
#include "registry/DebugLog.h"

namespace ta::test {

// The failed entries of the record, the registry's trace (taupdbg.dbg) left out: that trace is
// one file beside every test program of the build, which a test running beside this one may hold
// for a moment, and a trace line lost leaves nothing behind.
inline std::size_t FailuresBesideTheTrace(const RemovalRecord& record) {
    const auto entries = record.Entries();
    return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(), [](const RecordEntry& entry) {
        return entry.outcome == Outcome::Failed && entry.step != Regset::kWriteDebugLogStep.name;
    }));
}

}  // namespace ta::test
