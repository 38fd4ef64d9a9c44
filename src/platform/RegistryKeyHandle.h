#pragma once

#include "platform/Platform.h"
#include "platform/UniqueHandle.h"

namespace platform {

struct RegistryKeyTraits {
    using Value = Handle;
    static constexpr Value Invalid() noexcept { return 0; }
    static constexpr bool IsValid(Value value) noexcept { return value != 0; }
    static void Close(Value value) noexcept { Registry().RegCloseKey(value); }
};

using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;

} // namespace platform
