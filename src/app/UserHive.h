#pragma once

#include "common/Text.h"
#include "platform/Handles.h"

// Whose per-user settings a reset repairs: the person at the keyboard's.
// Started with "Run as administrator" under another account, the tool's own
// HKEY_CURRENT_USER is the administrator's; the signed-in user is the owner
// of the desktop shell's process, and that user's hive, when loaded, is
// HKEY_USERS\<SID>. In every other case it is HKEY_CURRENT_USER.
class UserHive {
public:
    UserHive();

    // The root of the per-user keys: HKEY_CURRENT_USER, or the other user's open hive.
    platform::Handle Root() const noexcept;
    // "DOMAIN\NAME" (or the SID's text) of the other user whose hive is the
    // root; empty when the root is HKEY_CURRENT_USER.
    const Text& OtherUser() const noexcept;

private:
    void OpenSignedInUsersHive();

    platform::UniqueRegistryKey mHive;
    Text mOtherUser;
};
