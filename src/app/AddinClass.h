#pragma once

#include "common/Text.h"
#include "platform/Handle.h"

#include <cstdint>
#include <optional>

// The class KestrinSoftware.Connect as the signed-in user's Outlook sees it,
// in the edition's view: COM takes the user's own registration
// (Software\Classes under the user's root) before the machine's, for the
// ProgID and for the CLSID each.
class AddinClass {
public:
    // Where the ProgID leads: its CLSID and that class's in-process server.
    struct Server {
        Text clsid;
        // As stored, and as a path: expanded, unquoted, a bare name in the system folder.
        Text stored;
        Text path;
        bool progIdOfUser = false;
        bool serverOfUser = false;
    };

    AddinClass(platform::Handle userRoot, std::uint32_t registryView);

    // None when the ProgID, its CLSID or the server is missing or unreadable.
    std::optional<Server> Read() const;
    // Deletes the user's own ProgID key and CLSID key that led to server,
    // each only when it still reads as it did. False when either stayed.
    bool RemoveUserRegistration(const Server& server) const;

private:
    std::optional<Text> ProgIdClsid(platform::Handle root) const;
    std::optional<Text> StoredServer(platform::Handle root, const Text& clsid) const;

    platform::Handle mUserRoot;
    std::uint32_t mRegistryView;
};
