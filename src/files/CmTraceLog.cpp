#include "files/CmTraceLog.h"

#include "platform/AnsiText.h"
#include "platform/Handles.h"
#include "platform/SystemCodes.h"

#include <algorithm>

namespace {

// How long a program waits for another's append; past it, it writes anyway.
constexpr std::uint32_t kLockMilliseconds = 2000;
constexpr std::uint32_t kWaitAbandoned = 0x80;

// The log's mutex, held while it lives. Where it cannot be had (another
// account's, which this one may not open), the appends go on without it.
class LogLock {
public:
    explicit LogLock(const std::string& name)
    {
        auto& kernel = platform::Kernel();
        std::int32_t lastError = 0;
        mMutex.Reset(kernel.CreateMutexA(name, lastError));
        const std::uint32_t waited =
            mMutex ? kernel.WaitForMultipleObjects({mMutex.Get()}, kLockMilliseconds) : platform::kWaitTimeout;
        mHeld = waited == platform::kWaitObject0 || waited == kWaitAbandoned;
    }
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;
    ~LogLock()
    {
        if (mHeld) {
            platform::Kernel().ReleaseMutex(mMutex.Get());
        }
    }

private:
    platform::UniqueMutexHandle mMutex;
    bool mHeld = false;
};

} // namespace

CmTraceLog::CmTraceLog(std::string path, std::string component, std::string lockName, bool appendAtEnd)
    : mPath(std::move(path)), mComponent(std::move(component)), mLockName(std::move(lockName)),
      mAppendAtEnd(appendAtEnd)
{
}

std::string CmTraceLog::Entry(const Text& text, const std::string& component, Type type,
                              const platform::SystemTime& time, std::int32_t bias, std::uint32_t thread)
{
    // One entry a line: a line break inside the text would start a false one.
    Text flat = text;
    std::replace_if(
        flat.begin(), flat.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
    const std::string stamp = R"(time=")" + PaddedNumber(time.wHour, 2) + ":" + PaddedNumber(time.wMinute, 2) + ":" +
                              PaddedNumber(time.wSecond, 2) + "." + PaddedNumber(time.wMilliseconds, 3) +
                              (bias < 0 ? "-" : "+") + std::to_string(bias < 0 ? -bias : bias) + R"(" date=")" +
                              PaddedNumber(time.wMonth, 2) + "-" + PaddedNumber(time.wDay, 2) + "-" +
                              PaddedNumber(time.wYear, 4) + "\"";
    return "<![LOG[" + ToAnsi(flat) + "]LOG]!><" + stamp + R"( component=")" + component + R"(" context="" type=")" +
           std::to_string(static_cast<int>(type)) + R"(" thread=")" + std::to_string(thread) + R"(" file="">)";
}

bool CmTraceLog::Write(const Text& text, Type type) const
{
    auto& kernel = platform::Kernel();
    const std::string line =
        Entry(text, mComponent, type, kernel.GetLocalTime(), kernel.GetTimeZoneBias(), kernel.GetCurrentThreadId()) +
        "\r\n";
    const LogLock lock(mLockName);
    return Append(line);
}

bool CmTraceLog::Append(const std::string& line) const
{
    auto& kernel = platform::Kernel();
    const std::uint32_t access =
        mAppendAtEnd ? platform::kFileAppendData | platform::kSynchronize : platform::kGenericWrite;
    platform::UniqueFileHandle file(
        kernel.CreateFileA(mPath, access, platform::kFileShareReadWrite, platform::kOpenAlways));
    if (file && kernel.GetFileSize(file.Get()).value_or(0) >= kMostBytes) {
        // A viewer that holds the full file open keeps it from turning: the entry goes on at its end.
        file.Reset();
        const std::string older = mPath.substr(0, mPath.size() - 1) + "_";
        kernel.DeleteFileA(older);
        kernel.MoveFileA(mPath, older);
        file.Reset(kernel.CreateFileA(mPath, access, platform::kFileShareReadWrite, platform::kOpenAlways));
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
