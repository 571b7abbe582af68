#pragma once
// A SOAP 1.1 client that learns the service from its description at run time: initialise it with
// the description's address, then call operations by name with text arguments.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ComPtr.h"
#include "report/HttpExchange.h"

namespace ta::report {

class ServiceDescription;

using PropertyValue = std::variant<bool, long, std::wstring>;

class SoapClient {
public:
    // allWithin, when given, bounds everything the client does, description and calls together;
    // each exchange gets the lesser of what is left of it and "Timeout".
    explicit SoapClient(std::optional<Deadline> allWithin = std::nullopt);
    ~SoapClient();
    SoapClient(const SoapClient&) = delete;
    SoapClient& operator=(const SoapClient&) = delete;

    // Fetches the description with GET, within the time limit in force (kDefaultTimeoutMs until
    // "Timeout" is set), and reads it. serviceName and portName, when not empty,
    // choose among the services and ports it offers; mappingFile must be empty (no type mappings
    // are needed for text arguments). Throws AppError when the description cannot be fetched or read.
    void Initialize(const std::wstring& descriptionUrl, const std::wstring& serviceName = {},
                    const std::wstring& portName = {}, const std::wstring& mappingFile = {});

    // "ServerHTTPRequest" (bool): accepted; every exchange goes through the server-grade HTTP stack.
    void SetClientProperty(const std::wstring& name, const PropertyValue& value);
    // "Timeout" (milliseconds, positive): the limit of each later HTTP exchange as a whole.
    void SetConnectorProperty(const std::wstring& name, const PropertyValue& value);

    // Posts the operation with the arguments matched to its parameters by position and answers the
    // text of the answer's result element ("" when the answer carries none). Throws AppError on
    // a transport failure, a time-out, a status other than 200, a SOAP fault or an unreadable answer.
    std::wstring Call(const std::wstring& operation, const std::vector<std::wstring>& arguments);

    // Ceiling on the bytes read from the server for one description or answer.
    static constexpr std::size_t kMaxAnswerBytes = 16u << 20;
    static constexpr long kDefaultTimeoutMs = 5000;

private:
    // The deadline of one exchange starting now.
    Deadline ExchangeDeadline() const;

    ComApartment com_;  // first in, last out: the XML documents below need it
    std::optional<Deadline> allWithin_;
    std::unique_ptr<ServiceDescription> description_;
    std::wstring descriptionUrl_;  // where it came from: the call goes to the same server only
    std::wstring serviceName_;
    std::wstring portName_;
    long timeoutMs_ = kDefaultTimeoutMs;
    bool serverHttpRequest_ = false;
};

}  // namespace ta::report
