#include "loadcheck/AddinClass.h"

#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/OfficeKeys.h"

#include <algorithm>

namespace {

const Text kClasses = u"Software\\Classes\\";

} // namespace

AddinClass::AddinClass(platform::Handle userRoot, std::uint32_t registryView, PathExpansion expansion,
                       bool perUserClasses)
    : mUserRoot(userRoot), mRegistryView(registryView), mExpansion(std::move(expansion)),
      mPerUserClasses(perUserClasses)
{
}

// A key's default text as stored; none when the key or its text is missing.
std::optional<Text> AddinClass::StoredDefault(platform::Handle root, const Text& path, bool& keyExists) const
{
    CRegistry key;
    keyExists = key.OpenExistingKey(path, root, platform::kKeyRead | mRegistryView) == platform::kErrorSuccess;
    const auto stored = keyExists ? key.GetStoredString(Text()) : std::nullopt;
    return stored ? std::optional<Text>(stored->first) : std::nullopt;
}

std::optional<Text> AddinClass::ProgIdClsid(platform::Handle root) const
{
    bool exists = false;
    auto clsid = StoredDefault(root, kClasses + kProgId + u"\\CLSID", exists);
    return clsid && IsGuidText(*clsid) ? clsid : std::nullopt;
}

std::optional<std::pair<Text, bool>> AddinClass::StoredServer(platform::Handle root, const Text& clsid) const
{
    CRegistry key;
    if (key.OpenExistingKey(kClasses + u"CLSID\\" + clsid + u"\\InprocServer32", root,
                            platform::kKeyRead | mRegistryView) != platform::kErrorSuccess) {
        return std::nullopt;
    }
    auto stored = key.GetStoredString(Text());
    return stored && !stored->first.empty() ? stored : std::nullopt;
}

std::optional<AddinClass::Server> AddinClass::ServerOf(bool userFirst) const
{
    Server server;
    std::optional<Text> clsid = userFirst ? ProgIdClsid(mUserRoot) : std::nullopt;
    server.progIdOfUser = clsid.has_value();
    if (!clsid) {
        clsid = ProgIdClsid(platform::kHkeyLocalMachine);
    }
    if (!clsid) {
        return std::nullopt;
    }
    server.clsid = *clsid;
    auto stored = userFirst ? StoredServer(mUserRoot, *clsid) : std::nullopt;
    server.serverOfUser = stored.has_value();
    if (!stored) {
        stored = StoredServer(platform::kHkeyLocalMachine, *clsid);
    }
    if (!stored) {
        return std::nullopt;
    }
    server.stored = stored->first;
    const auto expanded = stored->second ? mExpansion.Expand(stored->first) : std::optional<Text>(stored->first);
    server.expanded = expanded.has_value();
    Text path(Unquoted(expanded.value_or(stored->first)));
    // A bare name is one of the system's own libraries, as COM finds them.
    if (server.expanded && path.find_first_of(u"\\/") == Text::npos) {
        path = FromAnsi(platform::Kernel().GetSystemDirectoryA()) + u"\\" + path;
    }
    server.path = std::move(path);
    return server;
}

std::optional<AddinClass::Server> AddinClass::Read() const
{
    return ServerOf(mPerUserClasses);
}

std::optional<AddinClass::Server> AddinClass::ReadMachine() const
{
    return ServerOf(false);
}

// A class whose ProgID key names another ProgID is another component's, whatever CLSID it shares.
bool AddinClass::NamesOtherProgId(const Text& clsid) const
{
    bool exists = false;
    const auto progId = StoredDefault(mUserRoot, kClasses + u"CLSID\\" + clsid + u"\\ProgID", exists);
    if (!progId) {
        return false;
    }
    const Text lower = LowerCase(*progId);
    const Text ours = LowerCase(kProgId);
    // "KestrinSoftware.Connect.1" is the versioned form of the same ProgID.
    return lower != ours && !lower.starts_with(ours + u".");
}

AddinClass::UserKeys AddinClass::ReadUserKeys() const
{
    UserKeys keys;
    if (!mPerUserClasses) {
        return keys;
    }
    bool progIdExists = false;
    StoredDefault(mUserRoot, kClasses + kProgId, progIdExists);
    if (progIdExists) {
        bool clsidExists = false;
        keys.progIdClsid = StoredDefault(mUserRoot, kClasses + kProgId + u"\\CLSID", clsidExists).value_or(Text());
    }
    for (const auto& clsid : {ProgIdClsid(mUserRoot), ProgIdClsid(platform::kHkeyLocalMachine)}) {
        bool classExists = false;
        if (!clsid || keys.classes.contains(*clsid)) {
            continue;
        }
        StoredDefault(mUserRoot, kClasses + u"CLSID\\" + *clsid, classExists);
        if (classExists && !NamesOtherProgId(*clsid)) {
            const auto stored = StoredServer(mUserRoot, *clsid);
            keys.classes[*clsid] = stored ? stored->first : Text();
        }
    }
    return keys;
}

bool AddinClass::RemoveUserKeys(const UserKeys& judged) const
{
    const UserKeys now = ReadUserKeys();
    bool removed = true;
    for (const auto& [clsid, stored] : judged.classes) {
        const auto found = now.classes.find(clsid);
        Text path = kClasses + u"CLSID\\";
        path += clsid;
        removed = found != now.classes.end() && found->second == stored &&
                  CRegistry::DeleteTree(mUserRoot, path, mRegistryView) && removed;
    }
    if (judged.progIdClsid) {
        removed = now.progIdClsid == judged.progIdClsid &&
                  CRegistry::DeleteTree(mUserRoot, kClasses + kProgId, mRegistryView) && removed;
    }
    return removed;
}
