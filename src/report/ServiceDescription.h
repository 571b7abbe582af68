#pragma once
// A service description (WSDL 1.1) as read from the service: finds an operation's SOAP 1.1
// binding, endpoint and parameters.
#include <string>

#include "report/SoapMessage.h"
#include "report/XmlDocument.h"

namespace ta::report {

class ServiceDescription {
public:
    // Throws AppError when the bytes are not XML or not a service description.
    explicit ServiceDescription(const std::string& bytes);

    // The operation as the first SOAP 1.1 port offers it, optionally only in the named service
    // and port. Document style is taken in the wrapped form: the input's one part names an
    // element whose sequence lists the parameters. Rpc style lists the message's parts. Throws
    // AppError when no such port offers the operation or its description is incomplete.
    SoapOperation find(const std::wstring& operation, const std::wstring& serviceName = {},
                       const std::wstring& portName = {}) const;

private:
    SoapOperation describe(IXMLDOMNode* binding, IXMLDOMNode* bindingOperation, const std::wstring& operation) const;
    void readWrappedElement(IXMLDOMNode* part, SoapOperation& call) const;

    XmlDocument doc_;
};

}  // namespace ta::report
