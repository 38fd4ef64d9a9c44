#pragma once

#include "common/Text.h"
#include "scope/AddinFolder.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
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
// A value of CrashingAddinList named the add-in's ProgID (without case),
// REG_DWORD 1: Outlook last stopped while the add-in was running, as
// Microsoft's own inventory scripts read it.
bool IsAddinCrashFlag(const std::string& ansiName, std::uint32_t type, std::span<const std::uint8_t> data);
// Either of the two: a value of CrashingAddinList that is the add-in's.
bool IsAddinCrashValue(const std::string& ansiName, std::uint32_t type, std::span<const std::uint8_t> data,
                       const AddinFolder& folder);
