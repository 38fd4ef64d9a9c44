#pragma once

#include "loadcheck/OutlookEvents.h"
#include "platform/Handle.h"
#include "scope/AddinFolder.h"
#include "scope/ResetScope.h"
#include "scope/RunLog.h"
#include "scope/RunReport.h"

#include <cstdint>
#include <optional>
#include <span>

// The median of the add-in's last starts from Outlook's AddInLoadTimes
// value, whose layout is not published: exactly 24 bytes, a count of 1 to
// 5, then five times in milliseconds, each counted one below 600,000. None
// for any other shape. Of an even count, the two middle times' mean,
// rounded down.
struct LoadTimes {
    std::uint32_t starts;
    std::uint32_t medianMs;
};
std::optional<LoadTimes> LoadTimesOf(std::uint32_t type, std::span<const std::uint8_t> data);

// Why Outlook turned the add-in off, and whether it may again, from
// Outlook's own records: for each user whose settings the run covers, her
// Disabled Items and crash records, the reasons she chose to always enable
// it, its load times and the policy that keeps Outlook's add-in log off;
// for the computer, Outlook's events. It only reads, before a reset removes
// any of them. Each reason is a line of the report's reasons, which change
// no outcome; where a record is missing, nothing is said.
class DisablingReasons {
public:
    // Outlook's thresholds: a start's median of 1,000 ms.
    static constexpr std::uint32_t kStartThresholdMs = 1000;

    // log: where a run keeps its log, for what kept Outlook's events from being read; may be null.
    DisablingReasons(const AddinFolder& folder, RunLog* log);

    void Read(ResetScope& scope) const;

private:
    // A user's reasons; true where one says Outlook turned the add-in off, or it crashed Outlook.
    bool ReadUser(platform::Handle userRoot, RunReport& report) const;
    bool ReadResiliency(platform::Handle userRoot, const Text& outlookKey, RunReport& report) const;
    static bool ReadAlwaysEnabled(platform::Handle userRoot, const Text& outlookKey, RunReport& report);
    static void ReadLoadTimes(platform::Handle userRoot, const Text& outlookKey, RunReport& report);
    static bool IsLoggingOffByPolicy(platform::Handle userRoot);
    // Outlook's events, of the computer.
    static void AddEventReasons(const OutlookEvents& events, std::int32_t bias, RunReport& report);

    const AddinFolder& mFolder;
    RunLog* mLog;
};
