// What other people's profiles add to the shortcut step: the step timed on a machine with only
// the running account, then with 50 more people, none signed in, each with a hive to borrow and
// the product's five shortcuts to remove (laid again before every round).
// Usage: bench_profiles [rounds] (default 3; the best round of each side counts)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "record/RemovalRecord.h"
#include "removal/CreateShortCut.h"
#include "support/Profiles.h"

namespace {

constexpr int kPeople = 50;
const wchar_t kRoot[] = L"C:\\TaUnInstProfilesBench";
const wchar_t kStartMenu[] = L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";

std::wstring Sid(int person) { return L"S-1-5-21-9999-9999-9999-" + std::to_wstring(2000 + person); }
std::wstring Folder(int person) { return std::wstring(kRoot) + L"\\user" + std::to_wstring(person); }

void MakeFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryW(path.c_str(), nullptr);
}

void Touch(const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

void LayShortcuts(int person) {
    const std::wstring programs = Folder(person) + kStartMenu;
    MakeFolders(programs + L"\\Startup");
    MakeFolders(programs + L"\\타르닐");
    MakeFolders(Folder(person) + L"\\Desktop");
    Touch(programs + L"\\Startup\\타르닐.lnk");
    Touch(Folder(person) + L"\\Desktop\\타르닐.lnk");
    for (const wchar_t* name : {L"타르닐.lnk", L"타르닐 도움말.lnk", L"타르닐 업데이트.lnk"})
        Touch(programs + L"\\타르닐\\" + name);
}

double SecondsOfTheStep() {
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ta::RemovalRecord record;
    ta::RecordingScope recording(record);
    ::QueryPerformanceCounter(&start);
    CreateShortCut::RemoveShortcuts();
    ::QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 3;
    double alone = 1e9, withPeople = 1e9;
    for (int round = 0; round < rounds; ++round) alone = std::min(alone, SecondsOfTheStep());
    for (int round = 0; round < rounds; ++round) {
        for (int person = 0; person < kPeople; ++person) {
            MakeFolders(Folder(person));
            LayShortcuts(person);
            const std::wstring failed = ta::test::LayProfile(
                Sid(person), Folder(person),
                {{L"Startup", std::wstring(L"%USERPROFILE%") + kStartMenu + L"\\Startup"},
                 {L"Desktop", L"%USERPROFILE%\\Desktop"},
                 {L"Programs", std::wstring(L"%USERPROFILE%") + kStartMenu}});
            if (!failed.empty()) {
                std::fwprintf(stderr, L"cannot lay profile %d: %ls\n", person, failed.c_str());
                return 1;
            }
        }
        withPeople = std::min(withPeople, SecondsOfTheStep());
        if (!ta::test::HivesLoadedAs(L"TaUnInst-").empty()) std::fwprintf(stderr, L"a hive stayed loaded\n");
    }
    for (int person = 0; person < kPeople; ++person) ta::test::RemoveProfile(Sid(person));
    std::printf("the shortcut step with %d other people, none signed in, each with a hive and 5 shortcuts\n", kPeople);
    std::printf("running account only: %.3f s\n", alone);
    std::printf("with %d other people: %.3f s\n", kPeople, withPeople);
    std::printf("added by the other people: %.3f s\n", withPeople - alone);
    return 0;
}
