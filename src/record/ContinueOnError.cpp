#include "record/ContinueOnError.h"

#include <new>
#include <stdexcept>

#include "platform/AppError.h"
#include "platform/Text.h"

namespace ta {

std::wstring CaughtFailureText() {
    try {
        throw;
    } catch (const AppError& error) {
        // The program's own numbers, told apart from the system's "error 5: ..." in the same log.
        return L"program error " + std::to_wstring(error.code()) + L": " + error.description();
    } catch (const std::exception& error) {
        return FromAnsi(error.what());
    } catch (...) {
        return L"unknown failure";
    }
}

void RecordCaughtFailure() noexcept {
    try {
        Record(ItemKind::Step, L"", Outcome::Failed, 0, KeptBy::None, CaughtFailureText());
    } catch (...) {
        // Recording must never turn a passed-over step into a crash.
    }
}

}  // namespace ta
