#pragma once
// The latest progress of a removal that runs on another thread: the worker stores every change,
// the page takes what changed at its own pace. Only the last value counts; nothing queues up.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/SlimLock.h"

namespace ta {

class LatestProgress {
public:
    void Value(int32_t value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }
    void Path(const std::wstring& path) {
        std::lock_guard lock(mutex_);
        path_ = path;
    }
    void ClassId(const std::wstring& text) {
        std::lock_guard lock(mutex_);
        classId_ = text;
    }

    // What changed since the last Take.
    struct Changes {
        std::optional<int32_t> value;
        std::optional<std::wstring> path;
        std::optional<std::wstring> classId;
    };
    Changes Take() {
        std::lock_guard lock(mutex_);
        Changes changes{value_, std::move(path_), std::move(classId_)};
        value_.reset();
        path_.reset();
        classId_.reset();
        return changes;
    }

private:
    SlimMutex mutex_;
    std::optional<int32_t> value_;
    std::optional<std::wstring> path_;
    std::optional<std::wstring> classId_;
};

}  // namespace ta
