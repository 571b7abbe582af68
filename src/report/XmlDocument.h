#pragma once
// A parsed XML document on the system's XML parser (version 6), with XPath selection.
#include <windows.h>
#include <ole2.h>
#include <msxml2.h>

#include <string>
#include <vector>

#include "platform/ComPtr.h"

namespace ta::report {

using XmlNode = ComPtr<IXMLDOMNode>;

class XmlDocument {
public:
    // Parses the bytes (their encoding as the document declares it). selectionNamespaces binds the
    // prefixes that XPath expressions use, as "xmlns:p='uri' xmlns:q='uri'". Throws AppError when
    // the parser is missing or the bytes are not well-formed XML.
    XmlDocument(const std::string& bytes, const std::wstring& selectionNamespaces);

    std::vector<XmlNode> select(const std::wstring& xpath) const;
    XmlNode selectOne(const std::wstring& xpath) const;

private:
    ComPtr<IXMLDOMDocument2> doc_;
};

// Nodes under a context node; an empty list or null node when nothing matches.
std::vector<XmlNode> SelectNodes(IXMLDOMNode* context, const std::wstring& xpath);
XmlNode SelectNode(IXMLDOMNode* context, const std::wstring& xpath);
// An element's attribute; empty when the node is null, not an element or lacks it.
std::wstring Attribute(IXMLDOMNode* node, const std::wstring& name);
bool HasAttribute(IXMLDOMNode* node, const std::wstring& name);
// The text content of a node and everything below it; empty for a null node.
std::wstring NodeText(IXMLDOMNode* node);
// The namespace a prefix stands for at this node ("" for the default namespace), looked up
// through the declarations on the node and its ancestors; empty when it is not declared.
std::wstring NamespaceOfPrefix(IXMLDOMNode* node, const std::wstring& prefix);

}  // namespace ta::report
