#pragma once
// The requests the local report service recorded, read back from its record file.
#include <string>
#include <vector>

#include "report/XmlDocument.h"

namespace ta::test {

struct RecordedRequest {
    std::wstring method;
    std::wstring path;
    std::wstring soapAction;
    std::wstring contentType;
    std::string body;  // UTF-8
};

struct Record {
    int connections = 0;
    std::vector<RecordedRequest> requests;
};

Record ReadRecord(const std::string& recordXml);

// An element as the request body holds it.
struct BodyElement {
    std::wstring name;       // local name
    std::wstring namespaceUri;
    std::wstring text;
};

// The operation element under the envelope's body, and its child elements in order.
struct ParsedCall {
    BodyElement wrapper;
    std::vector<BodyElement> parameters;
};
ParsedCall ParseCall(const std::string& envelope);

}  // namespace ta::test
