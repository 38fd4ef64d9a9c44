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
                                          char* keyClass, std::uint32_t& classChars, std::uint64_t& lastWriteTime)
{
    DWORD nameSize = nameChars;
    DWORD classSize = classChars;
    FILETIME written{};
    const LONG status = mRegEnumKeyExA(AsKey(key), index, name, &nameSize, nullptr, keyClass, &classSize, &written);
    nameChars = nameSize;
    classChars = classSize;
    lastWriteTime = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return status;
}

std::int32_t Win32Registry::RegCloseKey(Handle key)
{
    return mRegCloseKey(AsKey(key));
}

} // namespace platform::win32
