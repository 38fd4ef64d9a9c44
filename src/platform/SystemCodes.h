#pragma once

#include <cstdint>

// The Win32 status codes and registry value types the program tells apart,
// by their published numbers, so that every layer and every fake agrees on them.
namespace platform {

inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorBadPathName = 161;
inline constexpr std::int32_t kErrorMoreData = 234;
inline constexpr std::int32_t kErrorNoMoreItems = 259;
inline constexpr std::int32_t kErrorAlreadyExists = 183;

// GetVersionExA's platforms: the 9x line and the NT line.
inline constexpr std::uint32_t kVerPlatformWin32Windows = 1;
inline constexpr std::uint32_t kVerPlatformWin32Nt = 2;

// GetExitCodeProcess's code of a process that still runs.
inline constexpr std::uint32_t kStillActive = 259;

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// The types whose data the wide calls give in UTF-16 and the ANSI ones in the code page.
inline constexpr bool IsTextType(std::uint32_t type) noexcept
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

} // namespace platform
