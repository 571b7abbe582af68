#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "wizard/LatestProgress.h"

namespace ta {
namespace {

// The removal stores far more changes than the page looks at. The page may skip values but never
// goes back, and once the removal is done its last look shows the very last value and path;
// a look with nothing new shows nothing.
TEST(LatestProgressTest, ThePageSkipsButNeverLosesTheLastChange) {
    LatestProgress latest;
    constexpr int kChanges = 200000;
    std::atomic<bool> done{false};
    std::thread removal([&] {
        for (int i = 1; i <= kChanges; ++i) {
            latest.Value(i);
            if (i % 7 == 0) latest.Path(L"C:\\Tarnil\\" + std::to_wstring(i));
        }
        done = true;
    });
    int32_t shown = 0;
    std::wstring shownPath;
    int looks = 0;
    const auto look = [&] {
        const LatestProgress::Changes changes = latest.Take();
        if (changes.value) {
            EXPECT_GT(*changes.value, shown);
            shown = *changes.value;
        }
        if (changes.path) shownPath = *changes.path;
        ++looks;
    };
    while (!done) look();
    removal.join();
    look();
    EXPECT_EQ(shown, kChanges);
    EXPECT_EQ(shownPath, L"C:\\Tarnil\\" + std::to_wstring(kChanges - kChanges % 7));
    EXPECT_GT(looks, 1);
    const LatestProgress::Changes nothing = latest.Take();
    EXPECT_FALSE(nothing.value);
    EXPECT_FALSE(nothing.path);
    EXPECT_FALSE(nothing.classId);
}

}  // namespace
}  // namespace ta
