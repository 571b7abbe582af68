#pragma once
// The removal's rule: a step that fails is passed over and the next one runs. Every sequence
// runs its steps through Attempt, so the rule lives in one place. A named step also writes what
// stopped it to the removal record instead of dropping it.
#include <exception>
#include <utility>

#include "platform/RemovalRecord.h"

namespace ta {

// Writes the failure that ended the current step (the exception being handled) to the record.
void RecordCaughtFailure() noexcept;

// Runs one step; answers false when it failed with any exception, which is swallowed.
template <typename Step>
bool Attempt(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (...) {
        return false;
    }
}

// Runs the step named stepName: what it records is filed under that name, and an exception that
// ends it is recorded as the step's failure.
template <typename Step>
bool Attempt(const wchar_t* stepName, Step&& step) noexcept {
    StepScope scope(stepName);
    try {
        std::forward<Step>(step)();
        return true;
    } catch (...) {
        RecordCaughtFailure();
        return false;
    }
}

// Runs every step in order, each through Attempt.
template <typename... Steps>
void AttemptEach(Steps&&... steps) noexcept {
    (Attempt(std::forward<Steps>(steps)), ...);
}

}  // namespace ta
