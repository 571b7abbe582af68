#include "report/SoapClient.h"

#include "platform/Text.h"
#include "report/ServiceDescription.h"
#include "report/SoapError.h"

namespace ta::report {
namespace {

constexpr wchar_t kEnvelopeNamespaces[] = L"xmlns:env='http://schemas.xmlsoap.org/soap/envelope/'";

bool SameName(const std::wstring& a, const wchar_t* b) { return ToLower(a) == ToLower(b); }

HttpResponse Exchange(HttpRequest request, const Deadline& deadline) {
    request.maxBodyBytes = SoapClient::kMaxAnswerBytes;
    return HttpExchange(request, deadline);
}

// The answer's result: a fault or anything but a readable envelope with status 200 is an error.
std::wstring ReadAnswer(const HttpResponse& response) {
    std::unique_ptr<XmlDocument> answer;
    try {
        answer = std::make_unique<XmlDocument>(response.body, kEnvelopeNamespaces);
    } catch (...) {
        if (response.status != 200) RaiseSoapError(L"HTTP " + std::to_wstring(response.status), SoapFailure::Refused);
        throw;
    }
    if (XmlNode fault = answer->selectOne(L"/env:Envelope/env:Body/env:Fault")) {
        RaiseSoapError(L"SOAP fault: " + NodeText(SelectNode(fault.get(), L"faultstring").get()), SoapFailure::Refused);
    }
    if (response.status != 200) RaiseSoapError(L"HTTP " + std::to_wstring(response.status), SoapFailure::Refused);
    XmlNode body = answer->selectOne(L"/env:Envelope/env:Body");
    if (!body) RaiseSoapError(L"The answer is not a SOAP envelope.");
    return NodeText(SelectNode(body.get(), L"*[1]/*[1]").get());
}

}  // namespace

SoapClient::SoapClient(std::optional<Deadline> allWithin) : allWithin_(allWithin) {}
SoapClient::~SoapClient() = default;

Deadline SoapClient::ExchangeDeadline() const {
    const Deadline own(static_cast<unsigned long>(timeoutMs_));
    return allWithin_ && allWithin_->endsBefore(own) ? *allWithin_ : own;
}

void SoapClient::Initialize(const std::wstring& descriptionUrl, const std::wstring& serviceName,
                            const std::wstring& portName, const std::wstring& mappingFile) {
    if (!mappingFile.empty()) RaiseSoapError(L"Type mapping files are not supported.");
    description_.reset();
    HttpRequest request;
    request.url = descriptionUrl;
    const HttpResponse response = Exchange(request, ExchangeDeadline());
    if (response.status != 200) {
        RaiseSoapError(L"HTTP " + std::to_wstring(response.status) + L" for the service description",
                       SoapFailure::Refused);
    }
    description_ = std::make_unique<ServiceDescription>(response.body);
    descriptionUrl_ = descriptionUrl;
    serviceName_ = serviceName;
    portName_ = portName;
}

void SoapClient::SetClientProperty(const std::wstring& name, const PropertyValue& value) {
    if (!SameName(name, L"ServerHTTPRequest") || !std::holds_alternative<bool>(value)) {
        RaiseSoapError(L"Unknown client property or value: " + name);
    }
    serverHttpRequest_ = std::get<bool>(value);
}

void SoapClient::SetConnectorProperty(const std::wstring& name, const PropertyValue& value) {
    if (!SameName(name, L"Timeout") || !std::holds_alternative<long>(value) || std::get<long>(value) <= 0) {
        RaiseSoapError(L"Unknown connector property or value: " + name);
    }
    timeoutMs_ = std::get<long>(value);
}

std::wstring SoapClient::Call(const std::wstring& operation, const std::vector<std::wstring>& arguments) {
    if (!description_) RaiseSoapError(L"The client has not been initialised.");
    const SoapOperation call = description_->find(operation, serviceName_, portName_);
    // The action goes into a header line: a line break there would add header lines of the
    // description's choosing.
    for (const wchar_t c : call.soapAction) {
        if (c < 0x20 || c == 0x7F)
            RaiseSoapError(L"the service description's soapAction holds control characters", SoapFailure::Refused);
    }

    // The report stays with the server it was meant for: a description from a server that is no
    // longer the vendor's must not send the call to another host of its choosing.
    if (!SameOrigin(call.endpoint, descriptionUrl_))
        RaiseSoapError(L"the service description names another host: " + call.endpoint, SoapFailure::Refused);

    HttpRequest request;
    request.method = L"POST";
    request.url = call.endpoint;
    request.headers = L"Content-Type: text/xml; charset=utf-8\r\nSOAPAction: \"" + call.soapAction + L"\"\r\n";
    request.body = ToUtf8(BuildEnvelope(call, arguments));
    return ReadAnswer(Exchange(request, ExchangeDeadline()));
}

}  // namespace ta::report
