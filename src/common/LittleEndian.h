#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Numbers as Windows stores them in files and registry values: least
// significant byte first, whatever the byte order of the machine reading them.
// The caller keeps offset + size within the bytes.
inline std::uint16_t LittleEndian16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline std::uint32_t LittleEndian32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(LittleEndian16(bytes, offset)) |
           (static_cast<std::uint32_t>(LittleEndian16(bytes, offset + 2)) << 16);
}
