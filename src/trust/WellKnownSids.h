#pragma once

#include <string_view>

// The accounts and groups that every Windows of the NT line names alike.
inline constexpr std::string_view kSystemSid = "S-1-5-18";
inline constexpr std::string_view kAdministratorsSid = "S-1-5-32-544";
// The account that owns Windows' own files from Vista on.
inline constexpr std::string_view kTrustedInstallerSid =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// Stand-ins that an access list names for whoever makes or owns an object.
inline constexpr std::string_view kCreatorOwnerSid = "S-1-3-0";
inline constexpr std::string_view kCreatorGroupSid = "S-1-3-1";
inline constexpr std::string_view kOwnerRightsSid = "S-1-3-4";
