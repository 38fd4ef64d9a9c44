#pragma once

#include "platform/RegistryServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

class Win32Registry final : public RegistryServices {
public:
    explicit Win32Registry(SystemLibraries& libraries) noexcept : mAdvapi32(libraries.advapi32) {}
    std::int32_t RegCreateKeyExA(Handle root, const std::string& subKey, std::uint32_t reserved,
                                 const std::string& keyClass, std::uint32_t options, std::uint32_t samDesired,
                                 Handle& result, std::uint32_t& disposition) override;
    std::int32_t RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t reserved, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t bytes) override;
    std::int32_t RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t& type, std::uint8_t* data,
                                  std::uint32_t& bytes) override;
    std::int32_t RegEnumKeyExA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars, char* keyClass,
                               std::uint32_t* classChars, std::uint64_t& lastWriteTime) override;
    std::int32_t RegOpenKeyExA(Handle root, const std::string& subKey, std::uint32_t options, std::uint32_t samDesired,
                               Handle& result) override;
    std::int32_t RegEnumValueA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                               std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes) override;
    std::int32_t RegDeleteValueA(Handle key, const std::string& valueName) override;
    std::int32_t RegDeleteKeyA(Handle key, const std::string& subKey) override;
    bool HasRegDeleteKeyExA() override;
    std::int32_t RegDeleteKeyExA(Handle key, const std::string& subKey, std::uint32_t samDesired) override;
    std::int32_t RegCloseKey(Handle key) override;

private:
    SystemLibrary& mAdvapi32;
    SYSTEM_FUNCTION(mAdvapi32, RegCreateKeyExA);
    SYSTEM_FUNCTION(mAdvapi32, RegSetValueExA);
    SYSTEM_FUNCTION(mAdvapi32, RegQueryValueExA);
    SYSTEM_FUNCTION(mAdvapi32, RegEnumKeyExA);
    SYSTEM_FUNCTION(mAdvapi32, RegCloseKey);
    SYSTEM_FUNCTION(mAdvapi32, RegOpenKeyExA);
    SYSTEM_FUNCTION(mAdvapi32, RegEnumValueA);
    SYSTEM_FUNCTION(mAdvapi32, RegDeleteValueA);
    SYSTEM_FUNCTION(mAdvapi32, RegDeleteKeyA);
    SYSTEM_FUNCTION(mAdvapi32, RegDeleteKeyExA);
};

} // namespace platform::win32
