#pragma once

#include "platform/LaunchServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

class Win32Launch final : public LaunchServices {
public:
    explicit Win32Launch(SystemLibraries& libraries) noexcept : mKernel32(libraries.kernel32) {}
    std::optional<std::string> GetEnvironmentVariableA(const std::string& name) override;
    std::string ExpandEnvironmentStringsA(const std::string& text) override;
    Handle LaunchHidden(const std::string& applicationName, const std::string& commandLine, SystemFolder systemFolder,
                        const Place& place) override;

private:
    SystemLibrary& mKernel32;
    SYSTEM_FUNCTION(mKernel32, GetEnvironmentVariableA);
    SYSTEM_FUNCTION(mKernel32, SetEnvironmentVariableA);
    SYSTEM_FUNCTION(mKernel32, ExpandEnvironmentStringsA);
    SYSTEM_FUNCTION(mKernel32, CreateProcessA);
    SYSTEM_FUNCTION(mKernel32, GetLastError);
    SYSTEM_FUNCTION(mKernel32, Wow64DisableWow64FsRedirection);
    SYSTEM_FUNCTION(mKernel32, Wow64RevertWow64FsRedirection);
};

} // namespace platform::win32
