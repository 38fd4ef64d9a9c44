#include "reset/OutlookResiliency.h"

#include "platform/SystemCodes.h"
#include "scope/OfficeKeys.h"

#include <utility>
#include <vector>

namespace {

const Text kResiliencyKey = u"\\Outlook\\Resiliency\\";
const RunReport::Line kRecordNotRemoved = {u"- Outlook's record of the disabled add-in could not be removed",
                                           "recordNotRemoved"};

} // namespace

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
    return list == List::CrashingAddinList ? IsAddinCrashValue(value.ansiName, value.type, value.data, mFolder)
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
