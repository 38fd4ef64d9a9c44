#pragma once

#include "common/Text.h"
#include "platform/RegistryServices.h"

#include <cstdint>
#include <string>

// A key of a user's hive opened one name at a time, each as itself, so that
// no registry link on the path leads the tool elsewhere: a user may make
// one in her own hive that leads into the machine's keys (Windows 7 and
// later keep such links within her own hives; XP and 2003 do not). The one
// link Windows makes itself, from a user's Software\Classes to her classes'
// hive, is followed. The machine's own roots are opened as they are, and so
// is every key on the 9x line, which has no links.
class KeyWalk {
public:
    // As RegOpenKeyExA of the whole path, or RegCreateKeyExA where a class
    // is given for the keys it makes; a link on it answers
    // ERROR_ACCESS_DENIED. disposition: 1 where a key of the path was made,
    // 2 otherwise.
    static std::int32_t Open(platform::RegistryServices& registry, platform::Handle root, const std::string& path,
                             std::uint32_t access, const std::string* keyClass, platform::Handle& result,
                             std::uint32_t& disposition);
    // The same of a path in UTF-16, through the wide calls.
    static std::int32_t Open(platform::RegistryServices& registry, platform::Handle root, const Text& path,
                             std::uint32_t access, const Text* keyClass, platform::Handle& result,
                             std::uint32_t& disposition);

    // Whether a key opened from that root may be a user's: anything but the machine's roots.
    static bool IsUsersRoot(platform::Handle root) noexcept;

private:
    // Whether the path is one to walk: under a user's hive, on the NT line, of names the registry takes.
    template <typename String>
    static bool Walks(platform::Handle root, const String& path);
    static bool IsLink(platform::RegistryServices& registry, platform::Handle key);
    static bool LeadsToUsersClasses(platform::RegistryServices& registry, platform::Handle key);
};
