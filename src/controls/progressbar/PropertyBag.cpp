#include "controls/progressbar/PropertyBag.h"

#include <cwchar>
#include <sstream>

#include "platform/Text.h"

namespace ta {
namespace {

bool SameKey(std::wstring_view a, std::wstring_view b) { return a.size() == b.size() && ToLower(a) == ToLower(b); }

bool SameValue(const PropertyValue& a, const PropertyValue& b) {
    if (a.index() != b.index()) return false;
    return std::visit(
        [&](const auto& left) {
            using T = std::decay_t<decltype(left)>;
            const T& right = std::get<T>(b);
            if constexpr (std::is_same_v<T, PictureRef>) {
                return left.get() == right.get();
            } else {
                return left == right;
            }
        },
        a);
}

std::wstring Quote(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') out += L'\\';
        if (c == L'\n') {
            out += L"\\n";
            continue;
        }
        out += c;
    }
    return out + L"\"";
}

std::wstring Hex(uint32_t rgb) {
    wchar_t buffer[8];
    std::swprintf(buffer, 8, L"%06X", rgb & 0xFFFFFFu);
    return buffer;
}

std::wstring Number(double value) {
    std::wostringstream out;
    out.precision(15);
    out << value;
    return out.str();
}

std::wstring FormatValue(const PropertyValue& value) {
    struct Formatter {
        std::wstring operator()(int32_t v) const { return L"Long " + std::to_wstring(v); }
        std::wstring operator()(int16_t v) const { return L"Integer " + std::to_wstring(v); }
        std::wstring operator()(const std::wstring& v) const { return L"String " + Quote(v); }
        std::wstring operator()(const PictureRef& v) const {
            const SIZE size = PicturePixelSize(v.get());
            const std::vector<uint32_t> pixels = PicturePixels(v.get());
            if (pixels.empty()) return L"Picture";
            std::wstring out = L"Picture " + std::to_wstring(size.cx) + L" " + std::to_wstring(size.cy);
            for (uint32_t p : pixels) out += L" " + Hex(p);
            return out;
        }
        std::wstring operator()(const FontDescription& f) const {
            return L"Font " + Quote(f.name) + L" " + Number(f.points) + L" " + std::to_wstring(f.weight) + L" " +
                   std::to_wstring(f.charset) + L" " + (f.italic ? L"1" : L"0") + L" " + (f.underline ? L"1" : L"0") +
                   L" " + (f.strikethrough ? L"1" : L"0");
        }
    };
    return std::visit(Formatter{}, value);
}

// Splits a value into words; a quoted word may hold blanks and the escapes \" \\ \n.
std::vector<std::wstring> Words(std::wstring_view text) {
    std::vector<std::wstring> words;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == L' ' || text[i] == L'\t') {
            ++i;
            continue;
        }
        std::wstring word;
        if (text[i] == L'"') {
            for (++i; i < text.size() && text[i] != L'"'; ++i) {
                if (text[i] == L'\\' && i + 1 < text.size()) {
                    ++i;
                    word += text[i] == L'n' ? L'\n' : text[i];
                } else {
                    word += text[i];
                }
            }
            ++i;  // the closing quote
        } else {
            while (i < text.size() && text[i] != L' ' && text[i] != L'\t') word += text[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

long long WholeNumber(const std::wstring& word, int base = 10) {
    size_t used = 0;
    const long long n = std::stoll(word, &used, base);
    if (used != word.size()) throw std::invalid_argument("number");
    return n;
}

// Throws on anything it cannot read.
PropertyValue ParseValue(std::wstring_view text) {
    const std::vector<std::wstring> w = Words(text);
    if (w.empty()) throw std::invalid_argument("empty");
    const std::wstring type = ToLower(w[0]);
    if (type == L"long" && w.size() == 2) return static_cast<int32_t>(WholeNumber(w[1]));
    if (type == L"integer" && w.size() == 2) return static_cast<int16_t>(WholeNumber(w[1]));
    if (type == L"string" && w.size() == 2) return w[1];
    if (type == L"picture") {
        if (w.size() == 1) return MakePicture(nullptr);
        const auto width = static_cast<int32_t>(WholeNumber(w.at(1)));
        const auto height = static_cast<int32_t>(WholeNumber(w.at(2)));
        std::vector<uint32_t> pixels;
        for (size_t i = 3; i < w.size(); ++i) pixels.push_back(static_cast<uint32_t>(WholeNumber(w[i], 16)));
        PictureRef picture = MakePicture(width, height, pixels);
        if (!picture) throw std::invalid_argument("picture");
        return picture;
    }
    if (type == L"font" && w.size() == 8) {
        return FontDescription{w[1],
                               std::stod(w[2]),
                               static_cast<int32_t>(WholeNumber(w[3])),
                               static_cast<int32_t>(WholeNumber(w[4])),
                               WholeNumber(w[5]) != 0,
                               WholeNumber(w[6]) != 0,
                               WholeNumber(w[7]) != 0};
    }
    throw std::invalid_argument("type");
}

// Calls line(text) for each line of the text without its line break and surrounding blanks.
template <typename Each>
void ForEachLine(std::wstring_view text, Each each) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos) end = text.size();
        std::wstring_view raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == L'\r') raw.remove_suffix(1);
        const std::wstring line = TrimBlanks(raw);
        if (!each(line)) return;
        start = end + 1;
    }
}

}  // namespace

void PropertyBag::WriteProperty(std::wstring_view key, PropertyValue value) {
    for (auto& entry : entries_) {
        if (SameKey(entry.first, key)) {
            entry.second = std::move(value);
            return;
        }
    }
    entries_.emplace_back(std::wstring(key), std::move(value));
}

void PropertyBag::WriteProperty(std::wstring_view key, PropertyValue value, const PropertyValue& defaultValue) {
    if (SameValue(value, defaultValue)) {
        std::erase_if(entries_, [&](const auto& entry) { return SameKey(entry.first, key); });
        return;
    }
    WriteProperty(key, std::move(value));
}

const PropertyValue* PropertyBag::Find(std::wstring_view key) const {
    for (const auto& entry : entries_) {
        if (SameKey(entry.first, key)) return &entry.second;
    }
    return nullptr;
}

int32_t PropertyBag::ReadLong(std::wstring_view key, int32_t defaultValue) const {
    const PropertyValue* v = Find(key);
    if (!v) return defaultValue;
    if (auto* n = std::get_if<int32_t>(v)) return *n;
    if (auto* n = std::get_if<int16_t>(v)) return *n;
    return defaultValue;
}

bool PropertyBag::ReadBoolean(std::wstring_view key, bool defaultValue) const {
    const PropertyValue* v = Find(key);
    if (!v || !(std::holds_alternative<int32_t>(*v) || std::holds_alternative<int16_t>(*v))) return defaultValue;
    return ReadLong(key, 0) != 0;
}

std::wstring PropertyBag::ReadString(std::wstring_view key, const std::wstring& defaultValue) const {
    const PropertyValue* v = Find(key);
    if (auto* s = v ? std::get_if<std::wstring>(v) : nullptr) return *s;
    return defaultValue;
}

PictureRef PropertyBag::ReadPicture(std::wstring_view key) const {
    const PropertyValue* v = Find(key);
    if (auto* p = v ? std::get_if<PictureRef>(v) : nullptr) return *p;
    return nullptr;
}

std::optional<FontDescription> PropertyBag::ReadFont(std::wstring_view key) const {
    const PropertyValue* v = Find(key);
    if (auto* f = v ? std::get_if<FontDescription>(v) : nullptr) return *f;
    return std::nullopt;
}

std::wstring PropertyBag::ToText() const {
    std::wstring text;
    for (const auto& [key, value] : entries_) text += ToLower(key) + L" = " + FormatValue(value) + L"\r\n";
    return text;
}

PropertyBag PropertyBag::FromText(std::wstring_view text) {
    PropertyBag bag;
    ForEachLine(text, [&](const std::wstring& line) {
        const size_t eq = line.find(L'=');
        if (line.empty() || line[0] == L';' || eq == std::wstring::npos) return true;
        try {
            bag.WriteProperty(TrimBlanks(line.substr(0, eq)), ParseValue(line.substr(eq + 1)));
        } catch (const std::exception&) {
        }
        return true;
    });
    return bag;
}

std::optional<PropertyBag> FindStoredControl(std::wstring_view formText, std::wstring_view control) {
    const std::wstring header = L"[" + ToLower(control) + L"]";
    std::wstring body;
    bool inside = false;
    bool found = false;
    ForEachLine(formText, [&](const std::wstring& line) {
        if (!line.empty() && line[0] == L'[') {
            if (inside) return false;
            inside = ToLower(line) == header;
            found = found || inside;
        } else if (inside) {
            body += line + L"\n";
        }
        return true;
    });
    if (!found) return std::nullopt;
    return PropertyBag::FromText(body);
}

std::optional<PropertyBag> LoadStoredControl(HMODULE module, std::wstring_view form, std::wstring_view control) {
    const std::wstring name(form);
    HRSRC resource = ::FindResourceW(module, name.c_str(), L"FORM");
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return std::nullopt;
    std::string_view bytes(static_cast<const char*>(data), ::SizeofResource(module, resource));
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    return FindStoredControl(FromUtf8(bytes), control);
}

}  // namespace ta
