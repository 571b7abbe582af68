#pragma once
// The SOAP client's failures: the program's one error type, with the client as its source, and
// how far the exchange got, for whoever has to say what became of a report.
#include <string>

#include "platform/AppError.h"

namespace ta::report {

// The report's line tells only these two apart.
enum class SoapFailure {
    Refused,  // the service answered with an error status or a fault
    NotSent,  // nothing answered in time, or the address, the description or the answer could not be used
};

class SoapError : public AppError {
public:
    SoapError(SoapFailure failure, std::wstring description);
    SoapFailure failure() const noexcept { return failure_; }

private:
    SoapFailure failure_;
};

[[noreturn]] void RaiseSoapError(const std::wstring& description, SoapFailure failure = SoapFailure::NotSent);

}  // namespace ta::report
