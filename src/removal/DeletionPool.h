#pragma once
// Deletes files on threads of its own while the walk goes on. One deletion waits on the file
// system (and, under Wine, on its server) most of its time; a few in flight keep both busy, so
// the link-safe deletion keeps up with a plain one. The queue is short, so what the page shows
// as being deleted is never far ahead of what is.
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "platform/SlimLock.h"
#include "record/Step.h"

namespace ta {

struct Deletion;

class DeletionPool {
public:
    // How one file goes: by default DeleteFileInFolder with the product's rules.
    using DeleteOne = Deletion (*)(const std::wstring& longPath, const std::wstring& folderFinal,
                                   const std::wstring& name);
    static Deletion DeleteProductFile(const std::wstring& longPath, const std::wstring& folderFinal,
                                      const std::wstring& name);

    // Deletions are recorded under the step that creates the pool.
    explicit DeletionPool(unsigned threads = kThreads, DeleteOne deleteOne = DeleteProductFile);
    // Waits until every deletion handed over has been done.
    ~DeletionPool();
    DeletionPool(const DeletionPool&) = delete;
    DeletionPool& operator=(const DeletionPool&) = delete;

    // Deletes longDir + name and records it as shown. Waits while the queue is full.
    void Delete(const std::wstring& longDir, const std::wstring& folderFinal, const std::wstring& name,
                const std::wstring& shown);

    // A deletion is a few round trips that mostly wait, so more of them in flight than there are
    // cores pays: under Wine on 2 cores, the page took 1.9 times a plain loop with 1 thread, about
    // 1.35 with 2, and 1.05 to 1.2 with 3 to 8.
    static constexpr unsigned kThreads = 4;
    static constexpr size_t kQueueLimit = 32;

private:
    struct Job {
        std::wstring longPath;
        std::wstring folderFinal;
        std::wstring name;
        std::wstring shown;
    };
    void Work();
    // The deletion itself, written to the record once whatever happens.
    void Carry(const Job& job) const;

    const Step* step_;
    DeleteOne deleteOne_;
    SlimMutex mutex_;
    SlimCondition queued_;  // a job came, or the pool closes
    SlimCondition taken_;   // a job left the queue
    std::deque<Job> jobs_;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace ta
