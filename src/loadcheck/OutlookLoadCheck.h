#pragma once

#include "common/Boolean.h"
#include "common/Text.h"
#include "loadcheck/AddinClass.h"
#include "platform/Handle.h"
#include "scope/AddinFolder.h"
#include "scope/Edition.h"
#include "scope/ResetScope.h"
#include "scope/RunReport.h"
#include "scope/RunView.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// What decides, beyond the reset, whether Outlook loads the add-in: that its
// class leads to the edition's own library, and that nothing the reset must
// not change keeps it out. It opens only keys that exist, and changes
// nothing but a user's own stale class, which outweighs the machine's.
class OutlookLoadCheck {
public:
    // mayChange false for a check that only reads: where a reset would
    // remove a user's class, a line says so instead.
    OutlookLoadCheck(const Edition& edition, const AddinFolder& folder, bool mayChange = true);

    // Adds a problem where the class does not lead to the library, and a
    // blocker for each thing that only the user or an administrator can
    // change: the libraries once, the class and the settings of each of the
    // scope's users (without a user, the machine's class alone), Outlook's
    // bitness last. False when the report got any.
    Boolean Check(const RunView& view, ResetScope& scope) const;

private:
    // The libraries KROutlook.dll needs that are not on this computer, each a blocker.
    bool CheckLibraries(const RunView& view, RunReport& report) const;
    // False where regsvr32 could never register KROutlook.dll: it lacks a
    // library, is built for the other processor, or exports no DllRegisterServer.
    bool MainLibraryRegisters(bool librariesFound) const;
    // The class as the user's Outlook sees it, a problem where it does not
    // lead to the library, and a blocker for each of the user's settings
    // that only the user or an administrator can change. Without a user,
    // the machine's class alone.
    bool CheckUser(std::optional<platform::Handle> userRoot, bool registers, RunReport& report) const;
    // An Outlook that cannot load the edition.
    bool CheckBitness(RunReport& report) const;
    std::optional<std::pair<RunReport::Line, RunReport::Cause>> ClassProblem(std::optional<platform::Handle> userRoot,
                                                                             bool registers) const;
    bool LeadsToLibrary(const std::optional<AddinClass::Server>& server) const;
    std::optional<RunReport::Line> TrustCenterLine(platform::Handle userRoot, std::optional<bool> librarySigned) const;
    bool IsBlockedByPolicy(platform::Handle userRoot) const;
    bool IsBlockedByPolicyIn(platform::Handle userRoot, const Text& resiliencyKey) const;
    std::optional<RunReport::Line> BitnessLine() const;

    const Edition& mEdition;
    const AddinFolder& mFolder;
    bool mMayChange;
    // KROutlook.dll's bytes, read once.
    std::vector<std::uint8_t> mLibrary;
};
