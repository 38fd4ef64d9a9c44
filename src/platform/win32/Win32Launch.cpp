#include "platform/win32/Win32Launch.h"

#include "platform/Handles.h"

#include <optional>
#include <vector>

namespace platform::win32 {
namespace {

// WOW64's redirection of the system folder, switched off for this thread
// while the object lives, where the system has the switch.
class RedirectionOff {
public:
    using Disable = SystemFunction<decltype(&::Wow64DisableWow64FsRedirection)>;
    using Revert = SystemFunction<decltype(&::Wow64RevertWow64FsRedirection)>;

    RedirectionOff(const Disable& disable, const Revert& revert) noexcept : mRevert(revert)
    {
        mOff = disable.Available() && revert.Available() && disable(&mOld) != FALSE;
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;
    ~RedirectionOff()
    {
        if (mOff) {
            mRevert(mOld);
        }
    }

private:
    const Revert& mRevert;
    PVOID mOld = nullptr;
    bool mOff = false;
};

// This program's PATH, another while the object lives: a started program
// takes its environment from the one that starts it.
class PathWhile {
public:
    using Set = SystemFunction<decltype(&::SetEnvironmentVariableA)>;

    PathWhile(Win32Launch& launch, const Set& set, const std::optional<std::string>& path) : mSet(set)
    {
        if (path) {
            mOld = launch.GetEnvironmentVariableA("PATH");
            mChanged = set("PATH", path->c_str()) != FALSE;
        }
    }
    PathWhile(const PathWhile&) = delete;
    PathWhile& operator=(const PathWhile&) = delete;
    ~PathWhile()
    {
        if (mChanged) {
            mSet("PATH", mOld ? mOld->c_str() : nullptr);
        }
    }

private:
    const Set& mSet;
    std::optional<std::string> mOld;
    bool mChanged = false;
};

} // namespace

std::optional<std::string> Win32Launch::GetEnvironmentVariableA(const std::string& name)
{
    // The value may change size between the two calls; retry until it fits.
    std::vector<char> value(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = mGetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            return mGetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::string>("");
        }
        if (length < value.size()) {
            return std::string(value.data(), length);
        }
        value.assign(length, '\0');
    }
}

std::string Win32Launch::ExpandEnvironmentStringsA(const std::string& text)
{
    // The size asked for counts the NUL; a variable may grow between the calls, so retry once.
    std::vector<char> expanded(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD size =
            mExpandEnvironmentStringsA(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (size == 0) {
            return text;
        }
        if (size <= expanded.size()) {
            return std::string(expanded.data());
        }
        expanded.assign(size, '\0');
    }
    return text;
}

Handle Win32Launch::LaunchHidden(const std::string& applicationName, const std::string& commandLine,
                                 SystemFolder systemFolder, const Place& place)
{
    std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    std::optional<RedirectionOff> native;
    if (systemFolder == SystemFolder::Native) {
        native.emplace(mWow64DisableWow64FsRedirection, mWow64RevertWow64FsRedirection);
    }
    std::optional<PathWhile> path(std::in_place, *this, mSetEnvironmentVariableA, place.path);
    const BOOL ok =
        mCreateProcessA(applicationName.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        place.currentFolder.empty() ? nullptr : place.currentFolder.c_str(), &startup, &started);
    path.reset();
    native.reset();
    if (ok == FALSE) {
        return 0;
    }
    // Only the process is watched; its thread's handle goes at once.
    const UniqueThreadHandle thread(FromHandle(started.hThread));
    return FromHandle(started.hProcess);
}

} // namespace platform::win32
