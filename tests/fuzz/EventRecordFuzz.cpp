// Fuzzes the reader of the event log's records: arbitrary bytes, as one
// read would give them, parse or stop without reading past their end; each
// record parsed, laid out again as the system lays records out, reads back
// the same; and the add-in's entry is looked for in every record's strings.
#include "fakes/FakeEventLog.h"
#include "loadcheck/OutlookEvents.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    // Exactly the input's size, so that the sanitizer sees any read past it.
    const std::vector<std::uint8_t> data(bytes, bytes + size);
    const EventRecords parsed = ParseEventRecords(data);
    for (const EventRecord& record : parsed.records) {
        const auto again = ParseEventRecords(
            fakes::EventRecordBytes(record.timeGenerated, record.eventId, record.source, record.strings));
        if (!again.whole || again.records.size() != 1 || again.records[0].source != record.source ||
            again.records[0].strings != record.strings || again.records[0].eventId != record.eventId ||
            again.records[0].timeGenerated != record.timeGenerated) {
            std::abort();
        }
        if (const auto entry = AddinEntryOf(record.strings, "KestrinSoftware.Connect");
            entry && entry->takenMs.value_or(0) >= 1000000000U) {
            std::abort();
        }
    }
    return 0;
}
