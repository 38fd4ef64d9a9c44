#pragma once

#include "platform/Handle.h"

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The folder that every user's programs share for their data: "All
// Users\Application Data" on 2000 and XP, "ProgramData" from Vista on.
inline constexpr int kCsidlCommonAppData = 0x23;

// user32's and the shell's view of the desktop a program runs on: whose it
// is, and where its shared folders are.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;

    // The desktop's shell window, whose process runs as the person at the
    // keyboard; 0 where there is none (a service, a scheduled task) or the
    // system lacks the function.
    virtual Handle GetShellWindow() = 0;
    // The thread that made a window, and its process; 0 when the window is gone.
    virtual std::uint32_t GetWindowThreadProcessId(Handle window, std::uint32_t& processId) = 0;
    // The path of one of the shell's folders; none where the system lacks
    // the folder or the function (the 9x line, NT 4).
    virtual std::optional<std::string> SHGetFolderPathA(int folder) = 0;
};

} // namespace platform
