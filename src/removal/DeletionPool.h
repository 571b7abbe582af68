#pragma once
// Deletes files on threads of its own while the walk goes on. One deletion waits on the file
// system (and, under Wine, on its server) most of its time; a few in flight keep both busy, so
// the link-safe deletion keeps up with a plain one. The queue is short, so what the page shows
// as being deleted is never far ahead of what is.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ta {

class DeletionPool {
public:
    // Deletions are recorded under the step that creates the pool.
    explicit DeletionPool(unsigned threads = kThreads);
    // Waits until every deletion handed over has been done.
    ~DeletionPool();
    DeletionPool(const DeletionPool&) = delete;
    DeletionPool& operator=(const DeletionPool&) = delete;

    // Deletes longDir + name as DeleteFileInFolder does (a read-only file of ours goes too), and
    // records it as shown. Waits while
    // the queue is full.
    void Delete(const std::wstring& longDir, const std::wstring& folderFinal, const std::wstring& name,
                const std::wstring& shown);

    static constexpr unsigned kThreads = 2;
    static constexpr size_t kQueueLimit = 32;

private:
    struct Job {
        std::wstring longPath;
        std::wstring folderFinal;
        std::wstring name;
        std::wstring shown;
    };
    void Work();
    static void Carry(const Job& job);  // the deletion itself, written to the record

    const wchar_t* step_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace ta
