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

Handle Win32EventLog::OpenEventLogA(const std::string& logName, std::int32_t& lastError)
{
    const HANDLE log = mOpenEventLogA(nullptr, logName.c_str());
    lastError = log == nullptr ? static_cast<std::int32_t>(mGetLastError()) : 0;
    return FromHandle(log);
}

bool Win32EventLog::ReadEventLogA(Handle log, std::uint32_t flags, std::span<std::uint8_t> buffer, std::uint32_t& read,
                                  std::uint32_t& needed, std::int32_t& lastError)
{
    DWORD bytesRead = 0;
    DWORD bytesNeeded = 0;
    const bool ok = mReadEventLogA(reinterpret_cast<HANDLE>(log), flags, 0, buffer.data(),
                                   static_cast<DWORD>(buffer.size()), &bytesRead, &bytesNeeded) != FALSE;
    lastError = ok ? 0 : static_cast<std::int32_t>(mGetLastError());
    read = bytesRead;
    needed = bytesNeeded;
    return ok;
}

bool Win32EventLog::CloseEventLog(Handle log)
{
    return mCloseEventLog(reinterpret_cast<HANDLE>(log)) != FALSE;
}

} // namespace platform::win32
