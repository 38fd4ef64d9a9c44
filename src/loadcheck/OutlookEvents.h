#pragma once

#include "scope/RunLog.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One record of an event log as ReadEventLogA lays it out: the fixed
// EVENTLOGRECORD header, the source's name and the insertion strings, in
// the code page.
struct EventRecord {
    std::uint32_t timeGenerated;
    std::uint32_t eventId;
    std::string source;
    std::vector<std::string> strings;
};

// The records of one read, in their order; whole false where the bytes end
// in the middle of a record or one is not a record at all (what follows
// cannot be found then). A record whose strings run past its end is left out.
struct EventRecords {
    std::vector<EventRecord> records;
    bool whole = true;
};
EventRecords ParseEventRecords(std::span<const std::uint8_t> bytes);

// What one of Outlook's events says of the add-in: the numbers after its
// labels, in any case, in the block that names the ProgID. Outlook lists
// several add-ins in one event, each block beginning with the label the
// ProgID stands after; a label in another language is not read, and the
// event still names the add-in. How Outlook splits its text into insertion
// strings is not published: they are read as one text, a line each.
struct AddinEventEntry {
    std::optional<std::uint32_t> takenMs;
    std::optional<std::uint32_t> thresholdMs;
    std::optional<std::uint32_t> bootMs;
    // "start", "shutdown", "folderSwitch" or "itemOpen" where the reason's English words say it.
    std::string moment;
};
std::optional<AddinEventEntry> AddinEntryOf(const std::vector<std::string>& strings, std::string_view progId);

// Outlook's own events in the Application log about the add-in: the newest
// event 59 (it turned the add-in off for being slow) and the newest event 45
// (what its start took), of the last 30 days and at most kMostRecords
// records, read the newest first. Any user may write an event under
// Outlook's name, and the log wraps: what is found is evidence, and what is
// not found says nothing.
class OutlookEvents {
public:
    static constexpr std::uint32_t kTurnedOffForSlowness = 59;
    static constexpr std::uint32_t kLoadedAtStart = 45;
    static constexpr std::uint32_t kDaysRead = 30;
    static constexpr std::size_t kMostRecords = 20000;

    struct Found {
        // Seconds since 1970-01-01 UTC, as the record has it.
        std::uint32_t timeGenerated;
        AddinEventEntry entry;
    };

    // now: seconds since 1970-01-01 UTC. On the 9x line, which has no event
    // log, nothing is read. What keeps the log from being read to its end
    // is a line of the run's log, where there is one.
    static OutlookEvents Read(std::int64_t now, RunLog* log);

    const std::optional<Found>& TurnedOff() const noexcept { return mTurnedOff; }
    const std::optional<Found>& LastStart() const noexcept { return mLastStart; }

private:
    // False once the records read reach past what is read.
    bool Take(const EventRecord& record, std::int64_t oldest);

    std::optional<Found> mTurnedOff;
    std::optional<Found> mLastStart;
    std::size_t mRecordsRead = 0;
};
