#pragma once
// The SOAP client's failures: the program's one error type, with the client as its source.
#include <string>

namespace ta::report {

[[noreturn]] void RaiseSoapError(const std::wstring& description);

}  // namespace ta::report
