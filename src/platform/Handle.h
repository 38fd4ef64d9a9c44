#pragma once

#include <cstdint>

namespace platform {

// An operating-system handle as the boundary passes it: the width of a pointer
// on the target, opaque to everything above the boundary.
using Handle = std::uintptr_t;

inline constexpr Handle kInvalidHandleValue = ~Handle{0};

} // namespace platform
