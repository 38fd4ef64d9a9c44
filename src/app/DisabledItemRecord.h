#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Outlook's record of an add-in it disabled after a crash, as a value of a
// Resiliency\DisabledItems key: REG_BINARY, three little-endian 32-bit numbers
// (kind, 1 for an add-in; the byte lengths of two UTF-16LE texts, each with
// its NUL), then the library's path and the add-in's friendly name.
// True when the record is this add-in's: its library lies directly in
// addinFolder (compared without case), or its name is friendlyName.
bool IsAddinDisabledRecord(std::uint32_t type, std::span<const std::uint8_t> data, std::u16string_view addinFolder,
                           std::u16string_view friendlyName);
