#include "platform/win32/Win32Desktop.h"

namespace platform::win32 {

Handle Win32Desktop::GetShellWindow()
{
    return mGetShellWindow.Available() ? FromHandle(mGetShellWindow()) : 0;
}

std::uint32_t Win32Desktop::GetWindowThreadProcessId(Handle window, std::uint32_t& processId)
{
    DWORD process = 0;
    const DWORD thread =
        mGetWindowThreadProcessId.Available() ? mGetWindowThreadProcessId(reinterpret_cast<HWND>(window), &process) : 0;
    processId = process;
    return thread;
}

std::optional<std::string> Win32Desktop::SHGetFolderPathA(int folder)
{
    char path[MAX_PATH] = {};
    if (!mSHGetFolderPathA.Available() || mSHGetFolderPathA(nullptr, folder, nullptr, 0, path) != S_OK) {
        return std::nullopt;
    }
    return std::string(path);
}

} // namespace platform::win32
