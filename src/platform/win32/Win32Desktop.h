#pragma once

#include "platform/DesktopServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

// Both calls are looked up first: NT 4 and the 9x line lack GetShellWindow.
class Win32Desktop final : public DesktopServices {
public:
    explicit Win32Desktop(SystemLibraries& libraries) noexcept : mUser32(libraries.user32) {}
    Handle GetShellWindow() override;
    std::uint32_t GetWindowThreadProcessId(Handle window, std::uint32_t& processId) override;

private:
    SystemLibrary& mUser32;
    SYSTEM_FUNCTION(mUser32, GetShellWindow);
    SYSTEM_FUNCTION(mUser32, GetWindowThreadProcessId);
};

} // namespace platform::win32
