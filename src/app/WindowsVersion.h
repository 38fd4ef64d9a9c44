#pragma once

#include "platform/Platform.h"

#include <cstdint>

// The platform and version the system reports; zeroes where it cannot tell.
struct WindowsVersion {
    std::uint32_t platformId = 0;
    std::uint32_t major = 0;

    static WindowsVersion OfThisComputer()
    {
        platform::OsVersionInfoA info{};
        info.dwOSVersionInfoSize = sizeof(info);
        platform::Kernel().GetVersionExA(info);
        return {info.dwPlatformId, info.dwMajorVersion};
    }
};
