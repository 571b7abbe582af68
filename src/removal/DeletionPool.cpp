#include "removal/DeletionPool.h"

#include "fs/FileRemoval.h"
#include "record/ContinueOnError.h"

namespace ta {
namespace {

// A thread that does not start leaves its share of the deletions to the others.
constexpr Step kStartDeletionThreadStep{L"StartDeletionThread", Footprint::None};

}  // namespace

Deletion DeletionPool::DeleteProductFile(const std::wstring& longPath, const std::wstring& folderFinal,
                                         const std::wstring& name) {
    return DeleteFileInFolder(longPath, folderFinal, name, kProductFileRules);
}

DeletionPool::DeletionPool(unsigned threads, DeleteOne deleteOne) : step_(StepScope::Current()), deleteOne_(deleteOne) {
    for (unsigned i = 0; i < threads; ++i) Attempt(kStartDeletionThreadStep, [&] { threads_.emplace_back([this] { Work(); }); });
}

DeletionPool::~DeletionPool() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    queued_.WakeAll();
    for (std::thread& thread : threads_) thread.join();
}

void DeletionPool::Carry(const Job& job) const {
    Deletion deletion;
    try {
        deletion = deleteOne_(job.longPath, job.folderFinal, job.name);
    } catch (...) {
        // Whatever broke the deletion off, the file has its line: it is still there.
        deletion = {Outcome::Failed, 0, KeptBy::None, CaughtFailureText()};
    }
    RecordDeletion(ItemKind::File, job.shown, deletion);
}

void DeletionPool::Delete(const std::wstring& longDir, const std::wstring& folderFinal, const std::wstring& name,
                          const std::wstring& shown) {
    Job job{longDir + name, folderFinal, name, shown};
    if (threads_.empty()) {  // no thread could be started: the walk deletes itself
        Carry(job);
        return;
    }
    std::unique_lock lock(mutex_);
    taken_.Wait(lock, [&] { return jobs_.size() < kQueueLimit; });
    jobs_.push_back(std::move(job));
    lock.unlock();
    queued_.WakeOne();
}

void DeletionPool::Work() {
    StepScope step(step_);
    for (;;) {
        std::unique_lock lock(mutex_);
        queued_.Wait(lock, [&] { return closing_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        taken_.WakeOne();
        Attempt([&] { Carry(job); });
    }
}

}  // namespace ta
