#pragma once

#include "platform/Handle.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

// An event's type, as ReportEvent takes it.
inline constexpr std::uint16_t kEventlogErrorType = 0x0001;
inline constexpr std::uint16_t kEventlogWarningType = 0x0002;
inline constexpr std::uint16_t kEventlogInformationType = 0x0004;
// How ReadEventLog reads: record after record, the newest first.
inline constexpr std::uint32_t kEventlogSequentialRead = 0x0001;
inline constexpr std::uint32_t kEventlogBackwardsRead = 0x0008;
// ReadEventLog's answers where it reads nothing: past the oldest record, and a buffer too small for the next.
inline constexpr std::int32_t kErrorHandleEof = 38;
inline constexpr std::int32_t kErrorInsufficientBuffer = 122;

// advapi32: the NT line's event log: its Application log written by a
// source's name, and a log read record by record.
class EventLogServices {
public:
    virtual ~EventLogServices() = default;

    // 0 where the source cannot be opened; the last error then says why.
    virtual Handle RegisterEventSourceA(const std::string& source) = 0;
    // One event, its insertion strings in the code page.
    virtual bool ReportEventA(Handle log, std::uint16_t type, std::uint32_t eventId,
                              const std::vector<std::string>& strings) = 0;
    virtual bool DeregisterEventSource(Handle log) = 0;

    // The log of that name on this computer; 0 where it cannot be opened, lastError saying why.
    virtual Handle OpenEventLogA(const std::string& logName, std::int32_t& lastError) = 0;
    // As many whole EVENTLOGRECORDs as fit in buffer, read says how many
    // bytes; false where none was read, lastError saying why (needed the
    // bytes of the next record, where the buffer is too small for it).
    virtual bool ReadEventLogA(Handle log, std::uint32_t flags, std::span<std::uint8_t> buffer, std::uint32_t& read,
                               std::uint32_t& needed, std::int32_t& lastError) = 0;
    virtual bool CloseEventLog(Handle log) = 0;
};

} // namespace platform
