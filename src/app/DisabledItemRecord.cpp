#include "app/DisabledItemRecord.h"

#include "common/Text.h"

#include <optional>

namespace {

constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kAddinKind = 1;
constexpr std::size_t kHeaderBytes = 12;

std::uint32_t NumberAt(std::span<const std::uint8_t> data, std::size_t offset)
{
    return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 16) | (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

// The text before the NUL of a UTF-16LE field; none when the field holds no NUL.
std::optional<Text> TextOfField(std::span<const std::uint8_t> field)
{
    Text text;
    for (std::size_t i = 0; i + 1 < field.size(); i += 2) {
        const auto c = static_cast<char16_t>(field[i] | (field[i + 1] << 8));
        if (c == u'\0') {
            return text;
        }
        text.push_back(c);
    }
    return std::nullopt;
}

bool IsDirectlyIn(std::u16string_view path, std::u16string_view folder)
{
    Text prefix = LowerCase(folder);
    if (prefix.empty() || prefix.back() != u'\\') {
        prefix.push_back(u'\\');
    }
    const Text lowerPath = LowerCase(path);
    if (lowerPath.size() <= prefix.size() || lowerPath.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return lowerPath.find_first_of(u"\\/", prefix.size()) == Text::npos;
}

} // namespace

bool IsAddinDisabledRecord(std::uint32_t type, std::span<const std::uint8_t> data, std::u16string_view addinFolder,
                           std::u16string_view friendlyName)
{
    if (type != kRegBinary || data.size() < kHeaderBytes || NumberAt(data, 0) != kAddinKind) {
        return false;
    }
    // 64-bit sums: two lengths near 2^32 must not wrap round to a small total.
    const std::uint64_t pathBytes = NumberAt(data, 4);
    const std::uint64_t nameBytes = NumberAt(data, 8);
    if (pathBytes == 0 || nameBytes == 0 || pathBytes % 2 != 0 || nameBytes % 2 != 0 ||
        kHeaderBytes + pathBytes + nameBytes > data.size()) {
        return false;
    }
    const auto pathSize = static_cast<std::size_t>(pathBytes);
    const auto path = TextOfField(data.subspan(kHeaderBytes, pathSize));
    const auto name = TextOfField(data.subspan(kHeaderBytes + pathSize, static_cast<std::size_t>(nameBytes)));
    if (!path || !name) {
        return false;
    }
    return IsDirectlyIn(*path, addinFolder) || *name == friendlyName;
}
