#include "app/OutlookResiliency.h"

#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"

#include <utility>
#include <vector>

namespace {

const Text kOfficeKey = u"Software\\Microsoft\\Office\\";
const Text kResiliencyKey = u"\\Outlook\\Resiliency\\";
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

// Lower case, "\" for "/", one separator for a run of them and none at the end.
Text NormalPath(std::u16string_view path)
{
    Text normal;
    for (const char16_t c : LowerCase(path)) {
        const char16_t mapped = c == u'/' ? u'\\' : c;
        if (mapped != u'\\' || normal.empty() || normal.back() != u'\\') {
            normal.push_back(mapped);
        }
    }
    if (!normal.empty() && normal.back() == u'\\') {
        normal.pop_back();
    }
    return normal;
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

// A path Windows shortened to 8.3 form carries a "~" in a shortened component.
bool MayBeShortForm(std::u16string_view path)
{
    return path.find(u'~') != std::u16string_view::npos;
}

// The long form of a path, where the system can give it.
std::optional<Text> LongPathOf(const Text& path)
{
    auto& kernel = platform::Kernel();
    if (!kernel.HasGetLongPathNameA()) {
        return std::nullopt;
    }
    const std::string longPath = kernel.GetLongPathNameA(ToAnsi(path));
    return longPath.empty() ? std::nullopt : std::optional<Text>(FromAnsi(longPath));
}

} // namespace

std::optional<DisabledItem> ParseDisabledItem(std::uint32_t type, std::span<const std::uint8_t> data)
{
    if (type != platform::kRegBinary || data.size() < kHeaderBytes || NumberAt(data, 0) != kAddinKind) {
        return std::nullopt;
    }
    // 64-bit sums: two lengths near 2^32 must not wrap round to a small total.
    const std::uint64_t pathBytes = NumberAt(data, 4);
    const std::uint64_t nameBytes = NumberAt(data, 8);
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

bool IsFileDirectlyIn(std::u16string_view path, std::u16string_view folder)
{
    const Text prefix = NormalPath(folder) + u'\\';
    const Text file = NormalPath(path);
    return file.size() > prefix.size() && file.compare(0, prefix.size(), prefix) == 0 &&
           file.find(u'\\', prefix.size()) == Text::npos;
}

bool IsAddinDisabledRecord(std::uint32_t type, std::span<const std::uint8_t> data, std::u16string_view addinFolder,
                           std::u16string_view friendlyName)
{
    const auto item = ParseDisabledItem(type, data);
    return item && (IsAddinName(item->name, friendlyName) || IsFileDirectlyIn(item->path, addinFolder));
}

bool IsAddinCrashRecord(std::uint32_t type, std::span<const std::uint8_t> data, std::u16string_view addinFolder)
{
    if (type != platform::kRegBinary) {
        return false;
    }
    const Text folder = NormalPath(addinFolder);
    // A path may start at any even offset of a run of characters up to a NUL
    // or the end. Normalising works character by character, so every such
    // start gives a tail of the run's normal form: the run holds a match
    // when its normal form's folder part ends with the add-in's folder.
    Text run;
    for (std::size_t i = 0; i <= data.size() / 2; ++i) {
        const char16_t c = i < data.size() / 2 ? static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8)) : u'\0';
        if (c != u'\0') {
            run.push_back(c);
            continue;
        }
        const Text normal = NormalPath(run);
        const auto separator = normal.rfind(u'\\');
        if (separator != Text::npos && separator >= folder.size() &&
            normal.compare(separator - folder.size(), folder.size(), folder) == 0) {
            return true;
        }
        run.clear();
    }
    return false;
}

OutlookResiliency::OutlookResiliency(platform::Handle userRoot, Text addinFolder, Text friendlyName)
    : mUserRoot(userRoot), mAddinFolder(std::move(addinFolder)), mFriendlyName(std::move(friendlyName))
{
}

Boolean OutlookResiliency::RemoveAddinRecords()
{
    CRegistry office;
    const Long status = office.OpenExistingKey(kOfficeKey, mUserRoot, platform::kKeyRead);
    if (status != platform::kErrorSuccess) {
        // Only a key that is not there holds nothing; any other answer hides what it holds.
        return Boolean(status == platform::kErrorFileNotFound);
    }
    bool removed = true;
    for (const Text& version : office.SubkeyNames()) {
        removed = RemoveRecords(version, List::DisabledItems) && removed;
        removed = RemoveRecords(version, List::CrashingAddinList) && removed;
    }
    return Boolean(removed);
}

Boolean OutlookResiliency::RemoveRecords(const Text& officeVersion, List list)
{
    const Text path = kOfficeKey + officeVersion + kResiliencyKey +
                      (list == List::DisabledItems ? u"DisabledItems" : u"CrashingAddinList");
    CRegistry items;
    const Long opened = items.OpenExistingKey(path, mUserRoot, platform::kKeyRead);
    if (opened != platform::kErrorSuccess) {
        return Boolean(opened == platform::kErrorFileNotFound);
    }
    // Collected first: deleting a value renumbers the ones after it.
    std::vector<CRegistry::RawValue> records;
    CRegistry::RawValue value;
    Long index = 0;
    Long status = 0;
    while ((status = items.ReadValue(index, value)) == platform::kErrorSuccess) {
        if (IsAddinRecord(list, value)) {
            records.push_back(std::move(value));
        }
        ++index;
    }
    // A listing cut short may have hidden a record.
    bool removed = status == platform::kErrorNoMoreItems;
    if (records.empty()) {
        return Boolean(removed);
    }
    CRegistry writer;
    if (writer.OpenExistingKey(path, mUserRoot, platform::kKeyQueryValue | platform::kKeySetValue) !=
        platform::kErrorSuccess) {
        return False;
    }
    for (const CRegistry::RawValue& record : records) {
        removed = DeleteIfUnchanged(writer, record) && removed;
    }
    return Boolean(removed);
}

bool OutlookResiliency::IsAddinRecord(List list, const CRegistry::RawValue& value) const
{
    if (list == List::CrashingAddinList) {
        return IsAddinCrashRecord(value.type, value.data, mAddinFolder);
    }
    const auto item = ParseDisabledItem(value.type, value.data);
    if (!item) {
        return false;
    }
    if (IsAddinName(item->name, mFriendlyName) || IsFileDirectlyIn(item->path, mAddinFolder)) {
        return true;
    }
    if (!MayBeShortForm(item->path)) {
        return false;
    }
    const auto longPath = LongPathOf(item->path);
    return longPath && IsFileDirectlyIn(*longPath, mAddinFolder);
}

// The listing gives names in the code page, best fit: a name that does not
// survive it may now name another value. Only a value that still reads as
// the record matched is deleted.
bool OutlookResiliency::DeleteIfUnchanged(CRegistry& writer, const CRegistry::RawValue& record)
{
    CRegistry::RawValue now;
    if (writer.ReadNamedValue(record.ansiName, now) != platform::kErrorSuccess || now.type != record.type ||
        now.data != record.data) {
        return false;
    }
    return writer.DeleteValue(record) == platform::kErrorSuccess;
}
