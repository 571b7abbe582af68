#include "platform/ChildEnvironment.h"

#include <windows.h>

#include <cwchar>

#include "platform/Text.h"

namespace ta {

std::wstring ChildEnvironment() {
    static const std::wstring kSkipCurrentFolder = L"NoDefaultCurrentDirectoryInExePath";
    std::wstring block;
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += std::wcslen(entry) + 1) {
            const std::wstring text(entry);
            const size_t equals = text.find(L'=', 1);  // "=C:=C:\..." entries start with '='
            if (ToLower(text.substr(0, equals)) == ToLower(kSkipCurrentFolder)) continue;
            block.append(text).push_back(L'\0');
        }
        ::FreeEnvironmentStringsW(strings);
    }
    block.append(kSkipCurrentFolder + L"=1").push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

}  // namespace ta
