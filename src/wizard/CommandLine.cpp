#include "wizard/CommandLine.h"

#include <windows.h>

#include "platform/AppShell.h"
#include "platform/Text.h"

namespace ta {

const wchar_t kUsageText[] =
    L"TaUnInst.exe [/S] [/log=경로] [/norestart] [/?]\n\n"
    L"/S, /quiet\t창과 질문 없이 제거합니다.\n"
    L"/log=경로\t제거 기록을 UTF-8 텍스트로 씁니다.\n"
    L"/norestart\t컴퓨터를 다시 시작하지 않고, 다시 시작을 묻지도 않습니다.\n"
    L"/?, /help\t이 도움말을 보여 줍니다.\n\n"
    L"종료 코드: 0 완료, 3010 다시 시작 필요, 1603 남은 항목 있음, 1602 취소, 1618 이미 실행 중, 87 잘못된 인수";

namespace {

// "PID:PATH", the process and the file of the program that handed the run over.
bool ParseOriginal(const std::wstring& value, CommandLine& parsed) {
    const size_t colon = value.find(L':');
    if (colon == 0 || colon == std::wstring::npos || colon > 10 || colon + 1 == value.size()) return false;
    DWORD pid = 0;
    for (size_t i = 0; i < colon; ++i) {
        if (value[i] < L'0' || value[i] > L'9') return false;
        pid = pid * 10 + static_cast<DWORD>(value[i] - L'0');
    }
    if (pid == 0) return false;
    parsed.originalPid = pid;
    parsed.originalPath = value.substr(colon + 1);
    return true;
}

}  // namespace

std::vector<std::wstring> SplitArguments(const std::wstring& arguments) {
    // The system's own splitting wants a program name first; without one it takes the first
    // argument for it.
    return CommandLineArguments(L"TaUnInst.exe " + arguments);
}

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLine parsed;
    for (const std::wstring& argument : arguments) {
        const bool isSwitch = argument.size() > 1 && (argument[0] == L'/' || argument[0] == L'-');
        const std::wstring name = isSwitch ? ToLower(argument.substr(1)) : std::wstring();
        if (name == L"s" || name == L"quiet") {
            parsed.silent = true;
        } else if (name == L"norestart") {
            parsed.noRestart = true;
        } else if (name == L"?" || name == L"help") {
            parsed.help = true;
        } else if (name.rfind(L"log=", 0) == 0 && argument.size() > 5) {
            std::wstring path = argument.substr(5);
            // Quotes the splitting left (a path given as /log="C:\a b\x.log" arrives without them).
            if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
            parsed.logPath = path;
        } else if (name.rfind(L"original=", 0) == 0) {
            if (!ParseOriginal(argument.substr(10), parsed)) parsed.unknown.push_back(argument);
        } else {
            parsed.unknown.push_back(argument);
        }
    }
    return parsed;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    // Backslashes are literal except before a quote, where each must be doubled: the splitting
    // reads 2n backslashes and a quote as n backslashes and the end of the quoted text.
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

}  // namespace ta
