#include "report/SoapError.h"

#include "platform/AppError.h"

namespace ta::report {

void RaiseSoapError(const std::wstring& description) {
    throw AppError(ErrorNumber::CannotPerform, L"SoapClient", description);
}

}  // namespace ta::report
