#pragma once
// A control's persisted property set: named values of a few types, keys matched without regard
// to case, kept in the order written. Forms store their controls' sets as text resources of the
// program (type "FORM", named by the form), one section a control:
//
//   ; a comment
//   [ucProgressBar1]
//   _extentx = Long 11245
//   picture = Picture
//   font = Font "굴림" 9 400 129 0 0 0
//   segments = Integer -1
//   text = String "say \"hi\""
//   barpicture = Picture 2 1 FF0000 0000FF
//
// A Boolean is a 16-bit Integer, true being -1. A font lists face, points, weight, character set,
// italic, underline and strikethrough; a picture with an image its width, height and top-down
// RRGGBB pixels, an empty picture nothing.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "controls/progressbar/HostObjects.h"

namespace ta {

// Long (32-bit), Integer (16-bit, Booleans), String, Picture, Font.
using PropertyValue = std::variant<int32_t, int16_t, std::wstring, PictureRef, FontDescription>;

class PropertyBag {
public:
    // Stores the value, replacing one under the same key.
    void WriteProperty(std::wstring_view key, PropertyValue value);
    // Stores the value unless it equals the default; a value left out reads back as the default.
    void WriteProperty(std::wstring_view key, PropertyValue value, const PropertyValue& defaultValue);
    static PropertyValue Boolean(bool state) { return int16_t{state ? int16_t{-1} : int16_t{0}}; }

    const PropertyValue* Find(std::wstring_view key) const;
    // Typed reads; a missing key or a value of another type gives the default.
    int32_t ReadLong(std::wstring_view key, int32_t defaultValue) const;
    bool ReadBoolean(std::wstring_view key, bool defaultValue) const;
    std::wstring ReadString(std::wstring_view key, const std::wstring& defaultValue) const;
    PictureRef ReadPicture(std::wstring_view key) const;
    std::optional<FontDescription> ReadFont(std::wstring_view key) const;

    const std::vector<std::pair<std::wstring, PropertyValue>>& Entries() const { return entries_; }

    // The section body of the text form above (keys in lower case), and back. Lines that cannot
    // be read are passed over.
    std::wstring ToText() const;
    static PropertyBag FromText(std::wstring_view text);

private:
    std::vector<std::pair<std::wstring, PropertyValue>> entries_;
};

// The stored set of one control of a form kept in the module's resources; none when the form
// or the control is not there.
std::optional<PropertyBag> LoadStoredControl(HMODULE module, std::wstring_view form, std::wstring_view control);
// The section of one control inside a stored form's text.
std::optional<PropertyBag> FindStoredControl(std::wstring_view formText, std::wstring_view control);

}  // namespace ta
