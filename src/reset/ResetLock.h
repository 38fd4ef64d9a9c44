#pragma once

#include "platform/Handles.h"

#include <optional>

// One reset at a time on this computer: two copies would interleave their
// regsvr32 runs. A named mutex is held for a run's length; from Windows 2000
// on it is global, so that another account's copy is seen too, on older
// systems plain. It is never waited for: its existence alone says that
// another copy is resetting.
class ResetLock {
public:
    // None when another copy holds it.
    static std::optional<ResetLock> Take();

private:
    explicit ResetLock(platform::UniqueMutexHandle mutex) noexcept : mMutex(std::move(mutex)) {}

    platform::UniqueMutexHandle mMutex;
};
