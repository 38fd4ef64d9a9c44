#pragma once

#include "common/Text.h"
#include "platform/Handles.h"

#include <vector>

// Whose per-user settings a run repairs. As the window always has: the
// person at the keyboard's. Started with "Run as administrator" under
// another account, the tool's own HKEY_CURRENT_USER is the administrator's;
// the signed-in user is the owner of the desktop shell's process, and that
// user's hive, when loaded, is HKEY_USERS\<SID>. In every other case it is
// HKEY_CURRENT_USER. Run as LocalSystem, as fleet tools run programs, there
// is no desktop: the console program then repairs every user whose hive is
// loaded, local and domain accounts (S-1-5-21-...) and Microsoft Entra
// accounts (S-1-12-1-...).
class UserHives {
public:
    struct User {
        platform::Handle root;
        // "DOMAIN\NAME", or the SID's text where no name is found; empty for
        // HKEY_CURRENT_USER.
        Text name;
        // The same for HKEY_CURRENT_USER too, as a script is told whose
        // settings a run was about; empty where the system has no users (the 9x line).
        Text account;
    };

    static UserHives OfSignedInUser();
    // The account this program runs as: "DOMAIN\NAME", or its SID's text;
    // empty where the system has no accounts (the 9x line).
    static Text OwnAccount();
    // Every loaded user's where this program runs as LocalSystem; elsewhere the signed-in user's.
    static UserHives OfEveryLoadedUserAsSystem();

    UserHives(UserHives&&) noexcept = default;
    UserHives& operator=(UserHives&&) noexcept = default;

    const std::vector<User>& Users() const noexcept { return mUsers; }
    // The SIDs of loaded hives that could not be opened.
    const std::vector<Text>& Unopened() const noexcept { return mUnopened; }
    // True where the run is LocalSystem's for every loaded user.
    bool EveryLoadedUser() const noexcept { return mEveryLoadedUser; }

private:
    UserHives() = default;
    void OpenSignedInUsersHive();
    void OpenEveryLoadedHive();
    void Keep(platform::Handle hive, const platform::Sid& sid, const std::string& sidText);

    std::vector<platform::UniqueRegistryKey> mHives;
    std::vector<User> mUsers;
    std::vector<Text> mUnopened;
    bool mEveryLoadedUser = false;
};
