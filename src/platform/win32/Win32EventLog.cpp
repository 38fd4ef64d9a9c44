#include "platform/win32/Win32EventLog.h"

#include <algorithm>

namespace platform::win32 {

Handle Win32EventLog::RegisterEventSourceA(const std::string& source)
{
    return FromHandle(mRegisterEventSourceA(nullptr, source.c_str()));
}

bool Win32EventLog::ReportEventA(Handle log, std::uint16_t type, std::uint32_t eventId,
                                 const std::vector<std::string>& strings)
{
    std::vector<LPCSTR> texts(strings.size());
    std::transform(strings.begin(), strings.end(), texts.begin(), [](const std::string& text) { return text.c_str(); });
    return mReportEventA(reinterpret_cast<HANDLE>(log), type, 0, eventId, nullptr, static_cast<WORD>(texts.size()), 0,
                         texts.data(), nullptr) != FALSE;
}

bool Win32EventLog::DeregisterEventSource(Handle log)
{
    return mDeregisterEventSource(reinterpret_cast<HANDLE>(log)) != FALSE;
}

} // namespace platform::win32
