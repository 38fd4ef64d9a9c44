#pragma once

#include "platform/Platform.h"
#include "platform/SystemCodes.h"

#include <cstdint>

// The platform and version the system reports; zeroes where it cannot tell.
struct WindowsVersion {
    std::uint32_t platformId = 0;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;

    static WindowsVersion OfThisComputer()
    {
        platform::OsVersionInfoA info{};
        info.dwOSVersionInfoSize = sizeof(info);
        platform::Kernel().GetVersionExA(info);
        return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
    }

    // The NT line from major.minor on.
    bool IsNtAtLeast(std::uint32_t atLeastMajor, std::uint32_t atLeastMinor = 0) const noexcept
    {
        return platformId == platform::kVerPlatformWin32Nt &&
               (major > atLeastMajor || (major == atLeastMajor && minor >= atLeastMinor));
    }
};
