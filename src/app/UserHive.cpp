#include "app/UserHive.h"

#include "app/WindowsVersion.h"
#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"

#include <optional>

namespace {

constexpr std::uint32_t kVista = 6;

// The user a process runs as; none when its token cannot be read.
std::optional<platform::Sid> UserOf(platform::Handle process)
{
    platform::Handle opened = 0;
    if (!platform::Security().OpenProcessToken(process, platform::kTokenQuery, opened)) {
        return std::nullopt;
    }
    const platform::UniqueTokenHandle token(opened);
    return platform::Security().GetTokenUser(token.Get());
}

// The user of the desktop shell's process: the person at the keyboard.
std::optional<platform::Sid> SignedInUser(std::uint32_t processAccess)
{
    const platform::Handle shell = platform::Windowing().GetShellWindow();
    std::uint32_t processId = 0;
    if (shell == 0 || platform::Windowing().GetWindowThreadProcessId(shell, processId) == 0 || processId == 0) {
        return std::nullopt;
    }
    const platform::UniqueProcessHandle process(platform::Kernel().OpenProcess(processAccess, false, processId));
    return process ? UserOf(process.Get()) : std::nullopt;
}

Text NameOf(const platform::Sid& sid, const std::string& sidText)
{
    const auto account = platform::Security().LookupAccountSidA(sid);
    if (!account || account->second.empty()) {
        return FromAnsi(sidText);
    }
    return FromAnsi(account->first.empty() ? account->second : account->first + "\\" + account->second);
}

} // namespace

UserHive::UserHive()
{
    OpenSignedInUsersHive();
}

// Every step that cannot be taken leaves HKEY_CURRENT_USER: the 9x line has
// no tokens, a service or scheduled task no shell, and a hive is never loaded here.
void UserHive::OpenSignedInUsersHive()
{
    const WindowsVersion version = WindowsVersion::OfThisComputer();
    if (version.platformId != platform::kVerPlatformWin32Nt) {
        return;
    }
    const std::uint32_t access =
        version.major >= kVista ? platform::kProcessQueryLimitedInformation : platform::kProcessQueryInformation;
    const auto signedIn = SignedInUser(access);
    const auto own = UserOf(platform::kCurrentProcess);
    if (!signedIn || !own || *signedIn == *own) {
        return;
    }
    const auto sidText = platform::Security().ConvertSidToStringSidA(*signedIn);
    if (!sidText) {
        return;
    }
    platform::Handle hive = 0;
    if (platform::Registry().RegOpenKeyExA(platform::kHkeyUsers, *sidText, 0, platform::kKeyRead, hive) !=
        platform::kErrorSuccess) {
        return;
    }
    mHive.Reset(hive);
    mOtherUser = NameOf(*signedIn, *sidText);
}

platform::Handle UserHive::Root() const noexcept
{
    return mHive ? mHive.Get() : platform::kHkeyCurrentUser;
}

const Text& UserHive::OtherUser() const noexcept
{
    return mOtherUser;
}
