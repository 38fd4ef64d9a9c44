#include "registry/CRegistry.h"

#include "registry/KeyWalk.h"

#include "common/LittleEndian.h"
#include "common/RuntimeError.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using platform::kErrorInvalidHandle;
using platform::kErrorMoreData;
using platform::kRegDword;
using platform::kRegExpandSz;
using platform::kRegSz;

constexpr std::int32_t kReadFailed = -1;
constexpr std::uint32_t kRegCreatedNewKey = 1;
// A key name has at most 255 characters; the buffer also holds its NUL.
constexpr std::uint32_t kSubkeyNameChars = 256;
// A value name has at most 16,383 characters, plus its NUL.
constexpr std::uint32_t kValueNameChars = 16384;
constexpr std::size_t kFirstValueBytes = 1024;
// Values are read only up to this size: no value the program looks at is
// near it, and a size claimed past it must not become an allocation.
constexpr std::uint32_t kLargestValueBytes = 1024 * 1024;

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// A number written as text: surrounding blanks, a sign, decimal digits and an
// optional fraction rounded half to even. Anything else does not convert.
std::int32_t NumberOfText(const Text& text)
{
    std::size_t i = 0;
    std::size_t end = text.size();
    while (i < end && IsSpace(text[i])) {
        ++i;
    }
    while (end > i && IsSpace(text[end - 1])) {
        --end;
    }
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long magnitude = 0;
    bool digits = false;
    for (; i < end && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        digits = true;
        magnitude = magnitude * 10 + (text[i] - u'0');
        if (magnitude > 2147483648LL) {
            throw RuntimeError::Overflow();
        }
    }
    if (i < end && text[i] == u'.') {
        ++i;
        const std::size_t fraction = i;
        for (; i < end && text[i] >= u'0' && text[i] <= u'9'; ++i) {
            digits = true;
        }
        if (fraction < i) {
            const char16_t first = text[fraction];
            const bool restNonZero =
                std::any_of(text.begin() + static_cast<std::ptrdiff_t>(fraction) + 1,
                            text.begin() + static_cast<std::ptrdiff_t>(i), [](char16_t c) { return c != u'0'; });
            if (first > u'5' || (first == u'5' && (restNonZero || magnitude % 2 == 1))) {
                ++magnitude;
            }
        }
    }
    if (!digits || i != end) {
        throw RuntimeError::TypeMismatch();
    }
    const long long number = negative ? -magnitude : magnitude;
    if (number > INT32_MAX || number < INT32_MIN) {
        throw RuntimeError::Overflow();
    }
    return static_cast<std::int32_t>(number);
}

} // namespace

Long CRegistry::OpenKey(const Text& keyName, platform::Handle hKey, Long samDesired)
{
    const Text& path = keyName.empty() ? mDefaultKey : keyName;
    // The handle of an earlier open must not leak when the object is reused.
    CloseKey();
    platform::Handle opened = 0;
    std::uint32_t disposition = 0;
    const auto access = static_cast<std::uint32_t>(samDesired.Value());
    const std::string keyClass = "0";
    const std::int32_t status =
        KeyWalk::Open(platform::Registry(), hKey, ToAnsi(path), access, &keyClass, opened, disposition);
    return KeepOpened(status, opened, disposition, access);
}

Long CRegistry::OpenExistingKey(const Text& keyName, platform::Handle hKey, std::uint32_t samDesired)
{
    const Text& path = keyName.empty() ? mDefaultKey : keyName;
    CloseKey();
    platform::Handle opened = 0;
    std::uint32_t disposition = 0;
    const std::int32_t status =
        KeyWalk::Open(platform::Registry(), hKey, ToAnsi(path), samDesired, nullptr, opened, disposition);
    return KeepOpened(status, opened, 0, samDesired);
}

Long CRegistry::KeepOpened(std::int32_t status, platform::Handle opened, std::uint32_t disposition,
                           std::uint32_t access)
{
    if (status == 0) {
        mKey.Reset(opened);
        mView = access & (platform::kKeyWow64_64Key | platform::kKeyWow64_32Key);
        if (disposition == kRegCreatedNewKey) {
            mIsNewKey = True;
        }
        mKeyOpen = True;
    }
    return status;
}

Boolean CRegistry::IsNewKey() const noexcept
{
    return mIsNewKey;
}

Text CRegistry::DefaultKey() const
{
    return mDefaultKey;
}

void CRegistry::DefaultKey(const Text& newDefaultKey)
{
    mDefaultKey = newDefaultKey;
}

void CRegistry::CloseKey() noexcept
{
    if (mKeyOpen) {
        mKey.Reset();
        mKeyOpen = False;
    }
}

Long CRegistry::GetLong(const Text& name, Long defaultValue)
{
    Value value;
    if (QueryValue(mKey.Get(), name, value) == kReadFailed) {
        return defaultValue;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return *number;
    }
    if (const auto* text = std::get_if<Text>(&value)) {
        return NumberOfText(*text);
    }
    return 0;
}

Text CRegistry::GetString(const Text& name, const Text& defaultValue)
{
    Value value;
    if (QueryValue(mKey.Get(), name, value) == kReadFailed) {
        return defaultValue;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return TextOfAscii(std::to_string(*number));
    }
    if (const auto* text = std::get_if<Text>(&value)) {
        return *text;
    }
    return Text();
}

Long CRegistry::PutLong(const Text& name, Long value)
{
    return SetValue(mKey.Get(), name, kRegDword, value.Value());
}

Long CRegistry::PutString(const Text& name, const Text& value)
{
    return SetValue(mKey.Get(), name, kRegSz, value);
}

Text CRegistry::FindFirst()
{
    mEnumIndex = 0;
    return ReadSubkey(mEnumIndex);
}

Text CRegistry::FindNext(Long index)
{
    if (index != -1) {
        mEnumIndex = index;
    }
    Text name = ReadSubkey(mEnumIndex);
    ++mEnumIndex;
    return name;
}

Long CRegistry::SubkeyNames(std::vector<Text>& names)
{
    names.clear();
    Text name;
    std::int32_t status = 0;
    for (std::int32_t index = 0; (status = ReadSubkey(index, name)) == 0; ++index) {
        names.push_back(std::move(name));
    }
    return status;
}

Long CRegistry::SetValue(platform::Handle key, const Text& name, std::uint32_t type, const Value& value)
{
    if (!mKeyOpen) {
        return kErrorInvalidHandle;
    }
    std::vector<std::uint8_t> data;
    if (type == kRegSz) {
        // Counted in ANSI bytes: a double-byte code page makes more bytes than characters.
        const std::string ansi = ToAnsi(std::get<Text>(value));
        data.assign(ansi.begin(), ansi.end());
        data.push_back(0);
    } else {
        const auto number = static_cast<std::uint32_t>(std::get<std::int32_t>(value));
        data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
    }
    return platform::Registry().RegSetValueExA(key, ToAnsi(name), 0, type, data.data(),
                                               static_cast<std::uint32_t>(data.size()));
}

Long CRegistry::QueryValue(platform::Handle key, const Text& name, Value& value) noexcept
{
    std::int32_t status = kReadFailed;
    if (!mKeyOpen) {
        return status;
    }
    // Whatever goes wrong inside, the caller gets the status reached so far.
    try {
        auto& registry = platform::Registry();
        const std::string ansiName = ToAnsi(name);
        std::uint32_t type = 0;
        std::uint32_t bytes = 0;
        status = registry.RegQueryValueExA(key, ansiName, type, nullptr, bytes);
        if (status != 0) {
            status = kReadFailed;
        }
        if (type == kRegSz) {
            // One spare byte, so that a value stored with no bytes still has a buffer.
            std::vector<char> buffer(static_cast<std::size_t>(bytes) + 1, '\0');
            std::uint32_t read = bytes;
            status =
                registry.RegQueryValueExA(key, ansiName, type, reinterpret_cast<std::uint8_t*>(buffer.data()), read);
            if (status != 0) {
                value = std::monostate();
            } else {
                value = Text(BeforeFirstNul(
                    std::u16string_view(FromAnsi(std::string_view(buffer.data(), std::min(read, bytes))))));
            }
        } else if (type == kRegDword) {
            // Never more than the four bytes of the number: a longer value reads as "more data".
            std::array<std::uint8_t, 4> number{};
            std::uint32_t read = std::min<std::uint32_t>(bytes, 4);
            status = registry.RegQueryValueExA(key, ansiName, type, number.data(), read);
            if (status == 0) {
                value = static_cast<std::int32_t>(LittleEndian32(number, 0));
            }
        } else {
            status = kReadFailed;
        }
    } catch (...) {
        RuntimeError::IgnoreCaughtException();
    }
    return status;
}

Text CRegistry::ReadSubkey(std::int32_t index)
{
    Text name;
    ReadSubkey(index, name);
    return name;
}

std::int32_t CRegistry::ReadSubkey(std::int32_t index, Text& name)
{
    name.clear();
    if (!mKeyOpen) {
        return kErrorInvalidHandle;
    }
    std::array<char, kSubkeyNameChars> buffer{};
    std::uint32_t nameChars = kSubkeyNameChars;
    std::uint64_t lastWriteTime = 0;
    // No class buffer: a class count of 0 makes the registry refuse the whole
    // entry, name included, with "more data".
    const std::int32_t status = platform::Registry().RegEnumKeyExA(
        mKey.Get(), static_cast<std::uint32_t>(index), buffer.data(), nameChars, nullptr, nullptr, lastWriteTime);
    if (status == 0 || status == kErrorMoreData) {
        const std::string_view stored(buffer.data(), std::min(nameChars, kSubkeyNameChars));
        name = FromAnsi(BeforeFirstNul(stored));
    }
    return status;
}

Long CRegistry::ReadValue(Long index, RawValue& value)
{
    if (!mKeyOpen) {
        return kErrorInvalidHandle;
    }
    auto& registry = platform::Registry();
    std::vector<char> name(kValueNameChars, '\0');
    value.data.assign(kFirstValueBytes, 0);
    // Twice at most: once more when the data did not fit the first buffer.
    std::int32_t status = kErrorMoreData;
    for (int attempt = 0; attempt < 2 && status == kErrorMoreData; ++attempt) {
        std::uint32_t nameChars = kValueNameChars;
        auto bytes = static_cast<std::uint32_t>(value.data.size());
        std::uint32_t type = 0;
        status = registry.RegEnumValueA(mKey.Get(), static_cast<std::uint32_t>(index.Value()), name.data(), nameChars,
                                        type, value.data.data(), bytes);
        if (status == 0) {
            value.ansiName.assign(name.data(), std::min(nameChars, kValueNameChars));
            value.type = type;
            value.data.resize(std::min<std::size_t>(bytes, value.data.size()));
            return status;
        }
        if (status == kErrorMoreData && bytes > value.data.size() && bytes <= kLargestValueBytes) {
            value.data.assign(bytes, 0);
        }
    }
    value = RawValue();
    return status;
}

Long CRegistry::ReadNamedValue(const std::string& ansiName, RawValue& value)
{
    value = RawValue();
    if (!mKeyOpen) {
        return kErrorInvalidHandle;
    }
    auto& registry = platform::Registry();
    std::uint32_t type = 0;
    std::uint32_t bytes = 0;
    std::int32_t status = registry.RegQueryValueExA(mKey.Get(), ansiName, type, nullptr, bytes);
    if (status != 0) {
        return status;
    }
    if (bytes > kLargestValueBytes) {
        return kErrorMoreData;
    }
    // One spare byte, so that a value of no bytes still passes a buffer.
    std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes) + 1, 0);
    std::uint32_t read = bytes;
    status = registry.RegQueryValueExA(mKey.Get(), ansiName, type, data.data(), read);
    if (status != 0) {
        return status;
    }
    data.resize(std::min(read, bytes));
    value = RawValue{ansiName, type, std::move(data)};
    return status;
}

std::optional<std::uint32_t> CRegistry::ReadDword(const std::string& ansiName)
{
    RawValue value;
    if (ReadNamedValue(ansiName, value) != 0 || value.type != kRegDword || value.data.size() != 4) {
        return std::nullopt;
    }
    return LittleEndian32(value.data, 0);
}

std::optional<std::pair<Text, bool>> CRegistry::GetStoredString(const Text& name)
{
    RawValue value;
    if (ReadNamedValue(ToAnsi(name), value) != 0 || (value.type != kRegSz && value.type != kRegExpandSz)) {
        return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    return std::pair(FromAnsi(BeforeFirstNul(text)), value.type == kRegExpandSz);
}

Text CRegistry::GetExpandedString(const Text& name, const Text& defaultValue)
{
    const auto stored = GetStoredString(name);
    if (!stored) {
        return defaultValue;
    }
    return stored->second ? FromAnsi(platform::Launch().ExpandEnvironmentStringsA(ToAnsi(stored->first)))
                          : stored->first;
}

// Through the key's own handle, not by a name under its parent: a name
// that a user swapped for a link after the key was opened leads nowhere.
Long CRegistry::DeleteKey()
{
    if (!mKeyOpen) {
        return kErrorInvalidHandle;
    }
    // A 32-bit program's RegDeleteKeyA reaches its own view's key of that name, not the view the key was opened in.
    auto& registry = platform::Registry();
    if (mView != 0 && registry.HasRegDeleteKeyExA()) {
        return registry.RegDeleteKeyExA(mKey.Get(), std::string(), mView);
    }
    return registry.RegDeleteKeyA(mKey.Get(), std::string());
}

Long CRegistry::DeleteValue(const RawValue& value)
{
    if (!mKeyOpen) {
        return kErrorInvalidHandle;
    }
    return platform::Registry().RegDeleteValueA(mKey.Get(), value.ansiName);
}

bool CRegistry::DeleteTree(platform::Handle root, const Text& path, std::uint32_t view)
{
    CRegistry key;
    if (key.OpenExistingKey(path, root, platform::kKeyRead | view) != platform::kErrorSuccess) {
        return false;
    }
    std::vector<Text> children;
    if (key.SubkeyNames(children) != platform::kErrorNoMoreItems) {
        return false;
    }
    const bool childrenGone = std::all_of(children.begin(), children.end(), [&](const Text& child) {
        return !HasControlCharacter(child) && DeleteTree(root, path + u"\\" + child, view);
    });
    return childrenGone && key.DeleteKey() == platform::kErrorSuccess;
}
