#include "platform/win32/Win32Registry.h"

#include <algorithm>
#include <vector>

namespace platform::win32 {
namespace {

HKEY AsKey(Handle key) noexcept
{
    return reinterpret_cast<HKEY>(key);
}

LPCWSTR Wide(const std::u16string& text) noexcept
{
    return reinterpret_cast<LPCWSTR>(text.c_str());
}

bool IsText(std::uint32_t type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A key name of the registry is at most 255 characters, a value name 16,383.
constexpr DWORD kValueNameChars = 16384;

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

bool Win32Registry::HasWideForms()
{
    if (!mWide) {
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof(version);
        mWide = mGetVersionExA(&version) != FALSE && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }
    return *mWide;
}

std::string Win32Registry::Narrow(const std::u16string& text)
{
    if (text.empty()) {
        return {};
    }
    const auto* wide = reinterpret_cast<LPCWCH>(text.data());
    const int length = static_cast<int>(text.size());
    const int bytes = mWideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        mWideCharToMultiByte(CP_ACP, 0, wide, length, narrow.data(), bytes, nullptr, nullptr);
    }
    return narrow;
}

std::u16string Win32Registry::Widen(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int chars = mMultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(chars > 0 ? chars : 0), u'\0');
    if (chars > 0) {
        mMultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<LPWSTR>(wide.data()), chars);
    }
    return wide;
}

std::int32_t Win32Registry::WidenData(std::uint32_t type, const std::vector<std::uint8_t>& ansi, std::uint8_t* data,
                                      std::uint32_t& bytes)
{
    std::vector<std::uint8_t> wide = ansi;
    if (IsText(type)) {
        const std::u16string text = Widen(std::string_view(reinterpret_cast<const char*>(ansi.data()), ansi.size()));
        wide.assign(reinterpret_cast<const std::uint8_t*>(text.data()),
                    reinterpret_cast<const std::uint8_t*>(text.data()) + 2 * text.size());
    }
    const auto size = static_cast<std::uint32_t>(wide.size());
    if (data != nullptr && bytes < size) {
        bytes = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) {
        std::copy(wide.begin(), wide.end(), data);
    }
    bytes = size;
    return ERROR_SUCCESS;
}

std::int32_t Win32Registry::RegOpenKeyExW(Handle root, const std::u16string& subKey, std::uint32_t options,
                                          std::uint32_t samDesired, Handle& result)
{
    if (!HasWideForms()) {
        return RegOpenKeyExA(root, Narrow(subKey), options, samDesired, result);
    }
    HKEY key = nullptr;
    const LONG status = mRegOpenKeyExW(AsKey(root), Wide(subKey), options, samDesired, &key);
    if (status == ERROR_SUCCESS) {
        result = FromHandle(key);
    }
    return status;
}

std::int32_t Win32Registry::RegCreateKeyExW(Handle root, const std::u16string& subKey, const std::u16string& keyClass,
                                            std::uint32_t options, std::uint32_t samDesired, Handle& result,
                                            std::uint32_t& disposition)
{
    if (!HasWideForms()) {
        return RegCreateKeyExA(root, Narrow(subKey), 0, Narrow(keyClass), options, samDesired, result, disposition);
    }
    HKEY key = nullptr;
    DWORD created = 0;
    std::u16string classText = keyClass;
    const LONG status = mRegCreateKeyExW(AsKey(root), Wide(subKey), 0, reinterpret_cast<LPWSTR>(classText.data()),
                                         options, samDesired, nullptr, &key, &created);
    if (status == ERROR_SUCCESS) {
        result = FromHandle(key);
        disposition = created;
    }
    return status;
}

std::int32_t Win32Registry::RegEnumKeyExW(Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars)
{
    if (!HasWideForms()) {
        std::vector<char> narrow(MAX_PATH, '\0');
        std::uint32_t chars = MAX_PATH;
        std::uint64_t written = 0;
        const std::int32_t status = RegEnumKeyExA(key, index, narrow.data(), chars, nullptr, nullptr, written);
        const std::u16string wide = status == ERROR_SUCCESS ? Widen({narrow.data(), chars}) : std::u16string();
        if (status == ERROR_SUCCESS && wide.size() >= nameChars) {
            return ERROR_MORE_DATA;
        }
        std::copy(wide.begin(), wide.end(), name);
        nameChars = static_cast<std::uint32_t>(wide.size());
        return status;
    }
    DWORD size = nameChars;
    const LONG status =
        mRegEnumKeyExW(AsKey(key), index, reinterpret_cast<LPWSTR>(name), &size, nullptr, nullptr, nullptr, nullptr);
    nameChars = size;
    return status;
}

std::int32_t Win32Registry::RegEnumValueW(Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars,
                                          std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes)
{
    if (!HasWideForms()) {
        std::vector<char> narrow(kValueNameChars, '\0');
        std::uint32_t chars = kValueNameChars;
        std::uint32_t size = 0;
        std::int32_t status = RegEnumValueA(key, index, narrow.data(), chars, type, nullptr, size);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        std::vector<std::uint8_t> ansi(size);
        chars = kValueNameChars;
        status = RegEnumValueA(key, index, narrow.data(), chars, type, ansi.data(), size);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        ansi.resize(std::min<std::size_t>(size, ansi.size()));
        const std::u16string wide = Widen({narrow.data(), chars});
        if (wide.size() >= nameChars) {
            return ERROR_MORE_DATA;
        }
        std::copy(wide.begin(), wide.end(), name);
        nameChars = static_cast<std::uint32_t>(wide.size());
        return WidenData(type, ansi, data, bytes);
    }
    DWORD nameSize = nameChars;
    DWORD valueType = 0;
    DWORD size = bytes;
    const LONG status =
        mRegEnumValueW(AsKey(key), index, reinterpret_cast<LPWSTR>(name), &nameSize, nullptr, &valueType, data, &size);
    nameChars = nameSize;
    type = valueType;
    bytes = size;
    return status;
}

std::int32_t Win32Registry::RegQueryValueExW(Handle key, const std::u16string& valueName, std::uint32_t& type,
                                             std::uint8_t* data, std::uint32_t& bytes)
{
    if (!HasWideForms()) {
        const std::string name = Narrow(valueName);
        std::uint32_t size = 0;
        std::int32_t status = RegQueryValueExA(key, name, type, nullptr, size);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        std::vector<std::uint8_t> ansi(size);
        status = RegQueryValueExA(key, name, type, ansi.data(), size);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        ansi.resize(std::min<std::size_t>(size, ansi.size()));
        return WidenData(type, ansi, data, bytes);
    }
    DWORD valueType = 0;
    DWORD size = bytes;
    const LONG status = mRegQueryValueExW(AsKey(key), Wide(valueName), nullptr, &valueType, data, &size);
    type = valueType;
    bytes = size;
    return status;
}

std::int32_t Win32Registry::RegSetValueExW(Handle key, const std::u16string& valueName, std::uint32_t type,
                                           const std::uint8_t* data, std::uint32_t bytes)
{
    if (!HasWideForms()) {
        std::vector<std::uint8_t> narrow(data, data + bytes);
        if (IsText(type)) {
            const std::string text =
                Narrow(std::u16string(reinterpret_cast<const char16_t*>(data), bytes / sizeof(char16_t)));
            narrow.assign(text.begin(), text.end());
        }
        return RegSetValueExA(key, Narrow(valueName), 0, type, narrow.data(),
                              static_cast<std::uint32_t>(narrow.size()));
    }
    return mRegSetValueExW(AsKey(key), Wide(valueName), 0, type, data, bytes);
}

} // namespace platform::win32
