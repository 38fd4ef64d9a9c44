#pragma once

#include "app/AddinClass.h"
#include "app/AddinFolder.h"
#include "app/Edition.h"
#include "app/RunReport.h"
#include "app/RunView.h"
#include "common/Boolean.h"
#include "common/Text.h"
#include "platform/Handle.h"

#include <optional>

// What decides, beyond the reset, whether Outlook loads the add-in: that its
// class leads to the edition's own library, and that nothing the reset must
// not change keeps it out. It only reads, and opens only keys that exist.
class OutlookLoadCheck {
public:
    OutlookLoadCheck(platform::Handle userRoot, const Edition& edition, const AddinFolder& folder);

    // A problem when the class does not lead to the library, and a blocker
    // for each thing that only the user or an administrator can change.
    // False when the report got either.
    Boolean Check(const RunView& view, RunReport& report) const;

private:
    std::optional<Text> ClassProblem() const;
    bool LeadsToLibrary(const std::optional<AddinClass::Server>& server) const;
    std::optional<Text> TrustCenterLine(std::optional<bool> librarySigned) const;
    bool IsBlockedByPolicy() const;
    bool IsBlockedByPolicyIn(const Text& resiliencyKey) const;
    bool UsesNewOutlook() const;
    std::optional<Text> BitnessLine() const;

    platform::Handle mUserRoot;
    const Edition& mEdition;
    const AddinFolder& mFolder;
};
