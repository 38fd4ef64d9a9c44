#include "scope/ResiliencyRecords.h"

#include "common/LittleEndian.h"
#include "platform/SystemCodes.h"
#include "scope/OfficeKeys.h"

#include <utility>

namespace {

constexpr std::uint32_t kAddinKind = 1;
constexpr std::size_t kHeaderBytes = 12;

char16_t CharacterAt(std::span<const std::uint8_t> data, std::size_t offset)
{
    return static_cast<char16_t>(LittleEndian16(data, offset));
}

// The text before the NUL of a UTF-16LE field; none when the field holds no NUL.
std::optional<Text> TextOfField(std::span<const std::uint8_t> field)
{
    Text text;
    for (std::size_t i = 0; i + 1 < field.size(); i += 2) {
        const char16_t c = CharacterAt(field, i);
        if (c == u'\0') {
            return text;
        }
        text.push_back(c);
    }
    return std::nullopt;
}

Text WithoutTrailingBlanks(std::u16string_view text)
{
    const auto end = text.find_last_not_of(u" \t");
    return Text(end == std::u16string_view::npos ? std::u16string_view() : text.substr(0, end + 1));
}

bool IsAddinName(std::u16string_view name, std::u16string_view friendlyName)
{
    return LowerCase(WithoutTrailingBlanks(name)) == LowerCase(WithoutTrailingBlanks(friendlyName));
}

} // namespace

std::optional<DisabledItem> ParseDisabledItem(std::uint32_t type, std::span<const std::uint8_t> data)
{
    if (type != platform::kRegBinary || data.size() < kHeaderBytes || LittleEndian32(data, 0) != kAddinKind) {
        return std::nullopt;
    }
    // 64-bit sums: two lengths near 2^32 must not wrap round to a small total.
    const std::uint64_t pathBytes = LittleEndian32(data, 4);
    const std::uint64_t nameBytes = LittleEndian32(data, 8);
    if (pathBytes == 0 || nameBytes == 0 || pathBytes % 2 != 0 || nameBytes % 2 != 0 ||
        kHeaderBytes + pathBytes + nameBytes > data.size()) {
        return std::nullopt;
    }
    const auto pathSize = static_cast<std::size_t>(pathBytes);
    auto path = TextOfField(data.subspan(kHeaderBytes, pathSize));
    auto name = TextOfField(data.subspan(kHeaderBytes + pathSize, static_cast<std::size_t>(nameBytes)));
    if (!path || !name) {
        return std::nullopt;
    }
    return DisabledItem{std::move(*path), std::move(*name)};
}

bool IsAddinDisabledRecord(std::uint32_t type, std::span<const std::uint8_t> data, const AddinFolder& folder,
                           std::u16string_view friendlyName)
{
    const auto item = ParseDisabledItem(type, data);
    return item && (IsAddinName(item->name, friendlyName) || folder.HoldsFile(item->path));
}

bool IsAddinCrashRecord(std::uint32_t type, std::span<const std::uint8_t> data, const AddinFolder& folder)
{
    if (type != platform::kRegBinary) {
        return false;
    }
    Text path;
    for (std::size_t i = 0; i <= data.size() / 2; ++i) {
        const char16_t c = i < data.size() / 2 ? CharacterAt(data, 2 * i) : u'\0';
        if (c >= u' ') {
            path.push_back(c);
            continue;
        }
        if (folder.HoldsFile(path)) {
            return true;
        }
        path.clear();
    }
    return false;
}

bool IsAddinCrashFlag(const std::string& ansiName, std::uint32_t type, std::span<const std::uint8_t> data)
{
    return type == platform::kRegDword && data.size() == 4 && LittleEndian32(data, 0) == 1 &&
           LowerCase(TextOfAscii(ansiName)) == LowerCase(kProgId);
}

bool IsAddinCrashValue(const std::string& ansiName, std::uint32_t type, std::span<const std::uint8_t> data,
                       const AddinFolder& folder)
{
    return IsAddinCrashFlag(ansiName, type, data) || IsAddinCrashRecord(type, data, folder);
}
