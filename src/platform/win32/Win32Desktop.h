#pragma once

#include "platform/DesktopServices.h"
#include "platform/win32/SystemLibrary.h"

#include <shlobj.h>

namespace platform::win32 {

// Every call is looked up first: NT 4 and the 9x line lack GetShellWindow,
// and their shell32 SHGetFolderPathA.
class Win32Desktop final : public DesktopServices {
public:
    explicit Win32Desktop(SystemLibraries& libraries) noexcept : mUser32(libraries.user32), mShell32(libraries.shell32)
    {
    }
    Handle GetShellWindow() override;
    std::uint32_t GetWindowThreadProcessId(Handle window, std::uint32_t& processId) override;
    std::optional<std::string> SHGetFolderPathA(int folder) override;

private:
    SystemLibrary& mUser32;
    SystemLibrary& mShell32;
    SYSTEM_FUNCTION(mUser32, GetShellWindow);
    SYSTEM_FUNCTION(mUser32, GetWindowThreadProcessId);
    SYSTEM_FUNCTION(mShell32, SHGetFolderPathA);
};

} // namespace platform::win32
