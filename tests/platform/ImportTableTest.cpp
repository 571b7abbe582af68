// What TaUnInst.exe imports, read from its own import table: only libraries Windows always takes
// from the system folder (a program started elevated from a download folder must not pick up a
// library planted beside it), and nothing Windows 7 SP1 lacks (the program would not start).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/AppShell.h"
#include "platform/Text.h"

namespace {

struct ImportedLibrary {
    std::string name;
    std::vector<std::string> functions;  // by name; "#n" for an ordinal
    bool delayed = false;
};

// The libraries and functions a PE image (PE32 or PE32+) imports, directly and delay-loaded;
// nullopt when the bytes are no such image.
class PeImage {
public:
    explicit PeImage(std::vector<char> bytes) : bytes_(std::move(bytes)) {}

    std::optional<std::vector<ImportedLibrary>> Imports() const {
        const auto dos = At<IMAGE_DOS_HEADER>(0);
        if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return std::nullopt;
        const auto magic = At<WORD>(dos->e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader.Magic));
        if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) return ImportsOf<IMAGE_NT_HEADERS32, DWORD>(dos->e_lfanew);
        if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) return ImportsOf<IMAGE_NT_HEADERS64, ULONGLONG>(dos->e_lfanew);
        return std::nullopt;
    }

    // The processor the image is built for; 0 when the bytes are no PE image.
    WORD Machine() const {
        const auto dos = At<IMAGE_DOS_HEADER>(0);
        const auto file = dos ? At<IMAGE_FILE_HEADER>(dos->e_lfanew + sizeof(DWORD)) : std::nullopt;
        return file ? file->Machine : 0;
    }

private:
    // Headers and thunks differ between PE32 and PE32+ in their width only.
    template <typename Headers, typename Thunk>
    std::optional<std::vector<ImportedLibrary>> ImportsOf(LONG headersAt) const {
        const auto nt = At<Headers>(headersAt);
        if (!nt || nt->Signature != IMAGE_NT_SIGNATURE) return std::nullopt;
        sectionsAt_ = headersAt + offsetof(Headers, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader;
        sectionCount_ = nt->FileHeader.NumberOfSections;
        const auto& directories = nt->OptionalHeader.DataDirectory;
        std::vector<ImportedLibrary> libraries;
        if (!ReadDirect<Thunk>(directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress, libraries) ||
            !ReadDelayed<Thunk>(directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress, libraries))
            return std::nullopt;
        return libraries;
    }

    template <typename T>
    std::optional<T> At(size_t offset) const {
        if (offset > bytes_.size() || sizeof(T) > bytes_.size() - offset) return std::nullopt;  // no wrap-around
        T value;
        std::memcpy(&value, bytes_.data() + offset, sizeof(T));
        return value;
    }

    std::optional<size_t> OffsetOf(DWORD rva) const {
        for (WORD i = 0; i < sectionCount_; ++i) {
            const auto section = At<IMAGE_SECTION_HEADER>(sectionsAt_ + i * sizeof(IMAGE_SECTION_HEADER));
            if (!section) return std::nullopt;
            const DWORD size = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size)
                return rva - section->VirtualAddress + section->PointerToRawData;
        }
        return std::nullopt;
    }

    std::optional<std::string> TextAt(DWORD rva) const {
        const auto offset = OffsetOf(rva);
        if (!offset) return std::nullopt;
        const char* begin = bytes_.data() + *offset;
        const char* end = std::find(begin, bytes_.data() + bytes_.size(), '\0');
        if (end == bytes_.data() + bytes_.size()) return std::nullopt;
        return std::string(begin, end);
    }

    // A zero-ended array of thunks: ordinals, or the address of a hint and a name.
    template <typename Thunk>
    bool ReadThunks(DWORD rva, std::vector<std::string>& functions) const {
        constexpr Thunk kByOrdinal = Thunk{1} << (sizeof(Thunk) * 8 - 1);
        for (;; rva += sizeof(Thunk)) {
            const auto offset = OffsetOf(rva);
            const auto thunk = offset ? At<Thunk>(*offset) : std::nullopt;
            if (!thunk) return false;
            if (*thunk == 0) return true;
            if (*thunk & kByOrdinal) {
                std::string ordinal(1, '#');
                ordinal.append(std::to_string(*thunk & 0xFFFF));
                functions.push_back(std::move(ordinal));
            } else {
                const auto name = TextAt(static_cast<DWORD>(*thunk) + sizeof(WORD));
                if (!name) return false;
                functions.push_back(*name);
            }
        }
    }

    template <typename Thunk>
    bool ReadDirect(DWORD rva, std::vector<ImportedLibrary>& libraries) const {
        if (rva == 0) return true;
        for (;; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto offset = OffsetOf(rva);
            const auto entry = offset ? At<IMAGE_IMPORT_DESCRIPTOR>(*offset) : std::nullopt;
            if (!entry) return false;
            if (entry->Name == 0) return true;
            ImportedLibrary library;
            const auto name = TextAt(entry->Name);
            const DWORD thunks = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
            if (!name || !ReadThunks<Thunk>(thunks, library.functions)) return false;
            library.name = *name;
            libraries.push_back(std::move(library));
        }
    }

    template <typename Thunk>
    bool ReadDelayed(DWORD rva, std::vector<ImportedLibrary>& libraries) const {
        if (rva == 0) return true;
        for (;; rva += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
            const auto offset = OffsetOf(rva);
            const auto entry = offset ? At<IMAGE_DELAYLOAD_DESCRIPTOR>(*offset) : std::nullopt;
            if (!entry) return false;
            if (entry->DllNameRVA == 0) return true;
            ImportedLibrary library;
            library.delayed = true;
            const auto name = TextAt(entry->DllNameRVA);
            if (!name || !ReadThunks<Thunk>(entry->ImportNameTableRVA, library.functions)) return false;
            library.name = *name;
            libraries.push_back(std::move(library));
        }
    }

    std::vector<char> bytes_;
    mutable size_t sectionsAt_ = 0;
    mutable WORD sectionCount_ = 0;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Windows 7's known DLLs (and ntdll, which every process has first): whatever the search order,
// the system takes these from its own folder.
const char* const kKnownLibraries[] = {
    "ntdll.dll",   "kernel32.dll", "user32.dll", "gdi32.dll",   "advapi32.dll", "ole32.dll",    "oleaut32.dll",
    "shell32.dll", "shlwapi.dll",  "comdlg32.dll", "msvcrt.dll", "imm32.dll",   "ws2_32.dll",   "rpcrt4.dll",
    "psapi.dll",   "setupapi.dll", "wldap32.dll", "normaliz.dll", "nsi.dll",     "sechost.dll",  "usp10.dll",
    "lpk.dll",     "msctf.dll",    "imagehlp.dll", "clbcatq.dll", "difxapi.dll"};

// Functions that came after Windows 7 SP1, or that it has only with an update: looked up at
// run time where they are used, never imported.
const char* const kNewerThanWindows7[] = {
    "GetDpiForWindow", "GetDpiForSystem", "GetSystemMetricsForDpi", "AdjustWindowRectExForDpi",
    "EnableNonClientDpiScaling", "SetThreadDpiAwarenessContext", "GetThreadDpiAwarenessContext",
    "SetProcessDpiAwarenessContext", "GetWindowDpiAwarenessContext", "SystemParametersInfoForDpi",
    "SetProcessDpiAwareness", "GetDpiForMonitor", "GetSystemTimePreciseAsFileTime", "CreateFile2", "CopyFile2",
    "PathCchCombine", "PathCchCombineEx", "PathCchAppend", "PathCchCanonicalize", "PathAllocCombine",
    "GetCurrentThreadStackLimits", "SetThreadDescription", "GetThreadDescription", "WaitOnAddress",
    "WakeByAddressSingle", "WakeByAddressAll", "GetOverlappedResultEx", "VirtualAlloc2", "MapViewOfFile3",
    "InitializeSynchronizationBarrier", "SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory"};

bool Listed(const char* const* begin, const char* const* end, const std::string& name, bool ignoreCase) {
    return std::any_of(begin, end, [&](const char* listed) {
        return ignoreCase ? Lower(listed) == Lower(name) : name == listed;
    });
}

std::vector<char> ReadBytes(const std::wstring& path) {
    std::ifstream in(ta::ToUtf8(path).c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void ExpectOnlyKnownSystemLibrariesAndNothingNewerThanWindows7(const std::wstring& program) {
    SCOPED_TRACE(ta::ToUtf8(program));
    const std::vector<char> bytes = ReadBytes(program);
    ASSERT_FALSE(bytes.empty()) << "the program is built (scripts/build makes both)";
    const auto imports = PeImage(bytes).Imports();
    ASSERT_TRUE(imports) << "a PE image with a readable import table";

    bool sawCreateFile = false;
    for (const ImportedLibrary& library : *imports) {
        EXPECT_TRUE(Listed(std::begin(kKnownLibraries), std::end(kKnownLibraries), library.name, true))
            << library.name << (library.delayed ? " (delay-loaded)" : "")
            << " is looked for in the program's own folder first";
        for (const std::string& function : library.functions) {
            EXPECT_FALSE(Listed(std::begin(kNewerThanWindows7), std::end(kNewerThanWindows7), function, false))
                << library.name << "!" << function << " is missing on Windows 7 SP1";
            sawCreateFile = sawCreateFile || (Lower(library.name) == "kernel32.dll" && function == "CreateFileW");
        }
    }
    EXPECT_TRUE(sawCreateFile) << "the table was read: kernel32.dll!CreateFileW is in it";
}

// The program as it ships is the i686 build's, read as a file on every machine; a build for
// another architecture checks its own program as well.
TEST(ImportTable, TheProgramImportsOnlyKnownSystemLibrariesAndNothingNewerThanWindows7) {
    const std::wstring shipped = TA_SHIPPED_PROGRAM;
    EXPECT_EQ(PeImage(ReadBytes(shipped)).Machine(), IMAGE_FILE_MACHINE_I386) << ta::ToUtf8(shipped) << " is built for i686";
    ExpectOnlyKnownSystemLibrariesAndNothingNewerThanWindows7(shipped);
    if (sizeof(void*) != 4)
        ExpectOnlyKnownSystemLibrariesAndNothingNewerThanWindows7(ta::ExeFolder() + L"\\TaUnInst.exe");
}

}  // namespace
