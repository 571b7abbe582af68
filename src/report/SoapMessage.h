#pragma once
// What a SOAP 1.1 call sends: the operation as the service description binds it, and the
// envelope built from it. Pure text work, no system calls.
#include <string>
#include <string_view>
#include <vector>

namespace ta::report {

struct SoapParameter {
    std::wstring name;
    bool qualified = false;  // in the wrapper's namespace, or in none
};

struct SoapOperation {
    std::wstring endpoint;    // where the request is posted
    std::wstring soapAction;  // the SOAPAction header's value, without quotes
    bool encoded = false;     // use="encoded": each value carries its type
    std::wstring wrapperName;
    std::wstring wrapperNamespace;  // may be empty
    std::vector<SoapParameter> parameters;
};

// The text as XML character data or attribute value: & < > " ' and CR escaped. Throws AppError
// for characters XML cannot carry (controls other than tab, LF and CR; unpaired surrogates).
std::wstring EscapeXml(std::wstring_view text);

// The whole request envelope, arguments matched to the parameters by position; throws AppError
// when their counts differ or a name from the description is not a plain XML name.
std::wstring BuildEnvelope(const SoapOperation& operation, const std::vector<std::wstring>& arguments);

}  // namespace ta::report
