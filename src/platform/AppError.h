#pragma once
// The program's one error type. Arithmetic faults, bad indexes and the few named failures
// travel as AppError; every removal step catches them through Attempt (ContinueOnError.h).
#include <stdexcept>
#include <string>

namespace ta {

// Error numbers as the program reports them.
enum class ErrorNumber : long {
    Overflow = 6,
    OutOfRange = 9,       // "Subscript out of range": an index outside an array or pixel view
    DivisionByZero = 11,
    FloatingPoint = 16,   // an invalid floating-point operation or result
    CannotPerform = 17,   // an operation the system refused, with the system's message text
    FileAccess = 75,      // a file that cannot be created or written
};

class AppError : public std::runtime_error {
public:
    AppError(ErrorNumber number, std::wstring source, std::wstring description);

    ErrorNumber number() const noexcept { return number_; }
    long code() const noexcept { return static_cast<long>(number_); }
    const std::wstring& source() const noexcept { return source_; }
    const std::wstring& description() const noexcept { return description_; }

private:
    ErrorNumber number_;
    std::wstring source_;
    std::wstring description_;
};

[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseOutOfRange();
[[noreturn]] void RaiseDivisionByZero();
[[noreturn]] void RaiseFloatingPoint();

// The system's message text for an error number, without its trailing line break; empty if none.
std::wstring SystemMessageText(unsigned long errorNumber);

}  // namespace ta
