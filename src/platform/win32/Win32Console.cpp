#include "platform/win32/Win32Console.h"

#include <algorithm>
#include <climits>
#include <string>

namespace platform::win32 {

HANDLE Win32Console::HandleOf(Stream stream)
{
    return mGetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

// A character device may be a printer or NUL: only one with a console mode is a console.
bool Win32Console::IsConsole(Stream stream)
{
    const HANDLE handle = HandleOf(stream);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && mGetFileType(handle) == FILE_TYPE_CHAR &&
           mGetConsoleMode(handle, &mode) != FALSE;
}

bool Win32Console::Write(Stream stream, std::string_view bytes)
{
    const HANDLE handle = HandleOf(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), INT_MAX));
        if (mWriteFile(handle, bytes.data(), chunk, &written, nullptr) == FALSE || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

std::string Win32Console::ToConsoleText(std::u16string_view text)
{
    const UINT console = mGetConsoleOutputCP();
    return mKernel.WideToCodePage(console != 0 ? console : CP_OEMCP, text);
}

} // namespace platform::win32
