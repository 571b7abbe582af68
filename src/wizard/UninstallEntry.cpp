#include "wizard/UninstallEntry.h"

#include "fs/FinalPath.h"
#include "platform/Text.h"
#include "registry/Regset.h"
#include "removal/TarnilSet.h"
#include "wizard/CommandLine.h"

namespace ta {
namespace {

const wchar_t* const kCommands[] = {L"UninstallString", L"QuietUninstallString"};

bool SameProgram(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && !b.empty() && SameNameNoCase(NormalisedPath(a), NormalisedPath(b));
}

}  // namespace

std::wstring ProgramOfCommand(const std::wstring& command) {
    const size_t start = command.find_first_not_of(L" \t");
    if (start == std::wstring::npos) return {};
    if (command[start] == L'"') {
        const size_t end = command.find(L'"', start + 1);
        return end == std::wstring::npos ? std::wstring() : command.substr(start + 1, end - start - 1);
    }
    const size_t exe = ToLower(command).find(L".exe", start);
    return exe == std::wstring::npos ? std::wstring() : command.substr(start, exe + 4 - start);
}

EntryValues RenameProgramInEntry(const std::wstring& path, const std::wstring& replacement) {
    EntryValues before;
    for (const wchar_t* name : kCommands) {
        const std::wstring command = Regset::GetStringValue(TarnilSet::kUninstallEntry, name);
        if (command == Regset::kReadError) continue;
        const std::wstring program = ProgramOfCommand(command);
        if (!SameProgram(program, path)) continue;
        // What follows the program (its closing quote too) is the arguments.
        const size_t at = command.find(program);
        size_t rest = at + program.size();
        if (rest < command.size() && command[rest] == L'"') ++rest;
        const std::wstring renamed = QuoteArgument(replacement) + command.substr(rest);
        if (Regset::SetStringValue(TarnilSet::kUninstallEntry, name, renamed) == ERROR_SUCCESS)
            before.emplace_back(name, command);
    }
    return before;
}

void PutBack(const EntryValues& before) {
    for (const auto& [name, command] : before) Regset::SetStringValue(TarnilSet::kUninstallEntry, name, command);
}

bool EntryStarts(const std::wstring& path) {
    const std::wstring command = Regset::GetStringValue(TarnilSet::kUninstallEntry, L"UninstallString");
    return command != Regset::kReadError && SameProgram(ProgramOfCommand(command), path);
}

}  // namespace ta
