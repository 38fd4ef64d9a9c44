#pragma once

#include "common/Boolean.h"
#include "common/Text.h"
#include "platform/Handle.h"
#include "registry/CRegistry.h"

#include <cstdint>
#include <optional>
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
// True when path names a file directly in folder: compared without case,
// with "/" taken for "\" and runs of separators for one.
bool IsFileDirectlyIn(std::u16string_view path, std::u16string_view folder);
// True when the record is the add-in's by its friendly name (without case and
// trailing blanks) or by a library directly in addinFolder.
bool IsAddinDisabledRecord(std::uint32_t type, std::span<const std::uint8_t> data, std::u16string_view addinFolder,
                           std::u16string_view friendlyName);

// Outlook's records of having disabled the add-in after a crash, in every
// Office version of one user's hive. Outlook ignores LoadBehavior while such
// a record stays; its own Disabled Items dialog re-enables by deleting it.
class OutlookResiliency {
public:
    OutlookResiliency(platform::Handle userRoot, Text addinFolder, Text friendlyName);

    // Deletes every record of the add-in and leaves every other value as it
    // is. False when a record stayed or a key could not be looked into.
    Boolean RemoveAddinRecords();

private:
    Boolean RemoveRecords(const Text& officeVersion);
    bool IsAddinRecord(const CRegistry::RawValue& value) const;
    static bool DeleteIfUnchanged(CRegistry& writer, const CRegistry::RawValue& record);

    platform::Handle mUserRoot;
    Text mAddinFolder;
    Text mFriendlyName;
};
