#include "reset/BackupRestore.h"

#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "registry/KeyWalk.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

namespace {

// One name of a key a reset backs up: itself, or any version or class identifier.
constexpr std::u16string_view kVersion = u"<version>";
constexpr std::u16string_view kGuid = u"<guid>";

struct Pattern {
    std::vector<std::u16string_view> names;
    bool machine;
    bool users;
    // Whether the keys beneath are the add-in's too.
    bool subtree;
};

const std::array kPatterns = {
    Pattern{
        {u"software", u"microsoft", u"office", u"outlook", u"addins", u"kestrinsoftware.connect"}, true, true, true},
    Pattern{{u"software", u"microsoft", u"office", u"clicktorun", u"registry", u"machine", u"software", u"microsoft",
             u"office", u"outlook", u"addins", u"kestrinsoftware.connect"},
            true,
            false,
            true},
    Pattern{{u"software", u"microsoft", u"office", u"clicktorun", u"registry", u"machine", u"software", u"wow6432node",
             u"microsoft", u"office", u"outlook", u"addins", u"kestrinsoftware.connect"},
            true,
            false,
            true},
    Pattern{{u"software", u"microsoft", u"office", kVersion, u"outlook", u"resiliency", u"disableditems"},
            false,
            true,
            false},
    Pattern{{u"software", u"microsoft", u"office", kVersion, u"outlook", u"resiliency", u"crashingaddinlist"},
            false,
            true,
            false},
    Pattern{{u"software", u"classes", u"kestrinsoftware.connect"}, true, true, true},
    Pattern{{u"software", u"classes", u"clsid", kGuid}, true, true, true},
    Pattern{{u"software", u"classes", u"typelib", kGuid}, true, true, true},
};

// No key as near a root as Software\Microsoft is ever deleted, as a reset never makes one.
constexpr std::size_t kFewestNamesAbove = 3;

std::vector<Text> NamesOf(const Text& path)
{
    std::vector<Text> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(u'\\', start), path.size());
        names.push_back(LowerCase(std::u16string_view(path).substr(start, end - start)));
        start = end + 1;
    }
    return names;
}

// "16.0": Office's versions, as Outlook's records are kept under them.
bool IsVersion(const Text& name)
{
    const auto dot = name.find(u'.');
    const auto digits = [](std::u16string_view part) {
        return !part.empty() && part.size() <= 4 &&
               std::all_of(part.begin(), part.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
    };
    return dot != Text::npos && digits(std::u16string_view(name).substr(0, dot)) &&
           digits(std::u16string_view(name).substr(dot + 1));
}

bool Matches(std::u16string_view pattern, const Text& name)
{
    return pattern == kVersion ? IsVersion(name) : pattern == kGuid ? IsGuidText(name) : pattern == name;
}

bool IsSid(std::u16string_view name)
{
    return name.size() > 4 && name.starts_with(u"S-1-") && std::all_of(name.begin(), name.end(), [](char16_t c) {
               return (c >= u'0' && c <= u'9') || c == u'-' || c == u'S';
           });
}

std::u16string_view After(std::u16string_view text, std::u16string_view prefix)
{
    return text.size() > prefix.size() && LowerCase(text.substr(0, prefix.size())) == LowerCase(prefix)
               ? text.substr(prefix.size())
               : std::u16string_view();
}

} // namespace

// A key of the add-in's, one above those (no nearer a root than the third
// name), or neither; of the machine's keys or a user's. Named alone: only
// the keys the add-in's own names give, not any version's or any class's,
// which a key above holds of other programs too.
BackupRestore::Kind BackupRestore::KindOf(bool machine, const std::vector<Text>& names, bool namedAlone)
{
    Kind kind = Kind::Other;
    for (const Pattern& pattern : kPatterns) {
        const bool named = std::none_of(pattern.names.begin(), pattern.names.end(),
                                        [](std::u16string_view name) { return name == kVersion || name == kGuid; });
        if (!(machine ? pattern.machine : pattern.users) || (namedAlone && !named)) {
            continue;
        }
        const std::size_t common = std::min(names.size(), pattern.names.size());
        if (!std::equal(pattern.names.begin(), pattern.names.begin() + static_cast<std::ptrdiff_t>(common),
                        names.begin(), Matches)) {
            continue;
        }
        if (names.size() == pattern.names.size() || (names.size() > pattern.names.size() && pattern.subtree)) {
            return Kind::Ours;
        }
        if (names.size() < pattern.names.size() && names.size() >= kFewestNamesAbove) {
            kind = Kind::Above;
        }
    }
    return kind;
}

BackupRestore::BackupRestore(RegFile file, bool windows64) : mFile(std::move(file)), mWindows64(windows64)
{
    std::transform(mFile.blocks.begin(), mFile.blocks.end(), std::back_inserter(mPlaces),
                   [this](const RegFile::Block& block) { return PlaceOf(block.key); });
}

BackupRestore::Place BackupRestore::PlaceOf(const Text& name)
{
    Place place;
    bool machine = true;
    std::u16string_view rest;
    if (const auto machines = After(name, u"HKEY_LOCAL_MACHINE\\"); !machines.empty()) {
        place.root = platform::kHkeyLocalMachine;
        rest = machines;
    } else if (const auto own = After(name, u"HKEY_CURRENT_USER\\"); !own.empty()) {
        place.root = platform::kHkeyCurrentUser;
        rest = own;
        machine = false;
    } else if (const auto users = After(name, u"HKEY_USERS\\"); !users.empty()) {
        const Text sid(users.substr(0, users.find(u'\\')));
        rest = users.size() > sid.size() ? users.substr(sid.size() + 1) : std::u16string_view();
        if (!IsSid(sid) || rest.empty()) {
            return place;
        }
        auto hive = mHives.find(sid);
        if (hive == mHives.end()) {
            platform::Handle opened = 0;
            platform::Registry().RegOpenKeyExW(platform::kHkeyUsers, sid, 0, platform::kKeyRead, opened);
            hive = mHives.emplace(sid, platform::UniqueRegistryKey(opened)).first;
        }
        if (!hive->second) {
            place.kind = Kind::HiveNotLoaded;
            return place;
        }
        place.root = hive->second.Get();
        machine = false;
    } else {
        return place;
    }
    // The view is the name's: regedit names a key of the 32-bit view by the node it has in the 64-bit one.
    place.path = Text(rest);
    // Only a user's classes have views; the rest of her hive is one, as the reset writes it.
    if (mWindows64 && (machine || LowerCase(rest).starts_with(u"software\\classes\\"))) {
        place.view = platform::kKeyWow64_64Key;
        const auto lower = LowerCase(rest);
        for (const std::u16string_view node : {u"software\\wow6432node\\", u"software\\classes\\wow6432node\\"}) {
            if (lower.starts_with(node) && (machine || node != u"software\\wow6432node\\")) {
                place.path.erase(node.size() - 12, 12);
                place.view = platform::kKeyWow64_32Key;
                break;
            }
        }
    }
    place.machine = machine;
    place.kind = KindOf(machine, NamesOf(place.path));
    return place;
}

std::vector<ComponentKeys::Key> BackupRestore::Keys() const
{
    std::vector<ComponentKeys::Key> keys;
    for (const Place& place : mPlaces) {
        if (place.kind == Kind::Ours) {
            keys.push_back({place.root, place.path, place.view});
        }
    }
    return keys;
}

Boolean BackupRestore::PutBack(RunLog& log, RunReport& report)
{
    bool putBack = true;
    for (std::size_t i = 0; i < mFile.blocks.size(); ++i) {
        const RegFile::Block& block = mFile.blocks[i];
        const Place& place = mPlaces[i];
        if (place.kind == Kind::Above && block.remove) {
            if (!DeleteWhereOnlyOurs(place)) {
                log.Note(u"Kept " + block.key + u", which holds more than the add-in's keys");
            }
            continue;
        }
        if (place.kind == Kind::HiveNotLoaded) {
            report.AddProblem({.text = u"- " + block.key + u" was not restored: its user's settings are not loaded",
                               .code = "hiveNotLoaded",
                               .file = block.key});
            putBack = false;
            continue;
        }
        if (place.kind != Kind::Ours) {
            report.AddProblem({.text = u"- " + block.key + u" is no key a reset backs up; it was left as it is",
                               .code = "keyNotRestorable",
                               .file = block.key});
            putBack = false;
            continue;
        }
        if (PutBack(block, place, report)) {
            ++mPutBack;
        } else {
            putBack = false;
        }
    }
    return Boolean(putBack);
}

bool BackupRestore::PutBack(const RegFile::Block& block, const Place& place, RunReport& report)
{
    if (!block.remove) {
        return Write(block, place, report);
    }
    std::int32_t status = 0;
    {
        CRegistry key;
        status = key.OpenExistingKey(place.path, place.root, platform::kKeyRead | place.view);
    }
    if (status == platform::kErrorFileNotFound ||
        (status == platform::kErrorSuccess && CRegistry::DeleteTree(place.root, place.path, place.view))) {
        return true;
    }
    report.AddProblem({.text = u"- " + block.key + u" could not be deleted",
                       .code = "keyNotRestored",
                       .file = block.key,
                       .error = status == platform::kErrorSuccess ? std::nullopt
                                                                  : std::optional(static_cast<std::uint32_t>(status))});
    return false;
}

bool BackupRestore::Write(const RegFile::Block& block, const Place& place, RunReport& report)
{
    platform::Handle opened = 0;
    std::uint32_t disposition = 0;
    const Text noClass;
    const std::int32_t status =
        KeyWalk::Open(platform::Registry(), place.root, place.path,
                      platform::kKeyQueryValue | platform::kKeySetValue | place.view, &noClass, opened, disposition);
    if (status != platform::kErrorSuccess) {
        report.AddProblem({.text = u"- " + block.key + u" could not be written",
                           .code = "keyNotRestored",
                           .file = block.key,
                           .error = static_cast<std::uint32_t>(status)});
        return false;
    }
    const platform::UniqueRegistryKey key(opened);
    bool written = true;
    for (const RegFile::Entry& entry : block.entries) {
        std::int32_t result = platform::kErrorSuccess;
        if (!entry.remove) {
            result = platform::Registry().RegSetValueExW(key.Get(), entry.name, entry.type, entry.data.data(),
                                                         static_cast<std::uint32_t>(entry.data.size()));
        } else if (FromAnsi(ToAnsi(entry.name)) != entry.name) {
            // The registry deletes a value by its name in the code page alone.
            result = platform::kErrorFileNotFound;
        } else if (const std::int32_t deleted = platform::Registry().RegDeleteValueA(key.Get(), ToAnsi(entry.name));
                   deleted != platform::kErrorFileNotFound) {
            result = deleted;
        }
        if (result != platform::kErrorSuccess) {
            const Text value = block.key + u"\\" + (entry.name.empty() ? Text(u"(default)") : entry.name);
            report.AddProblem({.text = u"- " + value + u" could not be " + (entry.remove ? u"deleted" : u"written"),
                               .code = "valueNotRestored",
                               .file = value,
                               .error = static_cast<std::uint32_t>(result)});
            written = false;
        }
    }
    return written;
}

bool BackupRestore::DeleteWhereOnlyOurs(const Place& place)
{
    std::vector<Text> subkeys;
    {
        CRegistry key;
        const std::int32_t status = key.OpenExistingKey(place.path, place.root, platform::kKeyRead | place.view);
        if (status != platform::kErrorSuccess) {
            return status == platform::kErrorFileNotFound;
        }
        key.SubkeyNames(subkeys);
    }
    for (const Text& name : subkeys) {
        Place child = place;
        child.path = place.path + u"\\" + name;
        child.kind = KindOf(place.machine, NamesOf(child.path), true);
        if (child.kind == Kind::Ours) {
            CRegistry::DeleteTree(child.root, child.path, child.view);
        } else if (child.kind == Kind::Above) {
            DeleteWhereOnlyOurs(child);
        }
    }
    CRegistry key;
    std::vector<Text> left;
    CRegistry::RawValue value;
    return key.OpenExistingKey(place.path, place.root, platform::kKeyRead | place.view) == platform::kErrorSuccess &&
           key.SubkeyNames(left) == platform::kErrorNoMoreItems && left.empty() &&
           key.ReadValue(0, value) == platform::kErrorNoMoreItems && key.DeleteKey() == platform::kErrorSuccess;
}
