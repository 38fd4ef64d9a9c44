#include "process/CProcessList.h"

#include "platform/AnsiText.h"
#include "platform/Handles.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr auto kPlatform9x = static_cast<std::int32_t>(platform::kVerPlatformWin32Windows);
constexpr auto kPlatformNT = static_cast<std::int32_t>(platform::kVerPlatformWin32Nt);
constexpr std::uint32_t kModuleBufferBytes = 200;
constexpr std::uint32_t kModuleFileNameChars = 260;
// Long enough for any path the NT line can give back.
constexpr std::uint32_t kImagePathChars = 32768;

Text AfterLastBackslash(const Text& text)
{
    const auto position = text.rfind(u'\\');
    return position == Text::npos ? text : text.substr(position + 1);
}

} // namespace

Long CProcessList::ProcessCount() const noexcept
{
    return mMatchCount;
}

Boolean CProcessList::IsProcessRunning(const Text& processExeName)
{
    const Text sought = AfterLastBackslash(LowerCase(processExeName));

    mProcessNames = Collection<Text>();
    mProcessIds = Collection<std::int32_t>();

    const std::int32_t platformId = GetVersion();
    if (platformId == kPlatform9x) {
        ListProcesses9x(mProcessNames);
    } else if (platformId == kPlatformNT) {
        ListProcessesNT(mProcessNames);
    }

    mMatchIndex = 0;
    mMatchCount = 0;
    Boolean result = False;
    for (Long i = 1; i <= mProcessNames.Count(); ++i) {
        if (LowerCase(AfterLastBackslash(mProcessNames.Item(i))) == sought) {
            result = True;
            mMatchIndex = i;
            ++mMatchCount;
        }
    }
    return result;
}

Boolean CProcessList::ForceProcessTermination(const Text& processExeName)
{
    Boolean result = False;
    mCollectIds = True;
    try {
        if (IsProcessRunning(processExeName)) {
            const auto processId = static_cast<std::uint32_t>(mProcessIds.Item(mMatchIndex));
            const platform::UniqueProcessHandle process(
                platform::Kernel().OpenProcess(platform::kProcessAllAccess, false, processId));
            if (process) {
                result = Boolean(platform::Kernel().TerminateProcess(process.Get(), 0xFFFFFFFF));
            }
        }
    } catch (...) {
        // Termination is best effort: whatever run-time error came, the answer is the result so far.
        RuntimeError::IgnoreCaughtException();
    }
    mCollectIds = False;
    return result;
}

Long CProcessList::GetVersion()
{
    platform::OsVersionInfoA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    std::memset(info.szCSDVersion, ' ', sizeof(info.szCSDVersion));
    platform::Kernel().GetVersionExA(info);

    const auto platformId = static_cast<std::int32_t>(info.dwPlatformId);
    const auto major = static_cast<std::int32_t>(info.dwMajorVersion);
    const auto minor = static_cast<std::int32_t>(info.dwMinorVersion);

    mVersionKnown = True;
    mIsWin98 = False;
    mIsWin2000 = False;
    if (platformId == kPlatform9x && major > 3 && minor > 0) {
        mIsWin98 = True;
    } else if (platformId == kPlatformNT && major == 5 && minor > 0) {
        mIsWin2000 = True;
    }
    return platformId;
}

Boolean CProcessList::IsWin98()
{
    if (!mVersionKnown) {
        GetVersion();
    }
    return mIsWin98;
}

Boolean CProcessList::IsWin2000()
{
    if (!mVersionKnown) {
        GetVersion();
    }
    return mIsWin2000;
}

Long CProcessList::ListProcessesNT(Collection<Text>& names)
{
    for (std::int32_t i = names.Count(); i >= 1; --i) {
        names.Remove(i);
    }

    Long bufferBytes = 8;
    std::uint32_t bytesNeeded = 96;
    std::vector<std::uint32_t> processIds;
    while (static_cast<std::uint32_t>(bufferBytes.Value()) <= bytesNeeded) {
        bufferBytes *= 2;
        processIds.assign(static_cast<std::size_t>(bufferBytes.Value()) / 4, 0);
        platform::ProcessStatus().EnumProcesses(processIds.data(), static_cast<std::uint32_t>(bufferBytes.Value()),
                                                bytesNeeded);
    }
    // The count never reaches past the buffer, whatever the call claims it needed.
    const std::size_t idCount = std::min<std::size_t>(bytesNeeded / 4, processIds.size());

    Integer count = 0;
    for (std::size_t i = 0; i < idCount; ++i) {
        const std::uint32_t processId = processIds[i];
        const platform::UniqueProcessHandle process(
            platform::Kernel().OpenProcess(platform::kProcessQueryAndRead, false, processId));
        if (!process) {
            continue;
        }
        std::optional<Text> name;
        std::array<platform::Handle, kModuleBufferBytes> modules{};
        std::uint32_t modulesNeeded = 0;
        if (platform::ProcessStatus().EnumProcessModules(process.Get(), modules.data(), kModuleBufferBytes,
                                                         modulesNeeded)) {
            std::array<char, kModuleFileNameChars> fileName;
            fileName.fill(' ');
            const std::uint32_t copied = platform::ProcessStatus().GetModuleFileNameExA(
                process.Get(), modules[0], fileName.data(), kModuleFileNameChars);
            name = FromAnsi(std::string_view(fileName.data(), std::min(copied, kModuleFileNameChars)));
        } else if (platform::Kernel().HasQueryFullProcessImageNameA()) {
            // A 64-bit process hides its modules from a 32-bit caller; its image path still names it.
            std::vector<char> imagePath(kImagePathChars, '\0');
            std::uint32_t size = kImagePathChars;
            if (platform::Kernel().QueryFullProcessImageNameA(process.Get(), 0, imagePath.data(), size)) {
                name = FromAnsi(std::string_view(imagePath.data(), std::min(size, kImagePathChars)));
            }
        }
        if (name) {
            names.Add(LowerCase(*name));
            if (mCollectIds) {
                mProcessIds.Add(static_cast<std::int32_t>(processId));
            }
            ++count;
        }
    }
    return count.Value();
}

std::string_view CProcessList::TrimNull(std::string_view text)
{
    return BeforeFirstNul(text);
}

Long CProcessList::ListProcesses9x(Collection<Text>& names)
{
    const platform::UniqueSnapshotHandle snapshot(
        platform::Kernel().CreateToolhelp32Snapshot(platform::kTh32csSnapProcess, 0));
    if (!snapshot) {
        return 0;
    }

    Integer count = 0;
    platform::ProcessEntry32A entry{};
    entry.dwSize = sizeof(entry);
    bool more = platform::Kernel().Process32First(snapshot.Get(), entry);
    while (more) {
        // Trimmed before conversion: no code page has a NUL inside a character.
        names.Add(FromAnsi(TrimNull(std::string_view(entry.szExeFile, sizeof(entry.szExeFile)))));
        if (mCollectIds) {
            mProcessIds.Add(static_cast<std::int32_t>(entry.th32ProcessID));
        }
        ++count;
        more = platform::Kernel().Process32Next(snapshot.Get(), entry);
    }
    return count.Value();
}
