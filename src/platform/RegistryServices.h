#pragma once

#include "platform/Handle.h"

#include <cstdint>
#include <string>

namespace platform {

inline constexpr Handle kHkeyClassesRoot = 0x80000000;
inline constexpr Handle kHkeyCurrentUser = 0x80000001;
inline constexpr Handle kHkeyLocalMachine = 0x80000002;
inline constexpr Handle kHkeyUsers = 0x80000003;

// Access masks of the opens that only read, or only read and write values.
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyQueryValue = 0x1;
inline constexpr std::uint32_t kKeySetValue = 0x2;
// With an open: the 64-bit view of the registry, for a 32-bit program on 64-bit Windows.
inline constexpr std::uint32_t kKeyWow64_64Key = 0x100;

// advapi32: the registry calls, ANSI forms; every result is the Win32 status.
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
    // keyClass and classChars may both be null: the class is then not asked for.
    virtual std::int32_t RegEnumKeyExA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                                       char* keyClass, std::uint32_t* classChars, std::uint64_t& lastWriteTime) = 0;
    // Opens an existing key; never creates one.
    virtual std::int32_t RegOpenKeyExA(Handle root, const std::string& subKey, std::uint32_t options,
                                       std::uint32_t samDesired, Handle& result) = 0;
    // data may be null to learn the type and the size only.
    virtual std::int32_t RegEnumValueA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                                       std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes) = 0;
    virtual std::int32_t RegDeleteValueA(Handle key, const std::string& valueName) = 0;
    virtual std::int32_t RegCloseKey(Handle key) = 0;
};

} // namespace platform
