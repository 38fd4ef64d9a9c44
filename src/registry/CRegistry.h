#pragma once

#include "common/Boolean.h"
#include "common/Checked.h"
#include "common/Text.h"
#include "platform/Handle.h"
#include "platform/Handles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// One open registry key: typed value reads and writes (REG_DWORD numbers and
// REG_SZ texts) and subkey enumeration. Destruction closes the key.
class CRegistry {
public:
    // A value as the registry holds it. The name stays in the registry's own
    // ANSI bytes, so that deleting it names exactly that value in any code page.
    struct RawValue {
        std::string ansiName;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };

    CRegistry() = default;

    Long OpenKey(const Text& keyName, platform::Handle hKey, Long samDesired);
    Boolean IsNewKey() const noexcept;
    Text DefaultKey() const;
    void DefaultKey(const Text& newDefaultKey);
    void CloseKey() noexcept;
    Long GetLong(const Text& name, Long defaultValue);
    Text GetString(const Text& name, const Text& defaultValue);
    Long PutLong(const Text& name, Long value);
    Long PutString(const Text& name, const Text& value);
    Text FindFirst();
    Text FindNext(Long index);

    // Every subkey of the open key, in the registry's order: status 259 when
    // the listing is whole, any other when it was cut short, the names read
    // until then kept.
    Long SubkeyNames(std::vector<Text>& names);
    // Deletes a key, and its subkeys first: the NT line deletes only a key
    // without any. A name with a control character is never deleted: no
    // backup could hold it as one line.
    static bool DeleteTree(platform::Handle root, const Text& path, std::uint32_t view);

    // Keys under a user's hive are opened one name at a time, and a
    // registry link on the way is never followed (KeyWalk).
    // Like OpenKey, but a missing key stays missing.
    Long OpenExistingKey(const Text& keyName, platform::Handle hKey, std::uint32_t samDesired);
    // The value at position index (from 0) of the open key; status 259 past the last one.
    Long ReadValue(Long index, RawValue& value);
    // The value of that name, as ReadValue gives it.
    Long ReadNamedValue(const std::string& ansiName, RawValue& value);
    // A REG_DWORD of that name; none for a value that is missing or of another type or size.
    std::optional<std::uint32_t> ReadDword(const std::string& ansiName);
    Long DeleteValue(const RawValue& value);
    // The open key itself, where it has no subkeys of its own.
    Long DeleteKey();
    // The text of a REG_SZ or REG_EXPAND_SZ value as stored, and whether it
    // is one to expand; none for a value that is missing or of another type.
    std::optional<std::pair<Text, bool>> GetStoredString(const Text& name);
    // A REG_SZ text, or a REG_EXPAND_SZ one with its environment variables
    // expanded; defaultValue for a value that is missing or of another type.
    Text GetExpandedString(const Text& name, const Text& defaultValue);

private:
    using Value = std::variant<std::monostate, std::int32_t, Text>;

    Long SetValue(platform::Handle key, const Text& name, std::uint32_t type, const Value& value);
    Long QueryValue(platform::Handle key, const Text& name, Value& value) noexcept;

    Text ReadSubkey(std::int32_t index);
    std::int32_t ReadSubkey(std::int32_t index, Text& name);
    Long KeepOpened(std::int32_t status, platform::Handle opened, std::uint32_t disposition, std::uint32_t access);

    Text mDefaultKey = u"Software\\Microsoft\\Office\\";
    Boolean mIsNewKey = False;
    Boolean mKeyOpen = False;
    platform::UniqueRegistryKey mKey;
    Long mEnumIndex = 0;
    // The registry view the key was opened in, for deleting its subkeys in the same one.
    std::uint32_t mView = 0;
};
