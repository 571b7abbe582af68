#pragma once
// A lock and a condition of the system's slim kind, for state that threads of the removal share
// file by file. They wait inside the process; the C++ library's own lock and condition, built
// on its threads layer, wait on kernel objects instead, which under Wine costs a round trip to
// its server for every wait and every wake-up, on top of the few that deleting a file takes.
#include <windows.h>

#include <mutex>

namespace ta {

class SlimMutex {
public:
    SlimMutex() = default;
    SlimMutex(const SlimMutex&) = delete;
    SlimMutex& operator=(const SlimMutex&) = delete;

    void lock() noexcept { ::AcquireSRWLockExclusive(&lock_); }
    bool try_lock() noexcept { return ::TryAcquireSRWLockExclusive(&lock_) != 0; }
    void unlock() noexcept { ::ReleaseSRWLockExclusive(&lock_); }
    PSRWLOCK native() noexcept { return &lock_; }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class SlimCondition {
public:
    SlimCondition() = default;
    SlimCondition(const SlimCondition&) = delete;
    SlimCondition& operator=(const SlimCondition&) = delete;

    // Waits, the lock released meanwhile, until ready() holds.
    template <typename Ready>
    void Wait(std::unique_lock<SlimMutex>& lock, Ready ready) {
        while (!ready()) ::SleepConditionVariableSRW(&condition_, lock.mutex()->native(), INFINITE, 0);
    }
    void WakeOne() noexcept { ::WakeConditionVariable(&condition_); }
    void WakeAll() noexcept { ::WakeAllConditionVariable(&condition_); }

private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace ta
