#pragma once

#include "platform/LaunchServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

class Win32Launch final : public LaunchServices {
public:
    std::optional<std::string> GetEnvironmentVariableA(const std::string& name) override;
    Handle LaunchHidden(const std::string& applicationName, const std::string& commandLine) override;

private:
    SystemLibrary mKernel32{"kernel32.dll"};
    SystemFunction<DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD)> mGetEnvironmentVariableA{mKernel32, "GetEnvironmentVariableA"};
    SystemFunction<BOOL(WINAPI*)(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                 LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION)>
        mCreateProcessA{mKernel32, "CreateProcessA"};
    SystemFunction<DWORD(WINAPI*)()> mGetLastError{mKernel32, "GetLastError"};
};

} // namespace platform::win32
