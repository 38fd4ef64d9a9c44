#pragma once

#include "platform/Platform.h"
#include "platform/UniqueHandle.h"

namespace platform {

struct ProcessHandleTraits {
    using Value = Handle;
    static constexpr Value Invalid() noexcept { return 0; }
    static constexpr bool IsValid(Value value) noexcept { return value != 0 && value != kInvalidHandleValue; }
    static void Close(Value value) noexcept { Kernel().CloseHandle(value); }
};

// Snapshots report failure as INVALID_HANDLE_VALUE, process handles as 0;
// both close with CloseHandle.
using UniqueProcessHandle = UniqueHandle<ProcessHandleTraits>;
using UniqueSnapshotHandle = UniqueHandle<ProcessHandleTraits>;

struct FindHandleTraits {
    using Value = Handle;
    static constexpr Value Invalid() noexcept { return kInvalidHandleValue; }
    static constexpr bool IsValid(Value value) noexcept { return value != kInvalidHandleValue; }
    static void Close(Value value) noexcept { Kernel().FindClose(value); }
};

using UniqueFindHandle = UniqueHandle<FindHandleTraits>;

} // namespace platform
