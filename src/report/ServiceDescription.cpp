#include "report/ServiceDescription.h"

#include "report/SoapError.h"

namespace ta::report {
namespace {

constexpr wchar_t kNamespaces[] =
    L"xmlns:w='http://schemas.xmlsoap.org/wsdl/' xmlns:soap='http://schemas.xmlsoap.org/wsdl/soap/' "
    L"xmlns:xs='http://www.w3.org/2001/XMLSchema'";

struct QName {
    std::wstring prefix;
    std::wstring local;
};

QName SplitQName(const std::wstring& text) {
    const auto colon = text.find(L':');
    if (colon == std::wstring::npos) return {L"", text};
    return {text.substr(0, colon), text.substr(colon + 1)};
}

// The first child element of kind xpath whose "name" attribute is name.
XmlNode ChildNamed(IXMLDOMNode* parent, const std::wstring& xpath, const std::wstring& name) {
    for (XmlNode& node : SelectNodes(parent, xpath)) {
        if (Attribute(node.get(), L"name") == name) return node;
    }
    return {};
}

[[noreturn]] void Incomplete(const std::wstring& what) {
    RaiseSoapError(L"The service description is incomplete: " + what + L".");
}

}  // namespace

ServiceDescription::ServiceDescription(const std::string& bytes) : doc_(bytes, kNamespaces) {
    if (!doc_.selectOne(L"/w:definitions")) RaiseSoapError(L"The document is not a service description.");
}

SoapOperation ServiceDescription::find(const std::wstring& operation, const std::wstring& serviceName,
                                       const std::wstring& portName) const {
    XmlNode definitions = doc_.selectOne(L"/w:definitions");
    for (XmlNode& service : SelectNodes(definitions.get(), L"w:service")) {
        if (!serviceName.empty() && Attribute(service.get(), L"name") != serviceName) continue;
        for (XmlNode& port : SelectNodes(service.get(), L"w:port[soap:address]")) {
            if (!portName.empty() && Attribute(port.get(), L"name") != portName) continue;
            XmlNode binding = ChildNamed(definitions.get(), L"w:binding[soap:binding]",
                                         SplitQName(Attribute(port.get(), L"binding")).local);
            XmlNode bound = ChildNamed(binding.get(), L"w:operation", operation);
            if (!bound) continue;
            SoapOperation call = describe(binding.get(), bound.get(), operation);
            call.endpoint = Attribute(SelectNode(port.get(), L"soap:address").get(), L"location");
            if (call.endpoint.empty()) Incomplete(L"the port has no address");
            return call;
        }
    }
    RaiseSoapError(L"The service description offers no operation " + operation + L" over SOAP 1.1.");
}

SoapOperation ServiceDescription::describe(IXMLDOMNode* binding, IXMLDOMNode* bindingOperation,
                                           const std::wstring& operation) const {
    SoapOperation call;
    XmlNode soapOperation = SelectNode(bindingOperation, L"soap:operation");
    call.soapAction = Attribute(soapOperation.get(), L"soapAction");
    std::wstring style = Attribute(soapOperation.get(), L"style");
    if (style.empty()) style = Attribute(SelectNode(binding, L"soap:binding").get(), L"style");
    XmlNode body = SelectNode(bindingOperation, L"w:input/soap:body");
    call.encoded = Attribute(body.get(), L"use") == L"encoded";

    XmlNode definitions = doc_.selectOne(L"/w:definitions");
    XmlNode portType = ChildNamed(definitions.get(), L"w:portType", SplitQName(Attribute(binding, L"type")).local);
    XmlNode abstract = ChildNamed(portType.get(), L"w:operation", operation);
    if (!abstract) Incomplete(L"no port type for " + operation);
    XmlNode message = ChildNamed(definitions.get(), L"w:message",
                                 SplitQName(Attribute(SelectNode(abstract.get(), L"w:input").get(), L"message")).local);
    if (!message) Incomplete(L"no input message for " + operation);
    std::vector<XmlNode> parts = SelectNodes(message.get(), L"w:part");

    if (style == L"rpc") {
        call.wrapperName = operation;
        call.wrapperNamespace = Attribute(body.get(), L"namespace");
        if (call.wrapperNamespace.empty()) call.wrapperNamespace = Attribute(definitions.get(), L"targetNamespace");
        for (XmlNode& part : parts) call.parameters.push_back({Attribute(part.get(), L"name"), false});
        return call;
    }
    if (parts.size() != 1 || !HasAttribute(parts.front().get(), L"element")) {
        Incomplete(L"the input of " + operation + L" is not one wrapper element");
    }
    readWrappedElement(parts.front().get(), call);
    return call;
}

void ServiceDescription::readWrappedElement(IXMLDOMNode* part, SoapOperation& call) const {
    const QName element = SplitQName(Attribute(part, L"element"));
    const std::wstring elementNamespace = NamespaceOfPrefix(part, element.prefix);

    // The schema of the element's namespace that declares it at its top level.
    XmlNode schema;
    XmlNode declaration;
    for (XmlNode& candidate : doc_.select(L"/w:definitions/w:types/xs:schema")) {
        if (Attribute(candidate.get(), L"targetNamespace") != elementNamespace) continue;
        declaration = ChildNamed(candidate.get(), L"xs:element", element.local);
        if (declaration) {
            schema = candidate;
            break;
        }
    }
    if (!declaration) Incomplete(L"no schema declares the element " + element.local);

    XmlNode type = SelectNode(declaration.get(), L"xs:complexType");
    if (!type && HasAttribute(declaration.get(), L"type")) {
        type = ChildNamed(schema.get(), L"xs:complexType", SplitQName(Attribute(declaration.get(), L"type")).local);
    }
    if (!type) Incomplete(L"the element " + element.local + L" has no complex type");

    call.wrapperName = element.local;
    call.wrapperNamespace = elementNamespace;
    const bool qualifiedByDefault = Attribute(schema.get(), L"elementFormDefault") == L"qualified";
    for (XmlNode& child : SelectNodes(type.get(), L"xs:sequence/xs:element")) {
        if (HasAttribute(child.get(), L"ref")) {
            call.parameters.push_back({SplitQName(Attribute(child.get(), L"ref")).local, true});
            continue;
        }
        const std::wstring form = Attribute(child.get(), L"form");
        call.parameters.push_back({Attribute(child.get(), L"name"), form.empty() ? qualifiedByDefault : form == L"qualified"});
    }
}

}  // namespace ta::report
