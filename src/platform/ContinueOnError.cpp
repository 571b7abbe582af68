#include "platform/ContinueOnError.h"

#include <new>
#include <stdexcept>

#include "platform/AppError.h"
#include "platform/Text.h"

namespace ta {

void RecordCaughtFailure() noexcept {
    try {
        try {
            throw;
        } catch (const AppError& error) {
            Record(ItemKind::Step, L"", Outcome::Failed, 0, KeptBy::None,
                   L"error " + std::to_wstring(error.code()) + L": " + error.description());
        } catch (const std::exception& error) {
            Record(ItemKind::Step, L"", Outcome::Failed, 0, KeptBy::None, FromAnsi(error.what()));
        } catch (...) {
            Record(ItemKind::Step, L"", Outcome::Failed, 0, KeptBy::None, L"unknown failure");
        }
    } catch (...) {
        // Recording must never turn a passed-over step into a crash.
    }
}

}  // namespace ta
