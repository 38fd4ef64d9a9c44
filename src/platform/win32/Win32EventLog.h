#pragma once

#include "platform/EventLogServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

// Looked up at the first call, as every call is: the 9x line's advapi32 has
// only stubs of them, and the tool never calls them there.
class Win32EventLog final : public EventLogServices {
public:
    explicit Win32EventLog(SystemLibraries& libraries) noexcept
        : mAdvapi32(libraries.advapi32), mKernel32(libraries.kernel32)
    {
    }
    Handle RegisterEventSourceA(const std::string& source) override;
    bool ReportEventA(Handle log, std::uint16_t type, std::uint32_t eventId,
                      const std::vector<std::string>& strings) override;
    bool DeregisterEventSource(Handle log) override;
    Handle OpenEventLogA(const std::string& logName, std::int32_t& lastError) override;
    bool ReadEventLogA(Handle log, std::uint32_t flags, std::span<std::uint8_t> buffer, std::uint32_t& read,
                       std::uint32_t& needed, std::int32_t& lastError) override;
    bool CloseEventLog(Handle log) override;

private:
    SystemLibrary& mAdvapi32;
    SystemLibrary& mKernel32;
    SYSTEM_FUNCTION(mAdvapi32, RegisterEventSourceA);
    SYSTEM_FUNCTION(mAdvapi32, ReportEventA);
    SYSTEM_FUNCTION(mAdvapi32, DeregisterEventSource);
    SYSTEM_FUNCTION(mAdvapi32, OpenEventLogA);
    SYSTEM_FUNCTION(mAdvapi32, ReadEventLogA);
    SYSTEM_FUNCTION(mAdvapi32, CloseEventLog);
    SYSTEM_FUNCTION(mKernel32, GetLastError);
};

} // namespace platform::win32
