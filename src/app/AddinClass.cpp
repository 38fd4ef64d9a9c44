#include "app/AddinClass.h"

#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"

#include <algorithm>

namespace {

const Text kClasses = u"Software\\Classes\\";
const Text kProgId = u"KestrinSoftware.Connect";

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": anything else, a path included,
// must not become part of a key name.
bool IsGuidText(const Text& text)
{
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') {
        return false;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const char16_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (dash ? c != u'-' : !hex) {
            return false;
        }
    }
    return true;
}

// A key's default text, REG_SZ or REG_EXPAND_SZ expanded; none when the key or its text is missing.
std::optional<Text> DefaultText(platform::Handle root, const Text& path, std::uint32_t view)
{
    CRegistry key;
    if (key.OpenExistingKey(path, root, platform::kKeyRead | view) != platform::kErrorSuccess) {
        return std::nullopt;
    }
    Text text = key.GetExpandedString(Text(), Text());
    return text.empty() ? std::nullopt : std::optional<Text>(std::move(text));
}

// Deletes a key of the parent, and its subkeys first: the NT line deletes only a key without any.
bool DeleteTree(platform::Handle root, const Text& parent, const Text& name, std::uint32_t view)
{
    CRegistry key;
    if (key.OpenExistingKey(parent + name, root, platform::kKeyRead | view) != platform::kErrorSuccess) {
        return false;
    }
    std::vector<Text> children;
    if (key.SubkeyNames(children) != platform::kErrorNoMoreItems) {
        return false;
    }
    key.CloseKey();
    const bool childrenGone = std::all_of(children.begin(), children.end(), [&](const Text& child) {
        return DeleteTree(root, parent + name + u"\\", child, view);
    });
    CRegistry above;
    return childrenGone && above.OpenExistingKey(parent, root, platform::kKeyRead | view) == platform::kErrorSuccess &&
           above.DeleteSubkey(name) == platform::kErrorSuccess;
}

} // namespace

AddinClass::AddinClass(platform::Handle userRoot, std::uint32_t registryView)
    : mUserRoot(userRoot), mRegistryView(registryView)
{
}

std::optional<Text> AddinClass::ProgIdClsid(platform::Handle root) const
{
    auto clsid = DefaultText(root, kClasses + kProgId + u"\\CLSID", mRegistryView);
    return clsid && IsGuidText(*clsid) ? clsid : std::nullopt;
}

std::optional<Text> AddinClass::StoredServer(platform::Handle root, const Text& clsid) const
{
    return DefaultText(root, kClasses + u"CLSID\\" + clsid + u"\\InprocServer32", mRegistryView);
}

std::optional<AddinClass::Server> AddinClass::Read() const
{
    Server server;
    auto clsid = ProgIdClsid(mUserRoot);
    server.progIdOfUser = clsid.has_value();
    if (!clsid) {
        clsid = ProgIdClsid(platform::kHkeyLocalMachine);
    }
    if (!clsid) {
        return std::nullopt;
    }
    server.clsid = *clsid;
    auto stored = StoredServer(mUserRoot, *clsid);
    server.serverOfUser = stored.has_value();
    if (!stored) {
        stored = StoredServer(platform::kHkeyLocalMachine, *clsid);
    }
    if (!stored) {
        return std::nullopt;
    }
    server.stored = *stored;
    Text path(Unquoted(*stored));
    // A bare name is one of the system's own libraries, as COM finds them.
    if (path.find_first_of(u"\\/") == Text::npos) {
        path = FromAnsi(platform::Kernel().GetSystemDirectoryA()) + u"\\" + path;
    }
    server.path = std::move(path);
    return server;
}

bool AddinClass::RemoveUserRegistration(const Server& server) const
{
    bool removed = true;
    if (server.progIdOfUser) {
        removed = ProgIdClsid(mUserRoot) == server.clsid && DeleteTree(mUserRoot, kClasses, kProgId, mRegistryView);
    }
    if (server.serverOfUser) {
        removed = StoredServer(mUserRoot, server.clsid) == server.stored &&
                  DeleteTree(mUserRoot, kClasses + u"CLSID\\", server.clsid, mRegistryView) && removed;
    }
    return removed;
}
