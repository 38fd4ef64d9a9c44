#pragma once

#include "platform/MessageServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

class Win32Messages final : public MessageServices {
public:
    explicit Win32Messages(SystemLibraries& libraries) noexcept : mUser32(libraries.user32) {}
    std::int32_t MessageBoxA(Handle owner, const std::string& text, const std::string& caption,
                             std::uint32_t type) override;
    Handle GetActiveWindow() override;

private:
    SystemLibrary& mUser32;
    SYSTEM_FUNCTION(mUser32, MessageBoxA);
    SYSTEM_FUNCTION(mUser32, GetActiveWindow);
};

} // namespace platform::win32
