#pragma once

#include "common/Boolean.h"
#include "common/Text.h"
#include "platform/Handle.h"
#include "registry/CRegistry.h"
#include "scope/AddinFolder.h"
#include "scope/RunReport.h"
#include "scope/RunView.h"

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string_view>

// One record of Outlook's Resiliency\DisabledItems key: REG_BINARY, three
// little-endian 32-bit numbers (kind, 1 for an add-in; the byte lengths of two
// UTF-16LE texts, each with its NUL), then the library's path and the
// add-in's friendly name.
struct DisabledItem {
    Text path;
    Text name;
};

// The record's two texts; none when the value is not an add-in's well-formed record.
std::optional<DisabledItem> ParseDisabledItem(std::uint32_t type, std::span<const std::uint8_t> data);
// True when the record is the add-in's by its friendly name (without case and
// trailing blanks) or by a library directly in the add-in's folder.
bool IsAddinDisabledRecord(std::uint32_t type, std::span<const std::uint8_t> data, const AddinFolder& folder,
                           std::u16string_view friendlyName);
// A value of Outlook's Resiliency\CrashingAddinList, whose layout is not
// published: the add-in's when it is REG_BINARY and holds, at an even
// offset, a UTF-16LE path to a file directly in the add-in's folder. A path
// runs from the data's start or a control character (a NUL, a length) to
// the next one or the end.
bool IsAddinCrashRecord(std::uint32_t type, std::span<const std::uint8_t> data, const AddinFolder& folder);

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
