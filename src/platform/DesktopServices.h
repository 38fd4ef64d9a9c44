#pragma once

#include "platform/Handle.h"

#include <cstdint>

namespace platform {

// user32's view of the desktop a program runs on: whose it is.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;

    // The desktop's shell window, whose process runs as the person at the
    // keyboard; 0 where there is none (a service, a scheduled task) or the
    // system lacks the function.
    virtual Handle GetShellWindow() = 0;
    // The thread that made a window, and its process; 0 when the window is gone.
    virtual std::uint32_t GetWindowThreadProcessId(Handle window, std::uint32_t& processId) = 0;
};

} // namespace platform
