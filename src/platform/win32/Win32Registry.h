#pragma once

#include "platform/RegistryServices.h"
#include "platform/win32/SystemLibrary.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::win32 {

class Win32Registry final : public RegistryServices {
public:
    explicit Win32Registry(SystemLibraries& libraries) noexcept
        : mAdvapi32(libraries.advapi32), mKernel32(libraries.kernel32)
    {
    }
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
    std::int32_t RegOpenKeyExW(Handle root, const std::u16string& subKey, std::uint32_t options,
                               std::uint32_t samDesired, Handle& result) override;
    std::int32_t RegCreateKeyExW(Handle root, const std::u16string& subKey, const std::u16string& keyClass,
                                 std::uint32_t options, std::uint32_t samDesired, Handle& result,
                                 std::uint32_t& disposition) override;
    std::int32_t RegEnumKeyExW(Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars) override;
    std::int32_t RegEnumValueW(Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars,
                               std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes) override;
    std::int32_t RegQueryValueExW(Handle key, const std::u16string& valueName, std::uint32_t& type, std::uint8_t* data,
                                  std::uint32_t& bytes) override;
    std::int32_t RegSetValueExW(Handle key, const std::u16string& valueName, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t bytes) override;

private:
    // Whether the wide forms are the system's own (the NT line), asked once.
    bool HasWideForms();
    std::string Narrow(const std::u16string& text);
    std::u16string Widen(std::string_view text);
    // A value's data as the ANSI form gives it, turned into the wide form's: texts in UTF-16.
    std::int32_t WidenData(std::uint32_t type, const std::vector<std::uint8_t>& ansi, std::uint8_t* data,
                           std::uint32_t& bytes);

    SystemLibrary& mAdvapi32;
    SystemLibrary& mKernel32;
    std::optional<bool> mWide;
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
    SYSTEM_FUNCTION(mAdvapi32, RegOpenKeyExW);
    SYSTEM_FUNCTION(mAdvapi32, RegCreateKeyExW);
    SYSTEM_FUNCTION(mAdvapi32, RegEnumKeyExW);
    SYSTEM_FUNCTION(mAdvapi32, RegEnumValueW);
    SYSTEM_FUNCTION(mAdvapi32, RegQueryValueExW);
    SYSTEM_FUNCTION(mAdvapi32, RegSetValueExW);
    SYSTEM_FUNCTION(mKernel32, GetVersionExA);
    SYSTEM_FUNCTION(mKernel32, MultiByteToWideChar);
    SYSTEM_FUNCTION(mKernel32, WideCharToMultiByte);
};

} // namespace platform::win32
