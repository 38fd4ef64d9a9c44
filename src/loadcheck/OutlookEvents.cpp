#include "loadcheck/OutlookEvents.h"

#include "common/LittleEndian.h"
#include "platform/Handles.h"
#include "platform/Platform.h"
#include "scope/OfficeKeys.h"
#include "scope/WindowsVersion.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

namespace {

constexpr std::size_t kRecordHeaderBytes = 56;
// "LfLe", every record's second number.
constexpr std::uint32_t kRecordSignature = 0x654C664C;
// Most reads fit in this; a single record may be up to 512 KiB.
constexpr std::size_t kFirstBufferBytes = std::size_t{64} * 1024;
constexpr std::size_t kMostBufferBytes = std::size_t{512} * 1024;
constexpr std::uint32_t kSecondsPerDay = 24 * 60 * 60;
// Nine digits: below 10^9, far above any time Outlook measures, and no 32-bit overflow.
constexpr std::size_t kMostDigits = 9;

// The NUL-ended text at offset within the record; none where no NUL ends it there.
std::optional<std::string> TextAt(std::span<const std::uint8_t> record, std::size_t offset)
{
    const auto end = std::find(record.begin() + static_cast<std::ptrdiff_t>(offset), record.end(), 0);
    if (end == record.end()) {
        return std::nullopt;
    }
    return std::string(record.begin() + static_cast<std::ptrdiff_t>(offset), end);
}

std::optional<EventRecord> RecordOf(std::span<const std::uint8_t> record)
{
    EventRecord parsed{.timeGenerated = LittleEndian32(record, 12),
                       .eventId = LittleEndian32(record, 20),
                       .source = {},
                       .strings = {}};
    const std::uint16_t strings = LittleEndian16(record, 26);
    std::size_t at = LittleEndian32(record, 36);
    auto source = TextAt(record, kRecordHeaderBytes);
    if (!source || at < kRecordHeaderBytes || at > record.size()) {
        return std::nullopt;
    }
    parsed.source = std::move(*source);
    for (std::uint16_t i = 0; i < strings; ++i) {
        auto text = at < record.size() ? TextAt(record, at) : std::nullopt;
        if (!text) {
            return std::nullopt;
        }
        at += text->size() + 1;
        parsed.strings.push_back(std::move(*text));
    }
    return parsed;
}

std::string AsciiLowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One line of an event's text: "Label: value", or a value alone.
struct LabelledLine {
    // cppcheck-suppress unusedStructMember ; read through the iterators that find the add-in's block
    std::string label;
    std::string_view value;
};

std::vector<LabelledLine> LinesOf(const std::string& text)
{
    std::vector<LabelledLine> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line(text.data() + start, end - start);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            lines.push_back({std::string(), Trimmed(line)});
        } else {
            lines.push_back({AsciiLowerCase(Trimmed(line.substr(0, colon))), Trimmed(line.substr(colon + 1))});
        }
        start = end + 1;
    }
    return lines;
}

// The number a value starts with; none where it starts with no digit or has too many.
std::optional<std::uint32_t> NumberOf(std::string_view value)
{
    const auto digits = std::min(value.find_first_not_of("0123456789"), value.size());
    if (digits == 0 || digits > kMostDigits) {
        return std::nullopt;
    }
    const std::string_view number = value.substr(0, digits);
    return std::accumulate(number.begin(), number.end(), std::uint32_t{0}, [](std::uint32_t sum, char digit) {
        return sum * 10 + static_cast<std::uint32_t>(digit - '0');
    });
}

// Outlook's reason in English, as its events give it ("This add-in caused Outlook to close slowly.").
std::string MomentOf(std::string_view reason)
{
    static const std::array<std::pair<const char*, const char*>, 5> kWords = {{{"start", "start"},
                                                                               {"clos", "shutdown"},
                                                                               {"shut", "shutdown"},
                                                                               {"folder", "folderSwitch"},
                                                                               {"item", "itemOpen"}}};
    const std::string lower = AsciiLowerCase(reason);
    for (const auto& [word, moment] : kWords) {
        if (lower.find(word) != std::string::npos) {
            return moment;
        }
    }
    return {};
}

} // namespace

EventRecords ParseEventRecords(std::span<const std::uint8_t> bytes)
{
    EventRecords parsed;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t left = bytes.size() - at;
        const std::size_t length = left < kRecordHeaderBytes ? 0 : LittleEndian32(bytes, at);
        if (length < kRecordHeaderBytes || length > left || LittleEndian32(bytes, at + 4) != kRecordSignature) {
            parsed.whole = false;
            break;
        }
        if (auto record = RecordOf(bytes.subspan(at, length))) {
            parsed.records.push_back(std::move(*record));
        }
        at += length;
    }
    return parsed;
}

std::optional<AddinEventEntry> AddinEntryOf(const std::vector<std::string>& strings, std::string_view progId)
{
    std::string text;
    for (const std::string& string : strings) {
        text += string + "\n";
    }
    const std::vector<LabelledLine> lines = LinesOf(text);
    const std::string ours = AsciiLowerCase(progId);
    const auto named = std::find_if(lines.begin(), lines.end(),
                                    [&](const LabelledLine& line) { return AsciiLowerCase(line.value) == ours; });
    if (named == lines.end()) {
        return std::nullopt;
    }
    AddinEventEntry entry;
    for (auto line = named + 1; line != lines.end() && (named->label.empty() || line->label != named->label); ++line) {
        if (line->label == "time taken (milliseconds)") {
            entry.takenMs = NumberOf(line->value);
        } else if (line->label == "threshold time (milliseconds)") {
            entry.thresholdMs = NumberOf(line->value);
        } else if (line->label == "boot time (milliseconds)") {
            entry.bootMs = NumberOf(line->value);
        } else if (line->label == "disable reason") {
            entry.moment = MomentOf(line->value);
        }
    }
    return entry;
}

OutlookEvents OutlookEvents::Read(std::int64_t now, RunLog* log)
{
    OutlookEvents events;
    if (!WindowsVersion::OfThisComputer().IsNtAtLeast(3)) {
        return events;
    }
    const auto tell = [&](const Text& line) {
        if (log != nullptr) {
            log->Note(line, RunLog::Severity::Warning);
        }
    };
    auto& eventLog = platform::EventLog();
    std::int32_t error = 0;
    const platform::UniqueEventLogHandle application(eventLog.OpenEventLogA("Application", error));
    if (!application) {
        tell(u"Outlook's events could not be read: the Application log did not open (error " +
             TextOfAscii(std::to_string(error)) + u")");
        return events;
    }
    const std::int64_t oldest = now - static_cast<std::int64_t>(kDaysRead) * kSecondsPerDay;
    std::vector<std::uint8_t> buffer(kFirstBufferBytes);
    for (;;) {
        std::uint32_t read = 0;
        std::uint32_t needed = 0;
        if (!eventLog.ReadEventLogA(application.Get(),
                                    platform::kEventlogSequentialRead | platform::kEventlogBackwardsRead, buffer, read,
                                    needed, error)) {
            if (error == platform::kErrorInsufficientBuffer && needed > buffer.size() && needed <= kMostBufferBytes) {
                buffer.resize(needed);
                continue;
            }
            if (error != platform::kErrorHandleEof) {
                tell(u"Outlook's events were read only in part: the Application log answered error " +
                     TextOfAscii(std::to_string(error)));
            }
            return events;
        }
        // A read of nothing that says it read would never end the loop.
        if (read == 0) {
            return events;
        }
        const EventRecords parsed =
            ParseEventRecords(std::span(buffer).first(std::min<std::size_t>(read, buffer.size())));
        if (!std::all_of(parsed.records.begin(), parsed.records.end(),
                         [&](const EventRecord& record) { return events.Take(record, oldest); })) {
            return events;
        }
        if (!parsed.whole) {
            tell(u"Outlook's events were read only in part: the Application log gave a record that is none");
            return events;
        }
    }
}

bool OutlookEvents::Take(const EventRecord& record, std::int64_t oldest)
{
    if (++mRecordsRead > kMostRecords || record.timeGenerated < oldest) {
        return false;
    }
    const std::uint32_t id = record.eventId & 0xFFFF;
    auto& newest = id == kTurnedOffForSlowness ? mTurnedOff : mLastStart;
    if ((id != kTurnedOffForSlowness && id != kLoadedAtStart) || newest || AsciiLowerCase(record.source) != "outlook") {
        return true;
    }
    if (auto entry = AddinEntryOf(record.strings, AsciiOf(kProgId))) {
        newest = Found{record.timeGenerated, std::move(*entry)};
    }
    return !(mTurnedOff && mLastStart);
}
