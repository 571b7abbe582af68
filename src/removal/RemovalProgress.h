#pragma once
// What the removal steps tell whoever shows the removal: the progress page, or nobody in a
// silent run. Called on the thread that runs the steps; a page takes it over to its own thread.
#include <cstdint>
#include <string>

#include "record/Step.h"

namespace ta {

// Showing the progress leaves nothing of the product when it fails.
inline constexpr Step kShowBarValueStep{L"ShowBarValue", Footprint::None};
inline constexpr Step kShowFilePathStep{L"ShowFilePath", Footprint::None};

class RemovalProgress {
public:
    virtual ~RemovalProgress() = default;
    // The bytes deleted so far (the bar shows their share of the total).
    virtual void ShowDeletedBytes(int64_t bytes) = 0;
    // Everything is done: the bar full.
    virtual void ShowComplete() = 0;
    // The file being deleted (Label3).
    virtual void ShowFilePath(const std::wstring& path) = 0;
    // The browser helper's class id as text (the hidden Text1).
    virtual void ShowClassId(const std::wstring& text) = 0;
};

// Progress nobody sees: the silent run's.
class NoProgress : public RemovalProgress {
public:
    void ShowDeletedBytes(int64_t) override {}
    void ShowComplete() override {}
    void ShowFilePath(const std::wstring&) override {}
    void ShowClassId(const std::wstring&) override {}
};

}  // namespace ta
