#include "platform/win32/Win32Registry.h"

#include <vector>

namespace platform::win32 {
namespace {

HKEY AsKey(Handle key) noexcept
{
    return reinterpret_cast<HKEY>(key);
}

} // namespace

std::int32_t Win32Registry::RegCreateKeyExA(Handle root, const std::string& subKey, std::uint32_t reserved,
                                            const std::string& keyClass, std::uint32_t options,
                                            std::uint32_t samDesired, Handle& result, std::uint32_t& disposition)
{
    std::vector<char> classText(keyClass.begin(), keyClass.end());
    classText.push_back('\0');
    HKEY key = nullptr;
    DWORD created = disposition;
    const LONG status = mRegCreateKeyExA(AsKey(root), subKey.c_str(), reserved, classText.data(), options, samDesired,
                                         nullptr, &key, &created);
    if (status == ERROR_SUCCESS) {
        result = FromHandle(key);
        disposition = created;
    }
    return status;
}

std::int32_t Win32Registry::RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t reserved,
                                           std::uint32_t type, const std::uint8_t* data, std::uint32_t bytes)
{
    return mRegSetValueExA(AsKey(key), valueName.c_str(), reserved, type, data, bytes);
}

std::int32_t Win32Registry::RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t& type,
                                             std::uint8_t* data, std::uint32_t& bytes)
{
    DWORD valueType = type;
    DWORD size = bytes;
    const LONG status = mRegQueryValueExA(AsKey(key), valueName.c_str(), nullptr, &valueType, data, &size);
    type = valueType;
    bytes = size;
    return status;
}

std::int32_t Win32Registry::RegEnumKeyExA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                                          char* keyClass, std::uint32_t* classChars, std::uint64_t& lastWriteTime)
{
    DWORD nameSize = nameChars;
    DWORD classSize = classChars != nullptr ? *classChars : 0;
    FILETIME written{};
    const LONG status = mRegEnumKeyExA(AsKey(key), index, name, &nameSize, nullptr, keyClass,
                                       classChars != nullptr ? &classSize : nullptr, &written);
    nameChars = nameSize;
    if (classChars != nullptr) {
        *classChars = classSize;
    }
    lastWriteTime = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return status;
}

std::int32_t Win32Registry::RegOpenKeyExA(Handle root, const std::string& subKey, std::uint32_t options,
                                          std::uint32_t samDesired, Handle& result)
{
    HKEY key = nullptr;
    const LONG status = mRegOpenKeyExA(AsKey(root), subKey.c_str(), options, samDesired, &key);
    if (status == ERROR_SUCCESS) {
        result = FromHandle(key);
    }
    return status;
}

std::int32_t Win32Registry::RegEnumValueA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                                          std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes)
{
    DWORD nameSize = nameChars;
    DWORD valueType = type;
    DWORD size = bytes;
    const LONG status = mRegEnumValueA(AsKey(key), index, name, &nameSize, nullptr, &valueType, data, &size);
    nameChars = nameSize;
    type = valueType;
    bytes = size;
    return status;
}

std::int32_t Win32Registry::RegDeleteValueA(Handle key, const std::string& valueName)
{
    return mRegDeleteValueA(AsKey(key), valueName.c_str());
}

std::int32_t Win32Registry::RegDeleteKeyA(Handle key, const std::string& subKey)
{
    return mRegDeleteKeyA(AsKey(key), subKey.c_str());
}

bool Win32Registry::HasRegDeleteKeyExA()
{
    return mRegDeleteKeyExA.Available();
}

std::int32_t Win32Registry::RegDeleteKeyExA(Handle key, const std::string& subKey, std::uint32_t samDesired)
{
    return mRegDeleteKeyExA(AsKey(key), subKey.c_str(), samDesired, 0);
}

std::int32_t Win32Registry::RegCloseKey(Handle key)
{
    return mRegCloseKey(AsKey(key));
}

} // namespace platform::win32
