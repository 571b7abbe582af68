#pragma once
// The removal's rule: a step that fails is passed over and the next one runs. Every sequence
// runs its steps through Attempt, so the rule lives in one place. Every step is declared (Step.h),
// and what stopped it goes to the removal record under its name instead of being dropped.
#include <exception>
#include <string>
#include <utility>

#include "record/RemovalRecord.h"

namespace ta {

// Writes the failure that ended the current step (the exception being handled) to the record.
void RecordCaughtFailure() noexcept;
// What the exception being handled says, as the record gives it ("program error 17: ...").
std::wstring CaughtFailureText();

// Runs part of the step this thread runs: an exception that ends it is recorded as that step's
// failure, and the step goes on with what follows; answers false then.
template <typename Body>
bool Attempt(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        RecordCaughtFailure();
        return false;
    }
}

// Runs step: what it records is filed under it, and an exception that ends it is recorded as the
// step's failure; answers false then.
template <typename Body>
bool Attempt(const Step& step, Body&& body) noexcept {
    StepScope scope(&step);
    return Attempt(std::forward<Body>(body));
}

// Runs every body in order, each through Attempt under step.
template <typename... Bodies>
void AttemptEach(const Step& step, Bodies&&... bodies) noexcept {
    (Attempt(step, std::forward<Bodies>(bodies)), ...);
}

}  // namespace ta
