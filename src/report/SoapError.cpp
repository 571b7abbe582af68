#include "report/SoapError.h"

namespace ta::report {

SoapError::SoapError(SoapFailure failure, std::wstring description)
    : AppError(ErrorNumber::CannotPerform, L"SoapClient", std::move(description)), failure_(failure) {}

void RaiseSoapError(const std::wstring& description, SoapFailure failure) { throw SoapError(failure, description); }

}  // namespace ta::report
