#include "registry/RegistryJournal.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"
#include "registry/KeyWalk.h"

#include <algorithm>

namespace {

using platform::Handle;

constexpr std::uint32_t kRegCreatedNewKey = 1;
// How much of a value a log line shows.
constexpr std::size_t kLoggedBytes = 64;
// regedit's own width of a line of hex data.
constexpr std::size_t kRegLineWidth = 76;

Text Joined(Text path, Text sub)
{
    while (!path.empty() && path.back() == u'\\') {
        path.pop_back();
    }
    while (!sub.empty() && sub.back() == u'\\') {
        sub.pop_back();
    }
    return path.empty() ? sub : sub.empty() ? path : path + u"\\" + sub;
}

Text RootName(Handle root)
{
    if (root == platform::kHkeyLocalMachine) {
        return u"HKEY_LOCAL_MACHINE";
    }
    if (root == platform::kHkeyCurrentUser) {
        return u"HKEY_CURRENT_USER";
    }
    if (root == platform::kHkeyUsers) {
        return u"HKEY_USERS";
    }
    return root == platform::kHkeyClassesRoot ? u"HKEY_CLASSES_ROOT" : u"HKEY_CURRENT_CONFIG";
}

bool IsPredefined(Handle key)
{
    return key == platform::kHkeyLocalMachine || key == platform::kHkeyCurrentUser || key == platform::kHkeyUsers ||
           key == platform::kHkeyClassesRoot || key == platform::kHkeyCurrentConfig;
}

// A name or a text in a .reg file: in quotes, with its backslashes and quotes escaped.
Text Quoted(std::u16string_view text)
{
    Text quoted = u"\"";
    for (const char16_t c : text) {
        if (c == u'\\' || c == u'"') {
            quoted += u'\\';
        }
        quoted += c;
    }
    quoted += u'"';
    return quoted;
}

Text Number(std::int32_t number)
{
    return TextOfAscii(std::to_string(number));
}

Text Hex(unsigned value, std::size_t digits)
{
    return TextOfAscii(PaddedNumber(value, digits, 16));
}

std::u16string_view TextOf(const std::vector<std::uint8_t>& data)
{
    return {reinterpret_cast<const char16_t*>(data.data()), data.size() / sizeof(char16_t)};
}

// The data an ANSI call was given, as the wide calls hold it.
std::vector<std::uint8_t> WideData(std::uint32_t type, const std::uint8_t* data, std::uint32_t bytes)
{
    if (!platform::IsTextType(type)) {
        return {data, data + bytes};
    }
    return Utf16LeBytes(FromAnsi(std::string_view(reinterpret_cast<const char*>(data), bytes)));
}

// An open key of the registry below the journal, for reading, closed with the object.
class KeyBelow {
public:
    KeyBelow(platform::RegistryServices& registry, Handle root, const Text& path, std::uint32_t view)
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

    std::int32_t Status() const noexcept { return mStatus; }
    bool Missing() const noexcept { return mStatus == platform::kErrorFileNotFound; }
    Handle Get() const noexcept { return mKey; }

private:
    platform::RegistryServices& mRegistry;
    Handle mKey = 0;
    std::int32_t mStatus = platform::kErrorFileNotFound;
};

} // namespace

RegistryJournal::RegistryJournal(platform::RegistryServices& registry, Listener& listener, bool windows64,
                                 Format format)
    : mRegistry(registry), mListener(listener), mWindows64(windows64), mFormat(format)
{
}

// Only a 32-bit view on 64-bit Windows has keys of other names: the
// machine's software, and the class identifiers of the machine and the users.
Text RegistryJournal::NameOf(Handle root, const Text& path, std::uint32_t view, bool windows64, bool classesApart)
{
    Text hive;
    Text rest = Joined(path, Text());
    if (root == platform::kHkeyUsers) {
        const auto separator = rest.find(u'\\');
        hive = rest.substr(0, separator) + u"\\";
        rest = separator == Text::npos ? Text() : rest.substr(separator + 1);
    }
    const Text lower = LowerCase(rest) + u"\\";
    const Text software = u"software";
    const Text classes = u"software\\classes";
    // The node goes after the key the view redirects, whose name the path may end with.
    const auto nodeAfter = [&](std::size_t length) { rest.insert(length, u"\\Wow6432Node"); };
    if (windows64 && (view & platform::kKeyWow64_32Key) != 0) {
        if (lower.starts_with(classes + u"\\clsid\\") ||
            (classesApart && lower.starts_with(classes + u"\\") && lower.size() > classes.size() + 1)) {
            nodeAfter(classes.size());
        } else if (root == platform::kHkeyLocalMachine && lower.starts_with(software + u"\\") &&
                   !lower.starts_with(classes + u"\\")) {
            nodeAfter(software.size());
        }
    }
    return Joined(RootName(root), hive + rest);
}

Text RegistryJournal::RegLine(Format format, const Text& name, std::uint32_t type,
                              const std::vector<std::uint8_t>& data)
{
    Text line = (name.empty() ? Text(u"@") : Quoted(name)) + u"=";
    // The quoted form holds a text and its one closing NUL, nothing more nor less.
    const std::u16string_view text = BeforeFirstNul(TextOf(data));
    if (type == platform::kRegSz && !HasControlCharacter(text) && data.size() == 2 * text.size() + 2) {
        return line + Quoted(text);
    }
    if (type == platform::kRegDword && data.size() == 4) {
        const unsigned number = data[0] | data[1] << 8 | data[2] << 16 | static_cast<unsigned>(data[3]) << 24;
        return line + u"dword:" + Hex(number, 8);
    }
    // REGEDIT4 holds texts in the code page, the later form in UTF-16.
    std::vector<std::uint8_t> bytes = data;
    if (format == Format::Regedit4 && platform::IsTextType(type)) {
        const std::string ansi = ToAnsi(TextOf(data));
        bytes.assign(ansi.begin(), ansi.end());
    }
    line += type == platform::kRegBinary ? Text(u"hex:") : u"hex(" + Hex(type, 1) + u"):";
    std::size_t width = line.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const Text byte = Hex(bytes[i], 2) + (i + 1 < bytes.size() ? u"," : u"");
        if (width + byte.size() > kRegLineWidth) {
            line += u"\\\r\n  ";
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
        Text quoted = u"\"";
        quoted += BeforeFirstNul(TextOf(data));
        quoted += u'"';
        return quoted;
    }
    if (type == platform::kRegDword && data.size() == 4) {
        const unsigned number = data[0] | data[1] << 8 | data[2] << 16 | static_cast<unsigned>(data[3]) << 24;
        return TextOfAscii(std::to_string(number));
    }
    Text bytes;
    for (std::size_t i = 0; i < data.size() && i < kLoggedBytes; ++i) {
        bytes += i == 0 ? u"" : u" ";
        bytes += Hex(data[i], 2);
    }
    if (data.size() > kLoggedBytes) {
        bytes += u" ... (" + TextOfAscii(std::to_string(data.size())) + u" bytes)";
    }
    return bytes.empty() ? Text(u"(no data)") : bytes;
}

Text RegistryJournal::LineOf(const KeyTree::Value& value) const
{
    return RegLine(mFormat, value.name, value.type, value.data);
}

std::optional<RegistryJournal::Place> RegistryJournal::PlaceOf(Handle key, const Text& subKey,
                                                               std::uint32_t samDesired) const
{
    const std::uint32_t view = samDesired & (platform::kKeyWow64_32Key | platform::kKeyWow64_64Key);
    if (IsPredefined(key)) {
        return Place{key, Joined(subKey, Text()), view};
    }
    const auto found = mPlaces.find(key);
    if (found == mPlaces.end()) {
        return std::nullopt;
    }
    return Place{found->second.root, Joined(found->second.path, subKey), view != 0 ? view : found->second.view};
}

Text RegistryJournal::Name(const Place& place) const
{
    const bool ofUsers = place.root == platform::kHkeyUsers;
    const Text hive = ofUsers ? place.path.substr(0, place.path.find(u'\\')) + u"\\" : Text();
    const bool classes = mWindows64 && (place.view & platform::kKeyWow64_32Key) != 0 &&
                         LowerCase(place.path).starts_with(LowerCase(hive) + u"software\\classes\\");
    return NameOf(place.root, place.path, place.view, mWindows64, classes && ClassesKeptApart(place.root, hive));
}

bool RegistryJournal::ClassesKeptApart(Handle root, const Text& hive) const
{
    const Text id = RootName(root) + u"\\" + LowerCase(hive);
    if (const auto known = mClassesApart.find(id); known != mClassesApart.end()) {
        return known->second;
    }
    const Text classes = hive + u"Software\\Classes";
    // A few names tell: the shared tree's first ones are file types, the node's the few it redirects.
    constexpr std::uint32_t kNamesCompared = 16;
    const auto firstNames = [&](const Text& path, std::uint32_t view) {
        std::vector<Text> names;
        const KeyBelow key(mRegistry, root, path, view);
        char16_t name[256];
        for (std::uint32_t index = 0; key.Status() == platform::kErrorSuccess && index < kNamesCompared; ++index) {
            std::uint32_t chars = 256;
            if (mRegistry.RegEnumKeyExW(key.Get(), index, name, chars) != platform::kErrorSuccess) {
                break;
            }
            names.emplace_back(name, std::min<std::uint32_t>(chars, 255));
        }
        return names;
    };
    const std::vector<Text> own = firstNames(classes, platform::kKeyWow64_32Key);
    const bool apart = !own.empty() && own == firstNames(classes + u"\\Wow6432Node", platform::kKeyWow64_64Key);
    mClassesApart[id] = apart;
    return apart;
}

bool RegistryJournal::Covered(const Text& name) const
{
    const Text lower = LowerCase(name);
    for (std::size_t end = lower.find(u'\\');; end = lower.find(u'\\', end + 1)) {
        if (mWhole.contains(lower.substr(0, end))) {
            return true;
        }
        if (end == Text::npos) {
            return false;
        }
    }
}

RegistryJournal::Old RegistryJournal::ValueAt(const Place& place, const Text& name)
{
    const KeyBelow key(mRegistry, place.root, place.path, place.view);
    Old old;
    if (key.Status() != platform::kErrorSuccess) {
        old.status = key.Status();
        return old;
    }
    KeyTree::Value value;
    old.status = KeyTree::ReadValue(mRegistry, key.Get(), name, value);
    if (old.status == platform::kErrorSuccess) {
        old.value = std::move(value);
    }
    return old;
}

Text RegistryJournal::Tree(const Place& place, const KeyTree& tree)
{
    const Text name = Name(place);
    Text lines = u"[" + name + u"]\r\n";
    for (const KeyTree::Value& value : tree.values) {
        if (!mBackedUp.insert(u"value " + LowerCase(name) + u"\\" + LowerCase(value.name)).second) {
            continue;
        }
        lines += LineOf(value) + u"\r\n";
    }
    for (const auto& [valueName, status] : tree.unreadable) {
        if (!HasControlCharacter(valueName)) {
            lines += u"; " + Quoted(valueName) + u" could not be read (error " + Number(status) +
                     u"): the import leaves it as it is\r\n";
        }
    }
    lines += u"\r\n";
    for (const auto& [child, subtree] : tree.subkeys) {
        lines += Tree({place.root, Joined(place.path, child), place.view}, subtree);
    }
    return lines;
}

void RegistryJournal::Save(Handle root, const Text& path, std::uint32_t view)
{
    const auto located = PlaceOf(root, path, view);
    if (!located) {
        return;
    }
    const Place& place = *located;
    const Text name = Name(place);
    if (HasControlCharacter(name) || mSaved.contains(LowerCase(name)) || Covered(name)) {
        return;
    }
    std::int32_t status = 0;
    const auto tree = KeyTree::Read(mRegistry, place.root, place.path, place.view, status);
    if (!tree && status == platform::kErrorFileNotFound) {
        mSaved[LowerCase(name)] = false;
        mWhole.insert(LowerCase(name));
        mListener.Before(u"[-" + name + u"]\r\n\r\n");
        return;
    }
    mSaved[LowerCase(name)] = true;
    if (!tree) {
        mListener.After(u"Could not read the key " + name + u" to save it (error " + Number(status) + u")", true);
        return;
    }
    Text lines = Tree(place, *tree);
    // Only a key read whole may be deleted before it is put back: nothing else of it would come back.
    if (tree->whole) {
        lines.insert(0, u"[-" + name + u"]\r\n\r\n");
        mWhole.insert(LowerCase(name));
    } else {
        mListener.After(u"Not all of the key " + name + u" could be saved: the import adds what it holds", true);
    }
    mListener.Before(lines);
}

std::optional<bool> RegistryJournal::WasThere(Handle root, const Text& path, std::uint32_t view) const
{
    const auto place = PlaceOf(root, path, view);
    const auto found = place ? mSaved.find(LowerCase(Name(*place))) : mSaved.end();
    return found == mSaved.end() ? std::nullopt : std::optional(found->second);
}

void RegistryJournal::Made(Handle root, const Text& path, std::uint32_t view)
{
    const auto place = PlaceOf(root, path, view);
    if (!place || HasControlCharacter(Name(*place)) || Covered(Name(*place))) {
        return;
    }
    mWhole.insert(LowerCase(Name(*place)));
    mListener.Before(u"[-" + Name(*place) + u"]\r\n\r\n");
    mListener.After(u"The key " + Name(*place) + u" was made by a component: the backup's import deletes it", false);
}

// Once a value, the first time it changes: a value that was not there is
// deleted by the import, one that could not be read is left as it is.
void RegistryJournal::BackUpValue(const Place& place, const Text& name, const Old& old)
{
    const Text key = Name(place);
    if (HasControlCharacter(key) || HasControlCharacter(name) || Covered(key) ||
        !mBackedUp.insert(u"value " + LowerCase(key) + u"\\" + LowerCase(name)).second) {
        return;
    }
    Text line;
    if (old.value) {
        line = LineOf(*old.value);
    } else if (old.status == platform::kErrorFileNotFound) {
        line = (name.empty() ? Text(u"@") : Quoted(name)) + u"=-";
    } else {
        line = u"; " + Quoted(name) + u" could not be read (error " + Number(old.status) +
               u"): the import leaves it as it is";
        mListener.After(u"Could not read " + key + u"\\" + (name.empty() ? Text(u"(default)") : name) +
                            u" before it changed (error " + Number(old.status) + u"): the backup leaves it out",
                        true);
    }
    mListener.Before(u"[" + key + u"]\r\n" + line + u"\r\n\r\n");
}

// A key the run makes, which was never there before: the import deletes
// it, and the highest of those above it that were not there either, but
// never one of the first two below a root (Software\Microsoft).
void RegistryJournal::KeyMade(const std::optional<Place>& place)
{
    if (!place || HasControlCharacter(Name(*place)) ||
        !KeyBelow(mRegistry, place->root, place->path, place->view).Missing()) {
        return;
    }
    const std::size_t rootNames = place->root == platform::kHkeyUsers ? 1 : 0;
    Place top = *place;
    for (std::size_t cut = top.path.rfind(u'\\'); cut != Text::npos; cut = top.path.rfind(u'\\')) {
        const Place above{top.root, top.path.substr(0, cut), top.view};
        if (std::count(above.path.begin(), above.path.end(), u'\\') < static_cast<std::ptrdiff_t>(2 + rootNames) ||
            !KeyBelow(mRegistry, above.root, above.path, above.view).Missing()) {
            break;
        }
        top = above;
    }
    if (Covered(Name(top))) {
        return;
    }
    mWhole.insert(LowerCase(Name(top)));
    mListener.Before(u"[-" + Name(top) + u"]\r\n\r\n");
}

void RegistryJournal::Opened(const std::optional<Place>& place, std::int32_t status, Handle result,
                             std::uint32_t disposition)
{
    if (!place) {
        return;
    }
    if (status != platform::kErrorSuccess) {
        mListener.After(u"Could not open " + Name(*place) + u" to write (error " + Number(status) + u")", true);
        return;
    }
    mPlaces[result] = *place;
    if (disposition == kRegCreatedNewKey) {
        mListener.After(u"Created the key " + Name(*place), false);
    }
}

std::int32_t RegistryJournal::RegCreateKeyExA(Handle root, const std::string& subKey, std::uint32_t reserved,
                                              const std::string& keyClass, std::uint32_t options,
                                              std::uint32_t samDesired, Handle& result, std::uint32_t& disposition)
{
    const auto place = PlaceOf(root, FromAnsi(subKey), samDesired);
    KeyMade(place);
    const std::int32_t status =
        mRegistry.RegCreateKeyExA(root, subKey, reserved, keyClass, options, samDesired, result, disposition);
    Opened(place, status, result, disposition);
    return status;
}

std::int32_t RegistryJournal::RegCreateKeyExW(Handle root, const std::u16string& subKey, const std::u16string& keyClass,
                                              std::uint32_t options, std::uint32_t samDesired, Handle& result,
                                              std::uint32_t& disposition)
{
    const auto place = PlaceOf(root, subKey, samDesired);
    KeyMade(place);
    const std::int32_t status =
        mRegistry.RegCreateKeyExW(root, subKey, keyClass, options, samDesired, result, disposition);
    Opened(place, status, result, disposition);
    return status;
}

std::int32_t RegistryJournal::RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t reserved,
                                             std::uint32_t type, const std::uint8_t* data, std::uint32_t bytes)
{
    const Text written = DataText(type, WideData(type, data, bytes));
    return ValueChanged(
        key, FromAnsi(valueName),
        [&](const Text& value, const Old& old, std::int32_t status) {
            const Text was = old.value ? DataText(old.value->type, old.value->data) : Text(u"not there");
            return status == platform::kErrorSuccess
                       ? u"Set " + value + u" to " + written + u" (it was " + was + u")"
                       : u"Could not set " + value + u" to " + written + u" (error " + Number(status) + u")";
        },
        [&] { return mRegistry.RegSetValueExA(key, valueName, reserved, type, data, bytes); });
}

std::int32_t RegistryJournal::RegSetValueExW(Handle key, const std::u16string& valueName, std::uint32_t type,
                                             const std::uint8_t* data, std::uint32_t bytes)
{
    const Text written = DataText(type, std::vector<std::uint8_t>(data, data + bytes));
    return ValueChanged(
        key, valueName,
        [&](const Text& value, const Old& old, std::int32_t status) {
            const Text was = old.value ? DataText(old.value->type, old.value->data) : Text(u"not there");
            return status == platform::kErrorSuccess
                       ? u"Set " + value + u" to " + written + u" (it was " + was + u")"
                       : u"Could not set " + value + u" to " + written + u" (error " + Number(status) + u")";
        },
        [&] { return mRegistry.RegSetValueExW(key, valueName, type, data, bytes); });
}

std::int32_t RegistryJournal::RegDeleteValueA(Handle key, const std::string& valueName)
{
    return ValueChanged(
        key, FromAnsi(valueName),
        [&](const Text& value, const Old& old, std::int32_t status) {
            const Text was = old.value ? DataText(old.value->type, old.value->data) : Text(u"unreadable");
            return status == platform::kErrorSuccess
                       ? u"Deleted " + value + u", which was " + was
                       : u"Could not delete " + value + u" (error " + Number(status) + u")";
        },
        [&] { return mRegistry.RegDeleteValueA(key, valueName); });
}

std::int32_t RegistryJournal::ValueChanged(Handle key, const Text& valueName, const Telling& tell,
                                           const std::function<std::int32_t()>& change)
{
    const auto place = PlaceOf(key, Text(), 0);
    if (!place) {
        return change();
    }
    const Old old = ValueAt(*place, valueName);
    BackUpValue(*place, valueName, old);
    const std::int32_t status = change();
    const Text value = Name(*place) + u"\\" + (valueName.empty() ? Text(u"(default)") : valueName);
    mListener.After(tell(value, old, status), status != platform::kErrorSuccess);
    return status;
}

std::int32_t RegistryJournal::RegDeleteKeyA(Handle key, const std::string& subKey)
{
    return KeyDeleted(PlaceOf(key, FromAnsi(subKey), 0), [&] { return mRegistry.RegDeleteKeyA(key, subKey); });
}

std::int32_t RegistryJournal::RegDeleteKeyExA(Handle key, const std::string& subKey, std::uint32_t samDesired)
{
    return KeyDeleted(PlaceOf(key, FromAnsi(subKey), samDesired),
                      [&] { return mRegistry.RegDeleteKeyExA(key, subKey, samDesired); });
}

std::int32_t RegistryJournal::KeyDeleted(const std::optional<Place>& place, const std::function<std::int32_t()>& remove)
{
    if (!place) {
        return remove();
    }
    const Text name = Name(*place);
    std::int32_t read = 0;
    const auto tree = KeyTree::Read(mRegistry, place->root, place->path, place->view, read);
    if (tree && !HasControlCharacter(name) && !Covered(name) && mBackedUp.insert(u"tree " + LowerCase(name)).second) {
        mListener.Before(Tree(*place, *tree));
    }
    Text values;
    for (const KeyTree::Value& value : tree ? tree->values : std::vector<KeyTree::Value>()) {
        values += (values.empty() ? u"" : u"; ") + (value.name.empty() ? Text(u"(default)") : value.name) + u"=" +
                  DataText(value.type, value.data);
    }
    const std::int32_t status = remove();
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
        if (const auto place = PlaceOf(root, FromAnsi(subKey), samDesired)) {
            mPlaces[result] = *place;
        }
    }
    return status;
}

std::int32_t RegistryJournal::RegOpenKeyExW(Handle root, const std::u16string& subKey, std::uint32_t options,
                                            std::uint32_t samDesired, Handle& result)
{
    const std::int32_t status = mRegistry.RegOpenKeyExW(root, subKey, options, samDesired, result);
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

std::int32_t RegistryJournal::RegEnumKeyExW(Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars)
{
    return mRegistry.RegEnumKeyExW(key, index, name, nameChars);
}

std::int32_t RegistryJournal::RegEnumValueW(Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars,
                                            std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes)
{
    return mRegistry.RegEnumValueW(key, index, name, nameChars, type, data, bytes);
}

std::int32_t RegistryJournal::RegQueryValueExW(Handle key, const std::u16string& valueName, std::uint32_t& type,
                                               std::uint8_t* data, std::uint32_t& bytes)
{
    return mRegistry.RegQueryValueExW(key, valueName, type, data, bytes);
}

bool RegistryJournal::HasRegDeleteKeyExA()
{
    return mRegistry.HasRegDeleteKeyExA();
}
