#pragma once
// The class registration of an in-process component that cannot take it away itself (its file
// is missing or damaged, or its entry point fails, crashes or hangs): the program identifier,
// the class it names, the class's other program identifiers and its own type library, in the
// 32-bit view of "HKEY_LOCAL_MACHINE\SOFTWARE\Classes". Only a class whose in-process server is
// the given file is touched; one that points anywhere else is somebody else's.
#include <string>

namespace ta {

struct ClassRemoval {
    enum class Found {
        Nothing,    // the program identifier names no class, or the class has no in-process server
        Elsewhere,  // the class's in-process server is another file: kept (recorded as foreign)
        Ours,       // the class serves from the file: its keys were deleted (each recorded)
    };
    Found found = Found::Nothing;
    bool complete = false;  // with Ours: every key went
};

// Deletes the registration of progId when its class's in-process server names serverPath.
ClassRemoval RemoveClassRegistration(const std::wstring& progId, const std::wstring& serverPath);

// Whether two paths of a component name the same file: compared without quotes and letter case,
// environment variables expanded, made full, and the 32-bit system folder taken for the
// system folder it stands for.
bool SameServerPath(const std::wstring& registered, const std::wstring& serverPath);

}  // namespace ta
