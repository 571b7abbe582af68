#pragma once
// The removal's rule: a step that fails is passed over and the next one runs. Every sequence
// runs its steps through Attempt, so the rule lives in one place. Every step has a name, and what
// stopped it goes to the removal record under that name instead of being dropped.
#include <exception>
#include <string>
#include <utility>

#include "record/RemovalRecord.h"

namespace ta {

// Writes the failure that ended the current step (the exception being handled) to the record.
void RecordCaughtFailure() noexcept;
// What the exception being handled says, as the record gives it ("error 17: ...").
std::wstring CaughtFailureText();

// Runs the step named stepName: what it records is filed under that name, and an exception that
// ends it is recorded as the step's failure; answers false then. A null name files both under
// no step.
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

// Runs every step in order, each through Attempt under stepName.
template <typename... Steps>
void AttemptEach(const wchar_t* stepName, Steps&&... steps) noexcept {
    (Attempt(stepName, std::forward<Steps>(steps)), ...);
}

}  // namespace ta
