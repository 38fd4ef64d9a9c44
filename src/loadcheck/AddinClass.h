#pragma once

#include "common/Text.h"
#include "platform/Handle.h"
#include "scope/PathExpansion.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

// The class KestrinSoftware.Connect as the signed-in user's Outlook sees it,
// in the edition's view: COM takes the user's own registration
// (Software\Classes under the user's root) before the machine's, for the
// ProgID and for the CLSID each, from Windows 2000 on; before, it reads the
// machine's alone.
class AddinClass {
public:
    // Where the ProgID leads: its CLSID and that class's in-process server.
    struct Server {
        Text clsid;
        // As stored, and as a path: expanded as Outlook expands it, unquoted,
        // a bare name in the system folder. Where it cannot be expanded for
        // the user, the path is the stored text and expanded is false.
        Text stored;
        Text path;
        bool expanded = true;
        bool progIdOfUser = false;
        bool serverOfUser = false;
    };

    // The user's own keys of the add-in: the ProgID's CLSID text (empty where
    // it has none) where the user has the ProgID key, and the stored server
    // (empty where it has none) of each of the user's CLSID keys of the
    // classes the user's and the machine's ProgID name, but those of a class
    // that names another ProgID, which are never the add-in's.
    struct UserKeys {
        std::optional<Text> progIdClsid;
        std::map<Text, Text> classes;
        bool Any() const noexcept { return progIdClsid.has_value() || !classes.empty(); }
    };

    AddinClass(platform::Handle userRoot, std::uint32_t registryView, PathExpansion expansion, bool perUserClasses);

    // None when the ProgID, its CLSID or the server is missing or unreadable.
    std::optional<Server> Read() const;
    // The same as the machine alone registers it.
    std::optional<Server> ReadMachine() const;
    UserKeys ReadUserKeys() const;
    // Deletes each of the keys that still reads as it did. False when one stayed.
    bool RemoveUserKeys(const UserKeys& judged) const;

private:
    std::optional<Text> StoredDefault(platform::Handle root, const Text& path, bool& keyExists) const;
    std::optional<Text> ProgIdClsid(platform::Handle root) const;
    std::optional<std::pair<Text, bool>> StoredServer(platform::Handle root, const Text& clsid) const;
    std::optional<Server> ServerOf(bool userFirst) const;
    bool NamesOtherProgId(const Text& clsid) const;

    platform::Handle mUserRoot;
    std::uint32_t mRegistryView;
    PathExpansion mExpansion;
    bool mPerUserClasses;
};
