#pragma once

#include "platform/Handle.h"

#include <cstdint>
#include <string>

namespace platform {

inline constexpr Handle kHkeyCurrentUser = 0x80000001;
inline constexpr Handle kHkeyLocalMachine = 0x80000002;

// advapi32: the five registry calls, ANSI forms; every result is the Win32 status.
class RegistryServices {
public:
    virtual ~RegistryServices() = default;

    virtual std::int32_t RegCreateKeyExA(Handle root, const std::string& subKey, std::uint32_t reserved,
                                         const std::string& keyClass, std::uint32_t options, std::uint32_t samDesired,
                                         Handle& result, std::uint32_t& disposition) = 0;
    virtual std::int32_t RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t reserved,
                                        std::uint32_t type, const std::uint8_t* data, std::uint32_t bytes) = 0;
    // data may be null to learn the type and the size only.
    virtual std::int32_t RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t& type,
                                          std::uint8_t* data, std::uint32_t& bytes) = 0;
    virtual std::int32_t RegEnumKeyExA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                                       char* keyClass, std::uint32_t& classChars, std::uint64_t& lastWriteTime) = 0;
    virtual std::int32_t RegCloseKey(Handle key) = 0;
};

} // namespace platform
