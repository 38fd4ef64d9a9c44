#include "registry/RegistryJournal.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"
#include "registry/KeyWalk.h"

#include <algorithm>
#include <cctype>

namespace {

using platform::Handle;

constexpr std::uint32_t kRegCreatedNewKey = 1;
// A value name has at most 16,383 characters, a key name 255; each buffer also holds the NUL.
constexpr std::uint32_t kValueNameChars = 16384;
constexpr std::uint32_t kKeyNameChars = 256;
// No value a reset changes comes near it; a larger one is left out of the backup.
constexpr std::uint32_t kLargestValueBytes = 1024 * 1024;
// How much of a value a log line shows.
constexpr std::size_t kLoggedBytes = 64;
// regedit's own width of a line of hex data.
constexpr std::size_t kRegLineWidth = 76;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Joined(std::string path, std::string sub)
{
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    while (!sub.empty() && sub.back() == '\\') {
        sub.pop_back();
    }
    return path.empty() ? sub : sub.empty() ? path : path + "\\" + sub;
}

std::string RootName(Handle root)
{
    if (root == platform::kHkeyLocalMachine) {
        return "HKEY_LOCAL_MACHINE";
    }
    if (root == platform::kHkeyCurrentUser) {
        return "HKEY_CURRENT_USER";
    }
    if (root == platform::kHkeyUsers) {
        return "HKEY_USERS";
    }
    return root == platform::kHkeyClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_CONFIG";
}

bool IsPredefined(Handle key)
{
    return key == platform::kHkeyLocalMachine || key == platform::kHkeyCurrentUser || key == platform::kHkeyUsers ||
           key == platform::kHkeyClassesRoot || key == platform::kHkeyCurrentConfig;
}

std::string Escaped(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

Text Number(std::int32_t number)
{
    return TextOfAscii(std::to_string(number));
}

// A value's name in a .reg file. Built by appending: GCC 12 warns, wrongly,
// of overlapping copies where a literal comes before a string.
std::string QuotedName(std::string_view name)
{
    std::string quoted = "\"";
    quoted += Escaped(name);
    quoted += '"';
    return quoted;
}

std::string Hex(unsigned value, std::size_t digits)
{
    return PaddedNumber(value, digits, 16);
}

// An open key of the registry below the journal, for reading, closed with the object.
class KeyBelow {
public:
    // No link of a user's hive is followed: what it leads to is no key the reset changes.
    KeyBelow(platform::RegistryServices& registry, Handle root, const std::string& path, std::uint32_t view)
        : mRegistry(registry)
    {
        std::uint32_t disposition = 0;
        mStatus = KeyWalk::Open(registry, root, path, platform::kKeyRead | view, nullptr, mKey, disposition);
    }
    KeyBelow(const KeyBelow&) = delete;
    KeyBelow& operator=(const KeyBelow&) = delete;
    ~KeyBelow()
    {
        if (mStatus == platform::kErrorSuccess) {
            mRegistry.RegCloseKey(mKey);
        }
    }

    bool Open() const noexcept { return mStatus == platform::kErrorSuccess; }
    bool Missing() const noexcept { return mStatus == platform::kErrorFileNotFound; }
    Handle Get() const noexcept { return mKey; }

private:
    platform::RegistryServices& mRegistry;
    Handle mKey = 0;
    std::int32_t mStatus = platform::kErrorFileNotFound;
};

} // namespace

RegistryJournal::RegistryJournal(platform::RegistryServices& registry, Listener& listener, bool windows64)
    : mRegistry(registry), mListener(listener), mWindows64(windows64)
{
}

// Only a 32-bit view on 64-bit Windows has keys of other names: the
// machine's software, and the class identifiers of the machine and the users.
std::string RegistryJournal::NameOf(Handle root, const std::string& path, std::uint32_t view, bool windows64)
{
    std::string hive;
    std::string rest = Joined(path, "");
    if (root == platform::kHkeyUsers) {
        const auto separator = rest.find('\\');
        hive = rest.substr(0, separator) + "\\";
        rest = separator == std::string::npos ? std::string() : rest.substr(separator + 1);
    }
    const std::string lower = Lower(rest) + "\\";
    const std::string software = "software";
    const std::string classes = "software\\classes";
    // The node goes after the key the view redirects, whose name the path may end with.
    const auto nodeAfter = [&](std::size_t length) { rest.insert(length, "\\Wow6432Node"); };
    if (windows64 && (view & platform::kKeyWow64_32Key) != 0) {
        if (lower.starts_with(classes + "\\clsid\\")) {
            nodeAfter(classes.size());
        } else if (root == platform::kHkeyLocalMachine && lower.starts_with(software + "\\") &&
                   !lower.starts_with(classes + "\\")) {
            nodeAfter(software.size());
        }
    }
    return Joined(RootName(root), hive + rest);
}

// A text with a line break or another control character goes in the hex
// form of its type: every line of the file is one line of the registry.
std::string RegistryJournal::RegLine(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    std::string line = (name.empty() ? std::string("@") : QuotedName(name)) + "=";
    const std::string_view text =
        BeforeFirstNul(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    if (type == platform::kRegSz && !HasControlCharacter(text)) {
        return line + QuotedName(text);
    }
    if (type == platform::kRegDword && data.size() == 4) {
        const unsigned number = data[0] | data[1] << 8 | data[2] << 16 | static_cast<unsigned>(data[3]) << 24;
        return line + "dword:" + Hex(number, 8);
    }
    line += type == platform::kRegBinary ? "hex:" : "hex(" + Hex(type, 1) + "):";
    std::size_t width = line.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::string byte = Hex(data[i], 2) + (i + 1 < data.size() ? "," : "");
        if (width + byte.size() > kRegLineWidth) {
            line += "\\\r\n  ";
            width = 2;
        }
        line += byte;
        width += byte.size();
    }
    return line;
}

Text RegistryJournal::DataText(std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    if (type == platform::kRegSz || type == platform::kRegExpandSz) {
        const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
        Text quoted = u"\"";
        quoted += FromAnsi(BeforeFirstNul(text));
        quoted += u'"';
        return quoted;
    }
    if (type == platform::kRegDword && data.size() == 4) {
        const unsigned number = data[0] | data[1] << 8 | data[2] << 16 | static_cast<unsigned>(data[3]) << 24;
        return TextOfAscii(std::to_string(number));
    }
    std::string bytes;
    for (std::size_t i = 0; i < data.size() && i < kLoggedBytes; ++i) {
        bytes += i == 0 ? "" : " ";
        bytes += Hex(data[i], 2);
    }
    if (data.size() > kLoggedBytes) {
        bytes += " ... (" + std::to_string(data.size()) + " bytes)";
    }
    return TextOfAscii(bytes.empty() ? "(no data)" : bytes);
}

std::optional<RegistryJournal::Place> RegistryJournal::PlaceOf(Handle key, const std::string& subKey,
                                                               std::uint32_t samDesired) const
{
    const std::uint32_t view = samDesired & (platform::kKeyWow64_32Key | platform::kKeyWow64_64Key);
    if (IsPredefined(key)) {
        return Place{key, Joined(subKey, ""), view};
    }
    const auto found = mPlaces.find(key);
    if (found == mPlaces.end()) {
        return std::nullopt;
    }
    return Place{found->second.root, Joined(found->second.path, subKey), view != 0 ? view : found->second.view};
}

std::string RegistryJournal::Name(const Place& place) const
{
    return NameOf(place.root, place.path, place.view, mWindows64);
}

std::optional<RegistryJournal::Value> RegistryJournal::ValueAt(const Place& place, const std::string& name)
{
    const KeyBelow key(mRegistry, place.root, place.path, place.view);
    Value value;
    std::uint32_t bytes = 0;
    if (!key.Open() || mRegistry.RegQueryValueExA(key.Get(), name, value.type, nullptr, bytes) != 0 ||
        bytes > kLargestValueBytes) {
        return std::nullopt;
    }
    value.data.resize(bytes);
    if (mRegistry.RegQueryValueExA(key.Get(), name, value.type, value.data.data(), bytes) != 0) {
        return std::nullopt;
    }
    value.data.resize(std::min<std::size_t>(bytes, value.data.size()));
    return value;
}

std::string RegistryJournal::Tree(const Place& place, Text& values)
{
    const std::string name = Name(place);
    if (HasControlCharacter(name)) {
        return {};
    }
    const KeyBelow key(mRegistry, place.root, place.path, place.view);
    if (!key.Open() || !mBackedUp.insert("tree " + name).second) {
        return {};
    }
    mBackedUp.insert("key " + name);
    std::string lines = "[" + name + "]\r\n";
    std::vector<char> valueName(kValueNameChars);
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t chars = kValueNameChars;
        std::uint32_t type = 0;
        std::uint32_t bytes = 0;
        if (mRegistry.RegEnumValueA(key.Get(), index, valueName.data(), chars, type, nullptr, bytes) != 0) {
            break;
        }
        const std::string ansiName(valueName.data(), std::min(chars, kValueNameChars));
        if (HasControlCharacter(ansiName)) {
            continue;
        }
        if (const auto value = ValueAt(place, ansiName)) {
            lines += RegLine(ansiName, value->type, value->data) + "\r\n";
            values += (values.empty() ? u"" : u"; ") + FromAnsi(ansiName.empty() ? "(default)" : ansiName) + u"=" +
                      DataText(value->type, value->data);
        }
    }
    lines += "\r\n";
    std::vector<std::string> subkeys;
    char subkey[kKeyNameChars];
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t chars = kKeyNameChars;
        std::uint64_t written = 0;
        if (mRegistry.RegEnumKeyExA(key.Get(), index, subkey, chars, nullptr, nullptr, written) != 0) {
            break;
        }
        const std::string child(subkey, std::min(chars, kKeyNameChars - 1));
        if (!HasControlCharacter(child)) {
            subkeys.push_back(child);
        }
    }
    for (const std::string& child : subkeys) {
        Text ignored;
        lines += Tree({place.root, Joined(place.path, child), place.view}, ignored);
    }
    return lines;
}

// Once a value, the first time it changes: a value that was not there is deleted by the import.
void RegistryJournal::BackUpValue(const Place& place, const std::string& name, const std::optional<Value>& old)
{
    const std::string key = Name(place);
    if (HasControlCharacter(key) || HasControlCharacter(name) || mBackedUp.contains("created " + key) ||
        !mBackedUp.insert("value " + key + "\\" + name).second) {
        return;
    }
    mBackedUp.insert("key " + key);
    const std::string line =
        old ? RegLine(name, old->type, old->data) : (name.empty() ? std::string("@") : QuotedName(name)) + "=-";
    mListener.Before("[" + key + "]\r\n" + line + "\r\n\r\n");
}

std::int32_t RegistryJournal::RegCreateKeyExA(Handle root, const std::string& subKey, std::uint32_t reserved,
                                              const std::string& keyClass, std::uint32_t options,
                                              std::uint32_t samDesired, Handle& result, std::uint32_t& disposition)
{
    const auto place = PlaceOf(root, subKey, samDesired);
    // A key the run makes, which was never there before: the import deletes it.
    if (place && !HasControlCharacter(Name(*place)) && !mBackedUp.contains("key " + Name(*place)) &&
        KeyBelow(mRegistry, place->root, place->path, place->view).Missing()) {
        mBackedUp.insert("key " + Name(*place));
        mBackedUp.insert("created " + Name(*place));
        mListener.Before("[-" + Name(*place) + "]\r\n\r\n");
    }
    const std::int32_t status =
        mRegistry.RegCreateKeyExA(root, subKey, reserved, keyClass, options, samDesired, result, disposition);
    if (!place) {
        return status;
    }
    if (status != platform::kErrorSuccess) {
        mListener.After(u"Could not open " + FromAnsi(Name(*place)) + u" to write (error " + Number(status) + u")",
                        true);
        return status;
    }
    mPlaces[result] = *place;
    if (disposition == kRegCreatedNewKey) {
        mListener.After(u"Created the key " + FromAnsi(Name(*place)), false);
    }
    return status;
}

std::int32_t RegistryJournal::RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t reserved,
                                             std::uint32_t type, const std::uint8_t* data, std::uint32_t bytes)
{
    const Text written = DataText(type, std::vector<std::uint8_t>(data, data + bytes));
    return ValueChanged(
        key, valueName,
        [&](const Text& value, const std::optional<Value>& old, std::int32_t status) {
            const Text was = old ? DataText(old->type, old->data) : Text(u"not there");
            return status == platform::kErrorSuccess
                       ? u"Set " + value + u" to " + written + u" (it was " + was + u")"
                       : u"Could not set " + value + u" to " + written + u" (error " + Number(status) + u")";
        },
        [&] { return mRegistry.RegSetValueExA(key, valueName, reserved, type, data, bytes); });
}

std::int32_t RegistryJournal::RegDeleteValueA(Handle key, const std::string& valueName)
{
    return ValueChanged(
        key, valueName,
        [&](const Text& value, const std::optional<Value>& old, std::int32_t status) {
            const Text was = old ? DataText(old->type, old->data) : Text(u"unreadable");
            return status == platform::kErrorSuccess
                       ? u"Deleted " + value + u", which was " + was
                       : u"Could not delete " + value + u" (error " + Number(status) + u")";
        },
        [&] { return mRegistry.RegDeleteValueA(key, valueName); });
}

std::int32_t RegistryJournal::ValueChanged(Handle key, const std::string& valueName, const Telling& tell,
                                           const std::function<std::int32_t()>& change)
{
    const auto place = PlaceOf(key, "", 0);
    if (!place) {
        return change();
    }
    const auto old = ValueAt(*place, valueName);
    BackUpValue(*place, valueName, old);
    const std::int32_t status = change();
    const Text value = FromAnsi(Name(*place)) + u"\\" + FromAnsi(valueName.empty() ? "(default)" : valueName);
    mListener.After(tell(value, old, status), status != platform::kErrorSuccess);
    return status;
}

std::int32_t RegistryJournal::RegDeleteKeyA(Handle key, const std::string& subKey)
{
    return KeyDeleted(PlaceOf(key, subKey, 0), [&] { return mRegistry.RegDeleteKeyA(key, subKey); });
}

std::int32_t RegistryJournal::RegDeleteKeyExA(Handle key, const std::string& subKey, std::uint32_t samDesired)
{
    return KeyDeleted(PlaceOf(key, subKey, samDesired),
                      [&] { return mRegistry.RegDeleteKeyExA(key, subKey, samDesired); });
}

std::int32_t RegistryJournal::KeyDeleted(const std::optional<Place>& place, const std::function<std::int32_t()>& remove)
{
    if (!place) {
        return remove();
    }
    Text values;
    if (const std::string lines = Tree(*place, values); !lines.empty()) {
        mListener.Before(lines);
    }
    const std::int32_t status = remove();
    const Text name = FromAnsi(Name(*place));
    mListener.After(status == platform::kErrorSuccess
                        ? u"Deleted the key " + name + u", which held " + (values.empty() ? u"no values" : values)
                        : u"Could not delete the key " + name + u" (error " + Number(status) + u")",
                    status != platform::kErrorSuccess);
    return status;
}

std::int32_t RegistryJournal::RegOpenKeyExA(Handle root, const std::string& subKey, std::uint32_t options,
                                            std::uint32_t samDesired, Handle& result)
{
    const std::int32_t status = mRegistry.RegOpenKeyExA(root, subKey, options, samDesired, result);
    if (status == platform::kErrorSuccess) {
        if (const auto place = PlaceOf(root, subKey, samDesired)) {
            mPlaces[result] = *place;
        }
    }
    return status;
}

std::int32_t RegistryJournal::RegCloseKey(Handle key)
{
    mPlaces.erase(key);
    return mRegistry.RegCloseKey(key);
}

std::int32_t RegistryJournal::RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t& type,
                                               std::uint8_t* data, std::uint32_t& bytes)
{
    return mRegistry.RegQueryValueExA(key, valueName, type, data, bytes);
}

std::int32_t RegistryJournal::RegEnumKeyExA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                                            char* keyClass, std::uint32_t* classChars, std::uint64_t& lastWriteTime)
{
    return mRegistry.RegEnumKeyExA(key, index, name, nameChars, keyClass, classChars, lastWriteTime);
}

std::int32_t RegistryJournal::RegEnumValueA(Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                                            std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes)
{
    return mRegistry.RegEnumValueA(key, index, name, nameChars, type, data, bytes);
}

bool RegistryJournal::HasRegDeleteKeyExA()
{
    return mRegistry.HasRegDeleteKeyExA();
}
