#pragma once

#include "platform/RegistryServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

class Win32Registry final : public RegistryServices {
public:
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
    std::int32_t RegCloseKey(Handle key) override;

private:
    SystemLibrary mAdvapi32{"advapi32.dll"};
    SystemFunction<LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD)>
        mRegCreateKeyExA{mAdvapi32, "RegCreateKeyExA"};
    SystemFunction<LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD)> mRegSetValueExA{mAdvapi32,
                                                                                                  "RegSetValueExA"};
    SystemFunction<LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD)> mRegQueryValueExA{
        mAdvapi32, "RegQueryValueExA"};
    SystemFunction<LONG(WINAPI*)(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, PFILETIME)> mRegEnumKeyExA{
        mAdvapi32, "RegEnumKeyExA"};
    SystemFunction<LONG(WINAPI*)(HKEY)> mRegCloseKey{mAdvapi32, "RegCloseKey"};
    SystemFunction<LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY)> mRegOpenKeyExA{mAdvapi32, "RegOpenKeyExA"};
    SystemFunction<LONG(WINAPI*)(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD)> mRegEnumValueA{
        mAdvapi32, "RegEnumValueA"};
    SystemFunction<LONG(WINAPI*)(HKEY, LPCSTR)> mRegDeleteValueA{mAdvapi32, "RegDeleteValueA"};
};

} // namespace platform::win32
