#include "report/XmlDocument.h"

#include <cstring>

#include "report/SoapError.h"

namespace ta::report {
namespace {

// The XML parser of version 6 and its document interface with selection properties.
constexpr CLSID kDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID kXmlDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    ~Variant() { ::VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() noexcept { return &v_; }

private:
    VARIANT v_;
};

void SetProperty(IXMLDOMDocument2* doc, const wchar_t* name, VARIANT value) {
    Bstr n(name);
    if (FAILED(doc->setProperty(n.get(), value))) RaiseSoapError(std::wstring(L"XML property ") + name + L" refused.");
}

VARIANT BoolVariant(bool value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

}  // namespace

XmlDocument::XmlDocument(const std::string& bytes, const std::wstring& selectionNamespaces) {
    if (FAILED(::CoCreateInstance(kDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kXmlDocument2, doc_.put_void()))) {
        RaiseSoapError(L"The XML parser is not available.");
    }
    doc_->put_async(VARIANT_FALSE);
    doc_->put_validateOnParse(VARIANT_FALSE);
    doc_->put_resolveExternals(VARIANT_FALSE);
    // Safety settings the parser may not know: the defaults are already safe where it does not.
    Bstr prohibitDtd(L"ProhibitDTD");
    doc_->setProperty(prohibitDtd.get(), BoolVariant(true));

    Variant source;
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) RaiseSoapError(L"Out of memory for the XML text.");
    source.get()->vt = VT_ARRAY | VT_UI1;
    source.get()->parray = array;
    if (!bytes.empty()) {
        void* data = nullptr;
        if (FAILED(::SafeArrayAccessData(array, &data))) RaiseSoapError(L"Out of memory for the XML text.");
        std::memcpy(data, bytes.data(), bytes.size());
        ::SafeArrayUnaccessData(array);
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(doc_->load(*source.get(), &loaded)) || loaded != VARIANT_TRUE) {
        RaiseSoapError(L"The text is not well-formed XML.");
    }
    ComPtr<IXMLDOMElement> root;
    if (FAILED(doc_->get_documentElement(root.put())) || !root) RaiseSoapError(L"The XML text has no element.");

    VARIANT language;
    ::VariantInit(&language);
    Bstr xpath(L"XPath");
    language.vt = VT_BSTR;
    language.bstrVal = xpath.get();
    SetProperty(doc_.get(), L"SelectionLanguage", language);
    VARIANT namespaces;
    ::VariantInit(&namespaces);
    Bstr ns(selectionNamespaces.c_str());
    namespaces.vt = VT_BSTR;
    namespaces.bstrVal = ns.get();
    SetProperty(doc_.get(), L"SelectionNamespaces", namespaces);
}

std::vector<XmlNode> XmlDocument::select(const std::wstring& xpath) const { return SelectNodes(doc_.get(), xpath); }

XmlNode XmlDocument::selectOne(const std::wstring& xpath) const { return SelectNode(doc_.get(), xpath); }

std::vector<XmlNode> SelectNodes(IXMLDOMNode* context, const std::wstring& xpath) {
    std::vector<XmlNode> nodes;
    if (!context) return nodes;
    Bstr query(xpath.c_str());
    ComPtr<IXMLDOMNodeList> list;
    if (FAILED(context->selectNodes(query.get(), list.put())) || !list) {
        RaiseSoapError(L"XPath query refused: " + xpath);
    }
    long count = 0;
    list->get_length(&count);
    for (long i = 0; i < count; ++i) {
        XmlNode node;
        if (SUCCEEDED(list->get_item(i, node.put())) && node) nodes.push_back(std::move(node));
    }
    return nodes;
}

XmlNode SelectNode(IXMLDOMNode* context, const std::wstring& xpath) {
    XmlNode node;
    if (!context) return node;
    Bstr query(xpath.c_str());
    if (FAILED(context->selectSingleNode(query.get(), node.put()))) node.reset();
    return node;
}

namespace {
bool ReadAttribute(IXMLDOMNode* node, const std::wstring& name, std::wstring& value) {
    if (!node) return false;
    ComPtr<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(IID_IXMLDOMElement, element.put_void())) || !element) return false;
    Bstr n(name.c_str());
    Variant v;
    if (element->getAttribute(n.get(), v.get()) != S_OK || v.get()->vt != VT_BSTR) return false;
    value.assign(v.get()->bstrVal, ::SysStringLen(v.get()->bstrVal));
    return true;
}
}  // namespace

std::wstring Attribute(IXMLDOMNode* node, const std::wstring& name) {
    std::wstring value;
    ReadAttribute(node, name, value);
    return value;
}

bool HasAttribute(IXMLDOMNode* node, const std::wstring& name) {
    std::wstring value;
    return ReadAttribute(node, name, value);
}

std::wstring NodeText(IXMLDOMNode* node) {
    Bstr text;
    if (!node || FAILED(node->get_text(text.put()))) return {};
    return text.str();
}

std::wstring NamespaceOfPrefix(IXMLDOMNode* node, const std::wstring& prefix) {
    const std::wstring declaration = prefix.empty() ? L"xmlns" : L"xmlns:" + prefix;
    if (!node) return {};
    node->AddRef();
    XmlNode current = XmlNode::Attach(node);
    while (current) {
        std::wstring uri;
        if (ReadAttribute(current.get(), declaration, uri)) return uri;
        XmlNode parent;
        if (FAILED(current->get_parentNode(parent.put()))) break;
        current = std::move(parent);
    }
    return {};
}

}  // namespace ta::report
