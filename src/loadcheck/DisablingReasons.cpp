#include "loadcheck/DisablingReasons.h"

#include "common/Calendar.h"
#include "common/LittleEndian.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/AppTexts.h"
#include "scope/OfficeKeys.h"
#include "scope/ResiliencyRecords.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Line = RunReport::Line;

constexpr std::size_t kLoadTimesBytes = 24;
constexpr std::uint32_t kMostStarts = 5;
constexpr std::uint32_t kLongestLoadMs = 600000;
constexpr std::int64_t kSecondsPerDay = std::int64_t{24} * 60 * 60;

const Line kDisabledAfterCrash = {.text = u"Outlook had turned the add-in off because it made Outlook stop.",
                                  .code = "disabledAfterCrash",
                                  .moment = "crash"};
const Line kCrashedOutlook = {
    .text = u"Outlook last stopped while the add-in was running; it may turn the add-in off at its next start.",
    .code = "crashedOutlook",
    .moment = "crash"};
const Line kLoggingOff = {u"Outlook's add-in logging is turned off by policy, so no event of Outlook's can say more.",
                          "loggingOff"};

// The moments Outlook times an add-in at, by DoNotDisableAddinList's code
// and by the words of its events: how a line says the add-in was slow then.
constexpr std::array<std::pair<std::string_view, std::u16string_view>, 7> kMoments = {
    {{"start", u" to start"},
     {"demandLoad", u" to load when first needed"},
     {"folderSwitch", u" at a folder switch"},
     {"beforeFolderSwitch", u" before a folder switch"},
     {"itemOpen", u" to open an item"},
     {"iterationCount", u" too often"},
     {"shutdown", u" when Outlook closed"}}};

Text WhenOf(const std::string& moment)
{
    const auto* const found =
        std::find_if(kMoments.begin(), kMoments.end(), [&](const auto& known) { return moment == known.first; });
    return found == kMoments.end() ? Text() : Text(found->second);
}

// "1,875": a thousands separator, as the box's example numbers are written.
Text Milliseconds(std::uint32_t number)
{
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return TextOfAscii(digits) + u" ms";
}

Text DateOf(std::uint32_t timeGenerated, std::int32_t bias)
{
    const std::int64_t local = static_cast<std::int64_t>(timeGenerated) - static_cast<std::int64_t>(bias) * 60;
    const CalendarDate date = DateOfDay(local / kSecondsPerDay - (local % kSecondsPerDay < 0 ? 1 : 0));
    return TextOfAscii(PaddedNumber(static_cast<unsigned long>(date.year), 4) + "-" + PaddedNumber(date.month, 2) +
                       "-" + PaddedNumber(date.day, 2));
}

// Now, in seconds since 1970-01-01 UTC, from the local time and its bias.
std::int64_t Now(std::int32_t bias)
{
    const platform::SystemTime local = platform::Kernel().GetLocalTime();
    const std::int64_t minutes =
        (DaysSince1970({local.wYear, local.wMonth, local.wDay}) * 24 + local.wHour) * 60 + local.wMinute + bias;
    return minutes * 60 + local.wSecond;
}

// DoNotDisableAddinList's codes: why Outlook had turned the add-in off before the user chose to keep it on.
std::optional<Line> AlwaysEnabledLine(std::uint32_t code)
{
    constexpr std::array<const char*, 9> kSlowCodes = {
        "", "start", "demandLoad", "", "folderSwitch", "beforeFolderSwitch", "itemOpen", "iterationCount", "shutdown"};
    const Text since = u"; the user has since chosen to always enable it.";
    Line line{.text = {}, .code = "alwaysEnabled"};
    if (code == 3) {
        line.text = u"Outlook had turned the add-in off because it made Outlook stop" + since;
        line.moment = "crash";
    } else if (code == 9) {
        line.text = u"Outlook found that the add-in made Outlook stop, and kept it on because its allow list names it.";
        line.moment = "crashAllowList";
    } else if (code == 10) {
        line.text = u"Outlook found that the add-in made Outlook stop, and kept it on because the user said no to "
                    u"turning it off.";
        line.moment = "crashUserSaidNo";
    } else if (code < kSlowCodes.size() && *kSlowCodes.at(code) != '\0') {
        line.moment = kSlowCodes.at(code);
        line.text = u"Outlook had turned the add-in off because it was slow" + WhenOf(line.moment) + since;
    } else {
        return std::nullopt;
    }
    return line;
}

} // namespace

std::optional<LoadTimes> LoadTimesOf(std::uint32_t type, std::span<const std::uint8_t> data)
{
    if (type != platform::kRegBinary || data.size() != kLoadTimesBytes) {
        return std::nullopt;
    }
    const std::uint32_t starts = LittleEndian32(data, 0);
    if (starts == 0 || starts > kMostStarts) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> times(starts);
    for (std::uint32_t i = 0; i < starts; ++i) {
        times[i] = LittleEndian32(data, 4 + 4 * static_cast<std::size_t>(i));
    }
    if (std::any_of(times.begin(), times.end(), [](std::uint32_t ms) { return ms >= kLongestLoadMs; })) {
        return std::nullopt;
    }
    std::sort(times.begin(), times.end());
    const std::uint32_t upper = times[starts / 2];
    const std::uint32_t median = starts % 2 == 1 ? upper : (times[starts / 2 - 1] + upper) / 2;
    return LoadTimes{starts, median};
}

DisablingReasons::DisablingReasons(const AddinFolder& folder, RunLog* log) : mFolder(folder), mLog(log)
{
}

void DisablingReasons::Read(ResetScope& scope) const
{
    const std::int32_t bias = platform::Kernel().GetTimeZoneBias();
    const OutlookEvents events = OutlookEvents::Read(Now(bias), mLog);
    scope.ForEachUser([&](platform::Handle userRoot) {
        const bool turnedOff = ReadUser(userRoot, scope.report) || events.TurnedOff();
        if (IsLoggingOffByPolicy(userRoot)) {
            scope.report.AddReason(kLoggingOff);
        }
        CRegistry registration;
        if (!turnedOff &&
            registration.OpenExistingKey(kAddinRegistrationKey, userRoot, platform::kKeyRead) ==
                platform::kErrorSuccess &&
            registration.ReadDword("LoadBehavior") == 2U) {
            scope.report.AddReason({.text = u"Outlook had turned the add-in off without saying why: it could not "
                                            u"start it, or someone turned it off.",
                                    .code = "disabledWithoutRecord",
                                    .loadBehavior = 2U});
        }
        return True;
    });
    AddEventReasons(events, bias, scope.report);
}

bool DisablingReasons::ReadUser(platform::Handle userRoot, RunReport& report) const
{
    CRegistry office;
    std::vector<Text> versions;
    if (office.OpenExistingKey(kOfficeKey, userRoot, platform::kKeyRead) == platform::kErrorSuccess) {
        office.SubkeyNames(versions);
    }
    bool turnedOff = false;
    for (const Text& version : versions) {
        const Text outlookKey = kOfficeKey + version + u"\\Outlook\\";
        turnedOff = ReadResiliency(userRoot, outlookKey, report) || turnedOff;
        turnedOff = ReadAlwaysEnabled(userRoot, outlookKey, report) || turnedOff;
        ReadLoadTimes(userRoot, outlookKey, report);
    }
    return turnedOff;
}

bool DisablingReasons::ReadResiliency(platform::Handle userRoot, const Text& outlookKey, RunReport& report) const
{
    bool turnedOff = false;
    for (const bool disabledItems : {true, false}) {
        CRegistry list;
        const Text name = disabledItems ? u"Resiliency\\DisabledItems" : u"Resiliency\\CrashingAddinList";
        if (list.OpenExistingKey(outlookKey + name, userRoot, platform::kKeyRead) != platform::kErrorSuccess) {
            continue;
        }
        CRegistry::RawValue value;
        bool found = false;
        for (Long index = 0; !found; ++index) {
            const Long status = list.ReadValue(index, value);
            // A value past the read cap is no record of this add-in, which are small: the listing goes on.
            if (status == platform::kErrorMoreData) {
                continue;
            }
            if (status != platform::kErrorSuccess) {
                break;
            }
            found = disabledItems ? IsAddinDisabledRecord(value.type, value.data, mFolder, kAddinName)
                                  : IsAddinCrashValue(value.ansiName, value.type, value.data, mFolder);
        }
        if (found) {
            report.AddReason(disabledItems ? kDisabledAfterCrash : kCrashedOutlook);
            turnedOff = true;
        }
    }
    return turnedOff;
}

bool DisablingReasons::ReadAlwaysEnabled(platform::Handle userRoot, const Text& outlookKey, RunReport& report)
{
    CRegistry list;
    if (list.OpenExistingKey(outlookKey + u"Resiliency\\DoNotDisableAddinList", userRoot, platform::kKeyRead) !=
        platform::kErrorSuccess) {
        return false;
    }
    const auto code = list.ReadDword(AsciiOf(kProgId));
    auto line = code ? AlwaysEnabledLine(*code) : std::nullopt;
    if (line) {
        report.AddReason(std::move(*line));
    }
    return line.has_value();
}

void DisablingReasons::ReadLoadTimes(platform::Handle userRoot, const Text& outlookKey, RunReport& report)
{
    CRegistry loadTimes;
    CRegistry::RawValue value;
    if (loadTimes.OpenExistingKey(outlookKey + u"AddInLoadTimes", userRoot, platform::kKeyRead) !=
            platform::kErrorSuccess ||
        loadTimes.ReadNamedValue(AsciiOf(kProgId), value) != platform::kErrorSuccess) {
        return;
    }
    const auto times = LoadTimesOf(value.type, value.data);
    if (!times || times->medianMs <= kStartThresholdMs) {
        return;
    }
    const Text took = times->starts == 1 ? u"Its last start took " + Milliseconds(times->medianMs)
                                         : u"Its last " + TextOfAscii(std::to_string(times->starts)) +
                                               u" starts took " + Milliseconds(times->medianMs) + u" in the middle";
    Line line{.text = took + u": Outlook may turn it off again.", .code = "slowStarts"};
    line.takenMs = times->medianMs;
    line.thresholdMs = kStartThresholdMs;
    line.moment = "start";
    report.AddReason(std::move(line));
}

bool DisablingReasons::IsLoggingOffByPolicy(platform::Handle userRoot)
{
    for (const Text& policies : kOfficePolicyKeys) {
        CRegistry office;
        std::vector<Text> versions;
        if (office.OpenExistingKey(policies, userRoot, platform::kKeyRead) == platform::kErrorSuccess) {
            office.SubkeyNames(versions);
        }
        for (const Text& version : versions) {
            CRegistry logging;
            if (logging.OpenExistingKey(policies + version + u"\\Outlook\\Options\\Logging", userRoot,
                                        platform::kKeyRead) == platform::kErrorSuccess &&
                logging.ReadDword("DisableAddinLogging") == 1U) {
                return true;
            }
        }
    }
    return false;
}

void DisablingReasons::AddEventReasons(const OutlookEvents& events, std::int32_t bias, RunReport& report)
{
    if (const auto& off = events.TurnedOff()) {
        const AddinEventEntry& entry = off->entry;
        const Text when = DateOf(off->timeGenerated, bias);
        Line line{.text = u"Outlook had turned the add-in off on " + when + u" because it ",
                  .code = "disabledAsSlow",
                  .when = when,
                  .moment = entry.moment};
        if (entry.takenMs && entry.thresholdMs) {
            line.text += u"took " + Milliseconds(*entry.takenMs) + WhenOf(entry.moment) + u"; Outlook allows " +
                         Milliseconds(*entry.thresholdMs) + u".";
            line.takenMs = entry.takenMs;
            line.thresholdMs = entry.thresholdMs;
        } else {
            line.text += u"was slow" + WhenOf(entry.moment) + u".";
        }
        report.AddReason(std::move(line));
    }
    if (const auto& start = events.LastStart(); start && start->entry.bootMs > kStartThresholdMs) {
        const Text when = DateOf(start->timeGenerated, bias);
        report.AddReason({.text = u"Its start on " + when + u" took " + Milliseconds(*start->entry.bootMs) +
                                  u": Outlook may turn it off again.",
                          .code = "slowLastStart",
                          .takenMs = start->entry.bootMs,
                          .thresholdMs = kStartThresholdMs,
                          .when = when,
                          .moment = "start"});
    }
}
