#pragma once

#include "common/Boolean.h"
#include "platform/Handle.h"
#include "scope/AddinFolder.h"
#include "scope/Edition.h"
#include "scope/RunReport.h"
#include "scope/UserHives.h"

#include <functional>

// Whose per-user settings a run works on.
enum class Whose {
    // The person at the keyboard's, as the window has always chosen.
    SignedInUser,
    // Every loaded user's where the program runs as LocalSystem.
    EveryLoadedUserAsSystem
};

// What a reset or a check works on, found once: whose settings, which of the
// add-in's editions and its folder, and the report every step adds its lines to.
struct ResetScope {
    explicit ResetScope(Whose whose);

    static UserHives UsersOf(Whose whose);

    // Runs a per-user step for each user, its lines naming the user where
    // the run is every loaded user's; false when it failed for any.
    Boolean ForEachUser(const std::function<Boolean(platform::Handle userRoot)>& step);

    UserHives users;
    Edition edition;
    AddinFolder folder;
    RunReport report;
};
