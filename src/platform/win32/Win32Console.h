#pragma once

#include "platform/ConsoleServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

class Win32Console final : public ConsoleServices {
public:
    explicit Win32Console(SystemLibraries& libraries) noexcept : mKernel32(libraries.kernel32) {}
    bool IsConsole(Stream stream) override;
    bool Write(Stream stream, std::string_view bytes) override;
    std::string ToConsoleText(std::u16string_view text) override;

private:
    HANDLE HandleOf(Stream stream);

    SystemLibrary& mKernel32;
    SYSTEM_FUNCTION(mKernel32, GetStdHandle);
    SYSTEM_FUNCTION(mKernel32, GetFileType);
    SYSTEM_FUNCTION(mKernel32, GetConsoleMode);
    SYSTEM_FUNCTION(mKernel32, WriteFile);
    SYSTEM_FUNCTION(mKernel32, GetConsoleOutputCP);
    SYSTEM_FUNCTION(mKernel32, WideCharToMultiByte);
};

} // namespace platform::win32
