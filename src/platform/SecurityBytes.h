#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A user's or a group's security identifier, as the system lays it out.
using Sid = std::vector<std::uint8_t>;
// A security descriptor in its self-relative form: one block of bytes that
// holds its owner and its access list, as the system takes and gives it.
using DescriptorBytes = std::vector<std::uint8_t>;

// "S-1-5-32-544" of a SID's bytes, as Windows writes it; none where the
// bytes are no SID. The system's own call for it is missing before Windows 2000.
std::optional<std::string> SidText(const std::uint8_t* bytes, std::size_t size);
// The bytes of "S-1-5-18" and the like; none where the text is no SID.
std::optional<Sid> SidOfText(const std::string& text);

} // namespace platform
