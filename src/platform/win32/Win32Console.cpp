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
    if (text.empty()) {
        return {};
    }
    const UINT console = mGetConsoleOutputCP();
    const UINT codePage = console != 0 ? console : CP_OEMCP;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int chars = static_cast<int>(text.size());
    const int bytes = mWideCharToMultiByte(codePage, 0, wide, chars, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        mWideCharToMultiByte(codePage, 0, wide, chars, converted.data(), bytes, nullptr, nullptr);
    }
    return converted;
}

} // namespace platform::win32
