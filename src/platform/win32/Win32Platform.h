#pragma once

#include "platform/Platform.h"
#include "platform/win32/Win32Kernel.h"
#include "platform/win32/Win32Launch.h"
#include "platform/win32/Win32ProcessStatus.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Windowing.h"

namespace platform::win32 {

// The real services of the running system, one of each family.
struct Win32Platform {
    Win32Kernel kernel;
    Win32ProcessStatus processStatus;
    Win32Registry registry;
    Win32Windowing windowing;
    Win32Launch launch;

    Services AsServices() noexcept { return {&kernel, &processStatus, &registry, &windowing, &launch}; }
};

} // namespace platform::win32
