#pragma once

#include "platform/Handle.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// An event's type, as ReportEvent takes it.
inline constexpr std::uint16_t kEventlogErrorType = 0x0001;
inline constexpr std::uint16_t kEventlogWarningType = 0x0002;
inline constexpr std::uint16_t kEventlogInformationType = 0x0004;

// advapi32: the NT line's event log, its Application log by a source's name.
class EventLogServices {
public:
    virtual ~EventLogServices() = default;

    // 0 where the source cannot be opened; the last error then says why.
    virtual Handle RegisterEventSourceA(const std::string& source) = 0;
    // One event, its insertion strings in the code page.
    virtual bool ReportEventA(Handle log, std::uint16_t type, std::uint32_t eventId,
                              const std::vector<std::string>& strings) = 0;
    virtual bool DeregisterEventSource(Handle log) = 0;
};

} // namespace platform
