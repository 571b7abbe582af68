#pragma once
// Text conversions between the program's UTF-16 strings and the system's ANSI code page.
#include <string>
#include <string_view>

namespace ta {

// The ANSI (CP_ACP) form of a text; characters the code page lacks become its default character.
std::string ToAnsi(std::wstring_view text);
// Text from ANSI (CP_ACP) bytes; every byte is taken, NULs included.
std::wstring FromAnsi(std::string_view bytes);
// UTF-8 conversions, for files and protocols of our own.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

// Lower-case form under the system's rules (CharLower), as used for case-insensitive matching.
std::wstring ToLower(std::wstring_view text);
bool EndsWithNoCase(std::wstring_view text, std::wstring_view tail);
// Whether two names (paths, file names) are the same as the file system compares them: ordinal,
// case ignored.
bool SameNameNoCase(std::wstring_view a, std::wstring_view b);
// Removes blanks (spaces only) at both ends.
std::wstring TrimBlanks(std::wstring_view text);

}  // namespace ta
