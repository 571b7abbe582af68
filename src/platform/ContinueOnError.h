#pragma once
// The removal's rule: a step that fails is passed over silently and the next one runs.
// Every sequence runs its steps through Attempt, so the rule lives in one place.
#include <exception>
#include <utility>

namespace ta {

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

// Runs every step in order, each through Attempt.
template <typename... Steps>
void AttemptEach(Steps&&... steps) noexcept {
    (Attempt(std::forward<Steps>(steps)), ...);
}

}  // namespace ta
