#include "platform/SecurityBytes.h"

#include <charconv>

namespace platform {
namespace {

// A revision byte, a count of subauthorities, six bytes of authority
// (big-endian), then each subauthority in four bytes (little-endian).
constexpr std::size_t kHeaderBytes = 8;
constexpr std::uint8_t kRevision = 1;
constexpr std::size_t kMostSubauthorities = 15;

} // namespace

std::optional<std::string> SidText(const std::uint8_t* bytes, std::size_t size)
{
    if (size < kHeaderBytes || bytes[0] != kRevision || bytes[1] > kMostSubauthorities ||
        size < kHeaderBytes + 4 * std::size_t{bytes[1]}) {
        return std::nullopt;
    }
    std::uint64_t authority = 0;
    for (std::size_t i = 2; i < kHeaderBytes; ++i) {
        authority = authority << 8 | bytes[i];
    }
    std::string text = "S-1-" + std::to_string(authority);
    for (std::size_t i = 0; i < bytes[1]; ++i) {
        const std::uint8_t* sub = bytes + kHeaderBytes + 4 * i;
        const std::uint32_t value = sub[0] | sub[1] << 8 | sub[2] << 16 | static_cast<std::uint32_t>(sub[3]) << 24;
        text += "-" + std::to_string(value);
    }
    return text;
}

std::optional<Sid> SidOfText(const std::string& text)
{
    if (!text.starts_with("S-1-")) {
        return std::nullopt;
    }
    std::vector<std::uint64_t> numbers;
    const char* at = text.data() + 4;
    const char* const end = text.data() + text.size();
    for (;;) {
        std::uint64_t number = 0;
        const auto [next, error] = std::from_chars(at, end, number);
        if (error != std::errc() || next == at) {
            return std::nullopt;
        }
        numbers.push_back(number);
        if (next == end) {
            break;
        }
        if (*next != '-') {
            return std::nullopt;
        }
        at = next + 1;
    }
    const std::uint64_t authority = numbers.front();
    if (authority >> 48 != 0 || numbers.size() - 1 > kMostSubauthorities) {
        return std::nullopt;
    }
    Sid sid = {kRevision, static_cast<std::uint8_t>(numbers.size() - 1)};
    for (int shift = 40; shift >= 0; shift -= 8) {
        sid.push_back(static_cast<std::uint8_t>(authority >> shift));
    }
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        if (numbers[i] > 0xFFFFFFFF) {
            return std::nullopt;
        }
        for (int shift = 0; shift < 32; shift += 8) {
            sid.push_back(static_cast<std::uint8_t>(numbers[i] >> shift));
        }
    }
    return sid;
}

} // namespace platform
