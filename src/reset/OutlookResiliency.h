#pragma once

#include "common/Boolean.h"
#include "common/Text.h"
#include "platform/Handle.h"
#include "registry/CRegistry.h"
#include "scope/AddinFolder.h"
#include "scope/ResiliencyRecords.h"
#include "scope/RunReport.h"
#include "scope/RunView.h"

#include <set>

// Outlook's records of the add-in in every Office version of one user's
// hive: DisabledItems, of having disabled it after a crash, which outweighs
// LoadBehavior until deleted, as Outlook's own Disabled Items dialog does; and
// CrashingAddinList, of a crash while it loaded, which makes Outlook offer
// to disable it again at its next start.
class OutlookResiliency {
public:
    OutlookResiliency(platform::Handle userRoot, const AddinFolder& folder, Text friendlyName);

    // Deletes every record of the add-in and leaves every other value as it
    // is. False, with its line in the report, when a record stayed or a key
    // could not be looked into.
    Boolean RemoveAddinRecords(const RunView& view, RunReport& report);
    // Reads only: a line for each kind of record of the add-in there is.
    void InspectAddinRecords(RunReport& report);

private:
    enum class List { DisabledItems, CrashingAddinList };

    bool RemoveAll();
    bool RemoveRecords(const Text& officeVersion, List list);
    bool IsAddinRecord(List list, const CRegistry::RawValue& value) const;
    static bool DeleteIfUnchanged(CRegistry& writer, const CRegistry::RawValue& record);

    platform::Handle mUserRoot;
    const AddinFolder& mFolder;
    Text mFriendlyName;
    // While inspecting: records are found, not deleted.
    bool mOnlyFind = false;
    std::set<List> mFound;
};
