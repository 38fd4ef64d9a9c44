#include "platform/win32/Win32Messages.h"

namespace platform::win32 {

std::int32_t Win32Messages::MessageBoxA(Handle owner, const std::string& text, const std::string& caption,
                                        std::uint32_t type)
{
    return mMessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(), type);
}

Handle Win32Messages::GetActiveWindow()
{
    return FromHandle(mGetActiveWindow());
}

} // namespace platform::win32
