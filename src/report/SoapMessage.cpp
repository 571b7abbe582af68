#include "report/SoapMessage.h"

#include <cwctype>

#include "report/SoapError.h"

namespace ta::report {
namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Names come from the description; only plain names go into the envelope's markup.
const std::wstring& CheckedName(const std::wstring& name) {
    bool ok = !name.empty() && name.front() != L'-' && name.front() != L'.' && !std::iswdigit(name.front());
    for (wchar_t c : name) {
        ok = ok && (std::iswalnum(c) || c == L'_' || c == L'-' || c == L'.' || c >= 0x80);
    }
    if (!ok) RaiseSoapError(L"The service description names an element \"" + name + L"\" that cannot be written.");
    return name;
}

}  // namespace

std::wstring EscapeXml(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        switch (c) {
            case L'&': out += L"&amp;"; continue;
            case L'<': out += L"&lt;"; continue;
            case L'>': out += L"&gt;"; continue;
            case L'"': out += L"&quot;"; continue;
            case L'\'': out += L"&apos;"; continue;
            case L'\r': out += L"&#13;"; continue;  // a raw CR would be read back as LF
            default: break;
        }
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out += c;
            out += text[++i];
            continue;
        }
        if ((c < 0x20 && c != L'\t' && c != L'\n') || IsHighSurrogate(c) || IsLowSurrogate(c) || c == 0xFFFE ||
            c == 0xFFFF) {
            RaiseSoapError(L"The text holds a character that XML cannot carry.");
        }
        out += c;
    }
    return out;
}

std::wstring BuildEnvelope(const SoapOperation& operation, const std::vector<std::wstring>& arguments) {
    if (arguments.size() != operation.parameters.size()) {
        RaiseSoapError(L"The operation " + operation.wrapperName + L" takes " +
                       std::to_wstring(operation.parameters.size()) + L" arguments, not " +
                       std::to_wstring(arguments.size()) + L".");
    }
    const bool hasNamespace = !operation.wrapperNamespace.empty();
    const std::wstring wrapper = (hasNamespace ? L"m:" : L"") + CheckedName(operation.wrapperName);

    std::wstring xml =
        L"<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        L"<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\""
        L" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
        L" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body><";
    xml += wrapper;
    if (hasNamespace) xml += L" xmlns:m=\"" + EscapeXml(operation.wrapperNamespace) + L"\"";
    if (operation.encoded) xml += L" soap:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"";
    xml += L">";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const SoapParameter& p = operation.parameters[i];
        const std::wstring name = (p.qualified && hasNamespace ? L"m:" : L"") + CheckedName(p.name);
        xml += L"<" + name;
        if (operation.encoded) xml += L" xsi:type=\"xsd:string\"";
        xml += L">" + EscapeXml(arguments[i]) + L"</" + name + L">";
    }
    xml += L"</" + wrapper + L"></soap:Body></soap:Envelope>";
    return xml;
}

}  // namespace ta::report
