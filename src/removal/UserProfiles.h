#pragma once
// The other people who have a profile on this machine, and their registry hives, borrowed for a
// moment to learn where their shell keeps their folders.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Handles.h"

namespace UserProfiles {

struct Profile {
    std::wstring sid;
    std::wstring folder;  // its ProfileImagePath, expanded
};

// Every person's profile that the system's profile list names, except the system's own service
// profiles, backup entries and the account this program runs as.
std::vector<Profile> OtherPeople();

// The folder of every profile the list names, the running account's and the services' included.
std::vector<std::wstring> EveryProfileFolder();

// A person's registry hive, open for reading only while the object lives: the loaded hive of a
// person who is signed in, or their NTUSER.DAT loaded under a fresh private name below
// HKEY_USERS and unloaded again on every path when the object goes.
class BorrowedHive {
public:
    // Borrows the hive of profile; on failure the hive is empty and error says why (2 when the
    // profile has no NTUSER.DAT at all).
    explicit BorrowedHive(const Profile& profile);
    ~BorrowedHive();
    BorrowedHive(const BorrowedHive&) = delete;
    BorrowedHive& operator=(const BorrowedHive&) = delete;

    HKEY root() const noexcept { return root_.get(); }
    DWORD error() const noexcept { return error_; }
    bool signedIn() const noexcept { return loadedAs_.empty() && root_; }

private:
    ta::RegKey root_;
    std::wstring loadedAs_;  // the private name below HKEY_USERS, while loaded by us
    DWORD error_ = 0;
};

// The folder the person's shell keeps as name ("Startup", "Desktop", "Programs"): "User Shell
// Folders" expanded for that profile, else "Shell Folders"; empty when neither tells.
std::wstring ShellFolder(HKEY hive, const wchar_t* name, const std::wstring& profileFolder);

// value with %USERPROFILE% (any letter case) as profileFolder; nullopt when another variable is
// left, whose value would be the running account's and not the person's.
std::optional<std::wstring> ExpandForProfile(const std::wstring& value, const std::wstring& profileFolder);

}  // namespace UserProfiles
