#pragma once

#include "platform/Handle.h"

#include <cstdint>
#include <string>

namespace platform {

// The predefined keys are negative 32-bit numbers, widened with their sign
// to a pointer's width, as the SDK defines them for 32- and 64-bit programs.
inline constexpr Handle PredefinedKey(std::uint32_t value)
{
    return static_cast<Handle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}

inline constexpr Handle kHkeyClassesRoot = PredefinedKey(0x80000000);
inline constexpr Handle kHkeyCurrentUser = PredefinedKey(0x80000001);
inline constexpr Handle kHkeyLocalMachine = PredefinedKey(0x80000002);
inline constexpr Handle kHkeyUsers = PredefinedKey(0x80000003);
inline constexpr Handle kHkeyCurrentConfig = PredefinedKey(0x80000005);

// Access masks of the opens that only read, or only read and write values.
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyQueryValue = 0x1;
inline constexpr std::uint32_t kKeySetValue = 0x2;
// With an open or a create on 64-bit Windows: the registry's 64-bit or
// 32-bit view, whatever the program's own bitness.
inline constexpr std::uint32_t kKeyWow64_64Key = 0x100;
inline constexpr std::uint32_t kKeyWow64_32Key = 0x200;

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
    // A subkey of the key that has no subkeys of its own. A 32-bit program
    // on 64-bit Windows reaches the subkey in its own view, whatever view the
    // key was opened in.
    virtual std::int32_t RegDeleteKeyA(Handle key, const std::string& subKey) = 0;
    // The same in the view samDesired names; absent before 64-bit Windows
    // had it, so callers ask before they call.
    virtual bool HasRegDeleteKeyExA() = 0;
    virtual std::int32_t RegDeleteKeyExA(Handle key, const std::string& subKey, std::uint32_t samDesired) = 0;
    virtual std::int32_t RegCloseKey(Handle key) = 0;

    // The wide forms, for what must come back exactly whatever the code
    // page: names in UTF-16, and the data of text values too (REG_SZ,
    // REG_EXPAND_SZ, REG_MULTI_SZ). The 9x line has only stubs of them: there
    // the ANSI forms stand in, the texts converted by the code page.
    virtual std::int32_t RegOpenKeyExW(Handle root, const std::u16string& subKey, std::uint32_t options,
                                       std::uint32_t samDesired, Handle& result) = 0;
    virtual std::int32_t RegCreateKeyExW(Handle root, const std::u16string& subKey, const std::u16string& keyClass,
                                         std::uint32_t options, std::uint32_t samDesired, Handle& result,
                                         std::uint32_t& disposition) = 0;
    // name holds nameChars characters; on return, the name's length.
    virtual std::int32_t RegEnumKeyExW(Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars) = 0;
    virtual std::int32_t RegEnumValueW(Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars,
                                       std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes) = 0;
    virtual std::int32_t RegQueryValueExW(Handle key, const std::u16string& valueName, std::uint32_t& type,
                                          std::uint8_t* data, std::uint32_t& bytes) = 0;
    virtual std::int32_t RegSetValueExW(Handle key, const std::u16string& valueName, std::uint32_t type,
                                        const std::uint8_t* data, std::uint32_t bytes) = 0;
};

} // namespace platform
