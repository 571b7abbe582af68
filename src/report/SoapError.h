#pragma once
// The SOAP client's failures: the program's one error type, with the client as its source, and
// how far the exchange got, for whoever has to say what became of a report.
#include <string>

#include "platform/AppError.h"

namespace ta::report {

enum class SoapFailure {
    NoAnswer,  // nothing answered at the address (no connection, or not within the time limit)
    Refused,   // the service answered with an error status or a fault
    Unusable,  // the address, the description or the answer could not be used
};

class SoapError : public AppError {
public:
    SoapError(SoapFailure failure, std::wstring description);
    SoapFailure failure() const noexcept { return failure_; }

private:
    SoapFailure failure_;
};

[[noreturn]] void RaiseSoapError(const std::wstring& description, SoapFailure failure = SoapFailure::Unusable);

}  // namespace ta::report
