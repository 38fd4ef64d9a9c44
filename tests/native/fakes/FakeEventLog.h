#pragma once

#include "platform/EventLogServices.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace fakes {

// An EVENTLOGRECORD as the system lays it out: the header, the source's and
// the computer's names, the insertion strings, each ended by a NUL, and
// the length again, the parts padded to four bytes.
inline std::vector<std::uint8_t> EventRecordBytes(std::uint32_t timeGenerated, std::uint32_t eventId,
                                                  const std::string& source, const std::vector<std::string>& strings)
{
    std::vector<std::uint8_t> record(56);
    const auto put = [&](std::size_t at, std::uint32_t n, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            record[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
        }
    };
    const auto append = [&](const std::string& text) { record.insert(record.end(), text.begin(), text.end() + 1); };
    const auto pad = [&] { record.resize((record.size() + 3) / 4 * 4); };
    append(source);
    append("PC");
    pad();
    const auto stringOffset = static_cast<std::uint32_t>(record.size());
    for (const std::string& text : strings) {
        append(text);
    }
    pad();
    record.resize(record.size() + 4);
    const auto length = static_cast<std::uint32_t>(record.size());
    put(0, length, 4);
    put(4, 0x654C664C, 4);
    put(12, timeGenerated, 4);
    put(16, timeGenerated, 4);
    put(20, eventId, 4);
    put(24, eventId == 59 ? 2 : 4, 2);
    put(26, static_cast<std::uint32_t>(strings.size()), 2);
    put(36, stringOffset, 4);
    put(length - 4, length, 4);
    return record;
}

// The Application log in memory: the events reported, by the source they
// were reported through; and the records a reader reads, as whole
// EVENTLOGRECORDs, the newest first.
class FakeEventLog : public platform::EventLogServices {
public:
    struct Event {
        std::string source;
        std::uint16_t type;
        std::uint32_t id;
        std::vector<std::string> strings;
    };

    // Failures to inject.
    bool registrationFails = false;
    bool reportFails = false;

    std::vector<Event> events;
    int openSources = 0;

    // What a reader of the Application log reads, the newest first.
    std::vector<std::vector<std::uint8_t>> records;
    // Failures to inject: the log cannot be opened; a read after that many records answers this error.
    std::int32_t openError = 0;
    std::size_t readsEndAfter = SIZE_MAX;
    std::int32_t readsEndWith = 0;
    // A read that succeeds with no bytes, which no system should answer.
    bool readsNothing = false;
    int openLogs = 0;
    std::vector<std::string> logsOpened;

    platform::Handle RegisterEventSourceA(const std::string& source) override
    {
        if (registrationFails) {
            return 0;
        }
        mSources.push_back(source);
        ++openSources;
        return static_cast<platform::Handle>(mSources.size());
    }
    bool ReportEventA(platform::Handle log, std::uint16_t type, std::uint32_t eventId,
                      const std::vector<std::string>& strings) override
    {
        if (reportFails || log == 0 || log > mSources.size()) {
            return false;
        }
        events.push_back({mSources[log - 1], type, eventId, strings});
        return true;
    }
    bool DeregisterEventSource(platform::Handle log) override
    {
        --openSources;
        return log != 0;
    }

    platform::Handle OpenEventLogA(const std::string& logName, std::int32_t& lastError) override
    {
        logsOpened.push_back(logName);
        lastError = openError;
        if (openError != 0) {
            return 0;
        }
        ++openLogs;
        mNext = 0;
        return kLog;
    }
    // As the system reads backwards: whole records while they fit, ERROR_HANDLE_EOF (38) past the last
    // and ERROR_INSUFFICIENT_BUFFER (122) for a record larger than the buffer, by the system's own numbers.
    bool ReadEventLogA(platform::Handle log, std::uint32_t flags, std::span<std::uint8_t> buffer, std::uint32_t& read,
                       std::uint32_t& needed, std::int32_t& lastError) override
    {
        read = needed = 0;
        lastError = 0;
        if (log != kLog || flags != (platform::kEventlogSequentialRead | platform::kEventlogBackwardsRead)) {
            lastError = 87;
            return false;
        }
        if (readsNothing) {
            return true;
        }
        if (mNext >= readsEndAfter && readsEndWith != 0) {
            lastError = readsEndWith;
            return false;
        }
        if (mNext >= std::min(records.size(), readsEndAfter)) {
            lastError = 38;
            return false;
        }
        if (records[mNext].size() > buffer.size()) {
            needed = static_cast<std::uint32_t>(records[mNext].size());
            lastError = 122;
            return false;
        }
        while (mNext < std::min(records.size(), readsEndAfter) && read + records[mNext].size() <= buffer.size()) {
            std::memcpy(buffer.data() + read, records[mNext].data(), records[mNext].size());
            read += static_cast<std::uint32_t>(records[mNext].size());
            ++mNext;
        }
        return true;
    }
    bool CloseEventLog(platform::Handle log) override
    {
        --openLogs;
        return log == kLog;
    }

private:
    static constexpr platform::Handle kLog = 0x4C6F67;
    std::vector<std::string> mSources;
    std::size_t mNext = 0;
};

} // namespace fakes
