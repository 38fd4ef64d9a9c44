#include "files/CmTraceLog.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"

#include <algorithm>
#include <string_view>

namespace {

// How long a program waits for another's append; past it, it writes anyway.
constexpr std::uint32_t kLockMilliseconds = 2000;
constexpr std::uint32_t kWaitAbandoned = 0x80;

// A run of "<![LOG[" or "]LOG]!>" inside a text would end its entry and begin a made-up one.
Text WithinItsEntry(const Text& text)
{
    Text flat = text;
    std::replace_if(
        flat.begin(), flat.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; }, u' ');
    for (const std::u16string_view marker : {std::u16string_view(u"<![LOG["), std::u16string_view(u"]LOG]!>")}) {
        for (std::size_t at = LowerCase(flat).find(LowerCase(marker)); at != Text::npos;
             at = LowerCase(flat).find(LowerCase(marker), at)) {
            // "<!" and "!>" are what a viewer looks for beside the brackets.
            flat.insert(marker.front() == u'<' ? at + 2 : at + 5, u" ");
        }
    }
    return flat;
}

} // namespace

CmTraceLog::CmTraceLog(const RecordFolder& folder, std::string name, std::string component, const std::string& lockName,
                       bool appendAtEnd)
    : mFolder(folder), mName(std::move(name)), mComponent(std::move(component)), mAppendAtEnd(appendAtEnd)
{
    const RunRights& rights = folder.Rights();
    if (rights.HasSecurity() && rights.IsAdministrator()) {
        mProtected.emplace(rights, lockName);
        return;
    }
    std::int32_t lastError = 0;
    mPlain.Reset(
        platform::Kernel().CreateMutexA(rights.IsNtAtLeast(5) ? "Global\\" + lockName : lockName, nullptr, lastError));
}

std::string CmTraceLog::Entry(const Text& text, const std::string& component, Type type,
                              const platform::SystemTime& time, std::int32_t bias, std::uint32_t thread)
{
    const std::string stamp = R"(time=")" + PaddedNumber(time.wHour, 2) + ":" + PaddedNumber(time.wMinute, 2) + ":" +
                              PaddedNumber(time.wSecond, 2) + "." + PaddedNumber(time.wMilliseconds, 3) +
                              (bias < 0 ? "-" : "+") + std::to_string(bias < 0 ? -bias : bias) + R"(" date=")" +
                              PaddedNumber(time.wMonth, 2) + "-" + PaddedNumber(time.wDay, 2) + "-" +
                              PaddedNumber(time.wYear, 4) + "\"";
    return "<![LOG[" + ToAnsi(WithinItsEntry(text)) + "]LOG]!><" + stamp + R"( component=")" + component +
           R"(" context="" type=")" + std::to_string(static_cast<int>(type)) + R"(" thread=")" +
           std::to_string(thread) + R"(" file="">)";
}

bool CmTraceLog::Lock()
{
    const platform::Handle mutex = mProtected ? mProtected->Get() : mPlain.Get();
    if (mutex == 0 || mGaveUpWaiting) {
        return false;
    }
    const std::uint32_t waited = platform::Kernel().WaitForMultipleObjects({mutex}, kLockMilliseconds);
    mGaveUpWaiting = waited == platform::kWaitTimeout;
    return waited == platform::kWaitObject0 || waited == kWaitAbandoned;
}

bool CmTraceLog::Write(const Text& text, Type type)
{
    auto& kernel = platform::Kernel();
    const std::string line =
        Entry(text, mComponent, type, kernel.GetLocalTime(), kernel.GetTimeZoneBias(), kernel.GetCurrentThreadId()) +
        "\r\n";
    const bool locked = Lock();
    const bool written = Append(line);
    if (locked) {
        kernel.ReleaseMutex(mProtected ? mProtected->Get() : mPlain.Get());
    }
    return written;
}

bool CmTraceLog::Append(const std::string& line) const
{
    auto& kernel = platform::Kernel();
    const std::uint32_t access =
        mAppendAtEnd ? platform::kFileAppendData | platform::kSynchronize : platform::kGenericWrite;
    platform::UniqueFileHandle file(mFolder.Open(mName, access, platform::kFileShareReadWrite, platform::kOpenAlways));
    if (file && kernel.GetFileSize(file.Get()).value_or(0) >= kMostBytes) {
        // A viewer that holds the full file open keeps it from turning: the entry goes on at its end.
        file.Reset();
        mFolder.Replace(mName, mName.substr(0, mName.size() - 1) + "_");
        file = mFolder.Open(mName, access, platform::kFileShareReadWrite, platform::kOpenAlways);
    }
    if (!file || (!mAppendAtEnd &&
                  kernel.SetFilePointer(file.Get(), 0, platform::kFileEnd) == platform::kInvalidSetFilePointer)) {
        return false;
    }
    std::uint32_t written = 0;
    return kernel.WriteFile(file.Get(), reinterpret_cast<const std::uint8_t*>(line.data()),
                            static_cast<std::uint32_t>(line.size()), written) &&
           written == line.size();
}
