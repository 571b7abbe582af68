#pragma once
// A path-string interface to the registry: "HKEY_LOCAL_MACHINE\SOFTWARE\Morla" and a value name.
// Failures are never raised: reads answer "Error" / empty text / 0, writes and deletes do nothing.
// The exceptions are the log line that cannot be written and a text too long to measure, which
// leave the operation before it touches the registry (ta::AppError).
#include <windows.h>

#include <cstdint>
#include <string>

namespace Regset {

inline constexpr wchar_t kReadError[] = L"Error";

// The text of a string value; "Error" when the key or value cannot be read (or its ANSI form
// with its NUL exceeds 1000 bytes); empty when the path names no known root.
std::wstring GetStringValue(const std::wstring& keyPath, const std::wstring& name);
// The writes and the deletion answer the system's status (ERROR_SUCCESS when done), for the
// removal record; ERROR_INVALID_PARAMETER when the path names no known root.
LONG SetStringValue(const std::wstring& keyPath, const std::wstring& name, const std::wstring& text);
// A 32-bit value; 0 on any failure.
int32_t GetDwordValue(const std::wstring& keyPath, const std::wstring& name);
LONG SetDwordValue(const std::wstring& keyPath, const std::wstring& name, int32_t value);
// Deletes one key without subkeys; a key that has subkeys stays.
LONG DeleteKey(const std::wstring& keyPath);

// Splits "ROOT\sub\path" into its root handle and, in place, the subkey path. A path that does
// not start with "HKEY_" or ends with "\" shows "Incorrect Format:" and gives no root (nullptr).
void SplitKeyPath(std::wstring& keyPath, HKEY& root);
// The name of a predefined root ("HKEY_LOCAL_MACHINE"); empty for any other key.
std::wstring RootName(HKEY root);
// The predefined root for its exact name, or nullptr.
HKEY RootKeyFromName(const std::wstring& name);
// Bytes of the text's ANSI form, as a 16-bit count: over 32767 raises the overflow error.
int16_t AnsiByteLength(const std::wstring& text);

}  // namespace Regset
