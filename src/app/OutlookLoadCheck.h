#pragma once

#include "app/Edition.h"
#include "common/Text.h"
#include "platform/Handle.h"

#include <vector>

// What decides, beyond the reset, whether Outlook loads the add-in: that its
// class leads to a library, and that nothing the reset must not change keeps
// it out. It only reads, and opens only keys that exist.
class OutlookLoadCheck {
public:
    OutlookLoadCheck(platform::Handle userRoot, Edition edition);

    // True when KestrinSoftware.Connect's CLSID, in the edition's view,
    // leads to an in-process server file that exists.
    bool IsClassRegistered() const;
    // One line for each thing that keeps Outlook from loading the add-in and
    // that only the user or an administrator can change.
    std::vector<Text> Blockers() const;

private:
    bool IsBlockedByPolicy() const;
    bool IsBlockedByPolicyIn(const Text& resiliencyKey) const;
    bool UsesNewOutlook() const;
    std::optional<Text> BitnessLine() const;

    platform::Handle mUserRoot;
    Edition mEdition;
};
