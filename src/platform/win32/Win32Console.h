#pragma once

#include "platform/ConsoleServices.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Win32Kernel.h"

namespace platform::win32 {

class Win32Console final : public ConsoleServices {
public:
    Win32Console(SystemLibraries& libraries, Win32Kernel& kernel) noexcept
        : mKernel32(libraries.kernel32), mKernel(kernel)
    {
    }
    bool IsConsole(Stream stream) override;
    bool Write(Stream stream, std::string_view bytes) override;
    std::string ToConsoleText(std::u16string_view text) override;

private:
    HANDLE HandleOf(Stream stream);

    SystemLibrary& mKernel32;
    Win32Kernel& mKernel;
    SYSTEM_FUNCTION(mKernel32, GetStdHandle);
    SYSTEM_FUNCTION(mKernel32, GetFileType);
    SYSTEM_FUNCTION(mKernel32, GetConsoleMode);
    SYSTEM_FUNCTION(mKernel32, WriteFile);
    SYSTEM_FUNCTION(mKernel32, GetConsoleOutputCP);
};

} // namespace platform::win32
