#include "reset/OutlookResiliency.h"

#include "common/LittleEndian.h"
#include "platform/SystemCodes.h"
#include "scope/OfficeKeys.h"

#include <utility>
#include <vector>

namespace {

const Text kResiliencyKey = u"\\Outlook\\Resiliency\\";
const RunReport::Line kRecordNotRemoved = {u"- Outlook's record of the disabled add-in could not be removed",
                                           "recordNotRemoved"};
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

OutlookResiliency::OutlookResiliency(platform::Handle userRoot, const AddinFolder& folder, Text friendlyName)
    : mUserRoot(userRoot), mFolder(folder), mFriendlyName(std::move(friendlyName))
{
}

Boolean OutlookResiliency::RemoveAddinRecords(const RunView& view, RunReport& report)
{
    view.ShowProgress(u"Checking Outlook's disabled add-ins...");
    const bool removed = RemoveAll();
    if (!removed) {
        report.AddProblem(kRecordNotRemoved);
    }
    return Boolean(removed);
}

void OutlookResiliency::InspectAddinRecords(RunReport& report)
{
    mOnlyFind = true;
    const bool whole = RemoveAll();
    mOnlyFind = false;
    if (mFound.contains(List::DisabledItems)) {
        report.AddProblem({u"- Outlook has disabled the add-in", "disabledItemsRecord"});
    }
    if (mFound.contains(List::CrashingAddinList)) {
        report.AddProblem({u"- Outlook has a record of the add-in crashing", "crashRecord"});
    }
    if (!whole) {
        report.AddProblem({u"- Outlook's records of disabled add-ins could not be read", "recordsUnreadable"});
    }
}

bool OutlookResiliency::RemoveAll()
{
    CRegistry office;
    const Long status = office.OpenExistingKey(kOfficeKey, mUserRoot, platform::kKeyRead);
    if (status != platform::kErrorSuccess) {
        // Only a key that is not there holds nothing; any other answer hides what it holds.
        return status == platform::kErrorFileNotFound;
    }
    std::vector<Text> versions;
    // A listing cut short may have hidden the version that holds a record.
    bool removed = office.SubkeyNames(versions) == platform::kErrorNoMoreItems;
    for (const Text& version : versions) {
        removed = RemoveRecords(version, List::DisabledItems) && removed;
        removed = RemoveRecords(version, List::CrashingAddinList) && removed;
    }
    return removed;
}

bool OutlookResiliency::RemoveRecords(const Text& officeVersion, List list)
{
    const Text path = kOfficeKey + officeVersion + kResiliencyKey +
                      (list == List::DisabledItems ? u"DisabledItems" : u"CrashingAddinList");
    CRegistry items;
    const Long opened = items.OpenExistingKey(path, mUserRoot, platform::kKeyRead);
    if (opened != platform::kErrorSuccess) {
        return opened == platform::kErrorFileNotFound;
    }
    // Collected first: deleting a value renumbers the ones after it.
    std::vector<CRegistry::RawValue> records;
    CRegistry::RawValue value;
    Long status = 0;
    for (Long index = 0;; ++index) {
        status = items.ReadValue(index, value);
        // A value past the read cap is no record of this add-in, which are small: the listing goes on.
        if (status == platform::kErrorMoreData) {
            continue;
        }
        if (status != platform::kErrorSuccess) {
            break;
        }
        if (IsAddinRecord(list, value)) {
            records.push_back(std::move(value));
        }
    }
    // A listing cut short may have hidden a record.
    bool removed = status == platform::kErrorNoMoreItems;
    if (records.empty()) {
        return removed;
    }
    if (mOnlyFind) {
        mFound.insert(list);
        return removed;
    }
    CRegistry writer;
    if (writer.OpenExistingKey(path, mUserRoot, platform::kKeyQueryValue | platform::kKeySetValue) !=
        platform::kErrorSuccess) {
        return false;
    }
    for (const CRegistry::RawValue& record : records) {
        removed = DeleteIfUnchanged(writer, record) && removed;
    }
    return removed;
}

bool OutlookResiliency::IsAddinRecord(List list, const CRegistry::RawValue& value) const
{
    return list == List::CrashingAddinList ? IsAddinCrashRecord(value.type, value.data, mFolder)
                                           : IsAddinDisabledRecord(value.type, value.data, mFolder, mFriendlyName);
}

// The listing gives names in the code page, best fit: a name that does not
// survive it may now name another value. Only a value that still reads as
// the record matched is deleted.
bool OutlookResiliency::DeleteIfUnchanged(CRegistry& writer, const CRegistry::RawValue& record)
{
    // No backup could hold such a name as one line: it stays, and is told.
    if (HasControlCharacter(record.ansiName)) {
        return false;
    }
    CRegistry::RawValue now;
    if (writer.ReadNamedValue(record.ansiName, now) != platform::kErrorSuccess || now.type != record.type ||
        now.data != record.data) {
        return false;
    }
    return writer.DeleteValue(record) == platform::kErrorSuccess;
}
