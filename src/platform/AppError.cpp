#include "platform/AppError.h"

#include <windows.h>

#include "platform/Text.h"

namespace ta {
namespace {

std::wstring DefaultDescription(ErrorNumber number) {
    switch (number) {
        case ErrorNumber::Overflow: return L"Overflow";
        case ErrorNumber::OutOfRange: return L"Subscript out of range";
        case ErrorNumber::DivisionByZero: return L"Division by zero";
        case ErrorNumber::FloatingPoint: return L"Floating-point error";
        case ErrorNumber::CannotPerform: return L"Can't perform requested operation";
        case ErrorNumber::FileAccess: return L"Path/File access error";
    }
    return L"Error";
}

}  // namespace

AppError::AppError(ErrorNumber number, std::wstring source, std::wstring description)
    : std::runtime_error(ToUtf8(description.empty() ? DefaultDescription(number) : description)),
      number_(number),
      source_(std::move(source)),
      description_(description.empty() ? DefaultDescription(number) : std::move(description)) {}

void RaiseOverflow() { throw AppError(ErrorNumber::Overflow, {}, {}); }
void RaiseOutOfRange() { throw AppError(ErrorNumber::OutOfRange, {}, {}); }
void RaiseDivisionByZero() { throw AppError(ErrorNumber::DivisionByZero, {}, {}); }
void RaiseFloatingPoint() { throw AppError(ErrorNumber::FloatingPoint, {}, {}); }

std::wstring SystemMessageText(unsigned long errorNumber) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        errorNumber, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

}  // namespace ta
