#pragma once

#include "scope/UserHives.h"

// Whether the add-in is on this computer at all. A fleet tool runs the
// administrators' program on every computer, also where the add-in was
// never installed or has been removed: there a reset would write a
// registration for a library that is not there. The add-in counts as
// installed where any edition an Outlook of this Windows could load has
// its KROutlook.dll, or where anything registers it: the machine's
// registration in either view, a user's, or its class.
class AddinInstallation {
public:
    static bool IsOnThisComputer(const UserHives& users);
};
