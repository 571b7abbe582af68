#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <set>
#include <thread>

#include "fs/FileRemoval.h"
#include "platform/AppError.h"
#include "removal/DeletionPool.h"
#include "removal/RemovalSteps.h"

namespace {

// Deletions that wait until the test lets them go, counting how many began; every third one
// breaks off with an exception.
std::atomic<int> g_begun{0};
HANDLE g_release = nullptr;

ta::Deletion HeldDeletion(const std::wstring&, const std::wstring&, const std::wstring& name) {
    ++g_begun;
    ::WaitForSingleObject(g_release, 30000);
    if (std::stoi(name) % 3 == 0) throw ta::AppError(ta::ErrorNumber::CannotPerform, L"", L"broke off");
    return {ta::Outcome::Removed};
}

// The walk hands files over faster than they go: it must wait once the queue is full, so that
// what the page shows is never far ahead of what is deleted; and when the pool ends, every file
// handed over has exactly one line, also those whose deletion broke off.
TEST(DeletionPoolTest, AFullQueueHoldsTheWalkAndEveryFileGetsOneLine) {
    g_begun = 0;
    g_release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    constexpr unsigned kThreads = 2;
    constexpr int kFiles = static_cast<int>(kThreads + ta::DeletionPool::kQueueLimit) + 10;
    ta::RemovalRecord record;
    std::atomic<int> handed{0};
    {
        ta::RecordingScope recording(record);
        ta::StepScope step(ta::kFindFilesAPIStep);
        ta::DeletionPool pool(kThreads, HeldDeletion);
        std::thread walk([&] {
            for (int i = 0; i < kFiles; ++i) {
                pool.Delete(L"C:\\x\\", L"", std::to_wstring(i), L"C:\\x\\" + std::to_wstring(i));
                ++handed;
            }
        });
        ::Sleep(500);
        // As many as the threads hold and the queue keeps, no more.
        EXPECT_EQ(g_begun.load(), static_cast<int>(kThreads));
        EXPECT_EQ(handed.load(), static_cast<int>(kThreads + ta::DeletionPool::kQueueLimit));
        ::SetEvent(g_release);
        walk.join();
    }
    ::CloseHandle(g_release);

    const auto entries = record.Entries();
    ASSERT_EQ(entries.size(), static_cast<size_t>(kFiles));
    std::set<std::wstring> items;
    for (const auto& entry : entries) {
        items.insert(entry.item);
        EXPECT_EQ(entry.step, L"FindFilesAPI");
        const bool brokeOff = std::stoi(entry.item.substr(5)) % 3 == 0;
        EXPECT_EQ(entry.outcome, brokeOff ? ta::Outcome::Failed : ta::Outcome::Removed);
        EXPECT_EQ(entry.detail, brokeOff ? L"program error 17: broke off" : L"");
    }
    EXPECT_EQ(items.size(), static_cast<size_t>(kFiles));
}

}  // namespace
