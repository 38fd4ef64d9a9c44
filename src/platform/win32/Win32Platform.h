#pragma once

#include "platform/Platform.h"
#include "platform/win32/Win32Kernel.h"
#include "platform/win32/Win32Launch.h"
#include "platform/win32/Win32ProcessStatus.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Security.h"
#include "platform/win32/Win32Windowing.h"

namespace platform::win32 {

// The real services of the running system, one of each family, over one
// set of system libraries.
struct Win32Platform {
    SystemLibraries libraries;
    Win32Kernel kernel{libraries};
    Win32ProcessStatus processStatus{libraries};
    Win32Registry registry{libraries};
    Win32Windowing windowing{libraries};
    Win32Launch launch{libraries};
    Win32Security security{libraries};

    Services AsServices() noexcept { return {&kernel, &processStatus, &registry, &windowing, &launch, &security}; }
};

} // namespace platform::win32
