#include "RecordedRequests.h"

#include <cstdlib>

#include "platform/Text.h"

namespace ta::test {
namespace {

BodyElement Describe(IXMLDOMNode* node) {
    BodyElement e;
    Bstr name;
    Bstr uri;
    node->get_baseName(name.put());
    node->get_namespaceURI(uri.put());
    e.name = name.str();
    e.namespaceUri = uri.str();
    e.text = report::NodeText(node);
    return e;
}

}  // namespace

Record ReadRecord(const std::string& recordXml) {
    Record record;
    report::XmlDocument doc(recordXml, L"");
    record.connections = std::wcstol(report::Attribute(doc.selectOne(L"/requests").get(), L"connections").c_str(), nullptr, 10);
    for (report::XmlNode& node : doc.select(L"/requests/request")) {
        record.requests.push_back({report::Attribute(node.get(), L"method"), report::Attribute(node.get(), L"path"),
                                   report::Attribute(node.get(), L"soapaction"),
                                   report::Attribute(node.get(), L"content-type"),
                                   ToUtf8(report::NodeText(node.get()))});
    }
    return record;
}

ParsedCall ParseCall(const std::string& envelope) {
    report::XmlDocument doc(envelope, L"xmlns:env='http://schemas.xmlsoap.org/soap/envelope/'");
    ParsedCall call;
    report::XmlNode wrapper = doc.selectOne(L"/env:Envelope/env:Body/*");
    if (!wrapper) return call;
    call.wrapper = Describe(wrapper.get());
    for (report::XmlNode& child : report::SelectNodes(wrapper.get(), L"*")) call.parameters.push_back(Describe(child.get()));
    return call;
}

}  // namespace ta::test
