#include "scope/UserHives.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/WindowsVersion.h"

#include <optional>

namespace {

constexpr std::uint32_t kVista = 6;
const std::string kLocalSystem = "S-1-5-18";

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
    const platform::Handle shell = platform::Desktop().GetShellWindow();
    std::uint32_t processId = 0;
    if (shell == 0 || platform::Desktop().GetWindowThreadProcessId(shell, processId) == 0 || processId == 0) {
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

// A person's hive: a local or domain account's, or a Microsoft Entra
// account's; never a service's, nor the "_Classes" hive beside each.
bool IsPersonsHive(const std::string& name)
{
    return (name.starts_with("S-1-5-21-") || name.starts_with("S-1-12-1-")) && !name.ends_with("_Classes");
}

} // namespace

UserHives UserHives::OfSignedInUser()
{
    UserHives hives;
    hives.OpenSignedInUsersHive();
    return hives;
}

Text UserHives::OwnAccount()
{
    const auto own = WindowsVersion::OfThisComputer().platformId == platform::kVerPlatformWin32Nt
                         ? UserOf(platform::kCurrentProcess)
                         : std::nullopt;
    return own ? NameOf(*own, platform::Security().ConvertSidToStringSidA(*own).value_or("")) : Text();
}

UserHives UserHives::OfEveryLoadedUserAsSystem()
{
    const auto own = WindowsVersion::OfThisComputer().IsNtAtLeast(5) ? UserOf(platform::kCurrentProcess) : std::nullopt;
    const auto ownText = own ? platform::Security().ConvertSidToStringSidA(*own) : std::nullopt;
    if (ownText != kLocalSystem) {
        return OfSignedInUser();
    }
    UserHives hives;
    hives.mEveryLoadedUser = true;
    hives.OpenEveryLoadedHive();
    return hives;
}

// Every step that cannot be taken leaves HKEY_CURRENT_USER: the 9x line has
// no tokens, a service or scheduled task no shell, and a hive is never loaded here.
void UserHives::OpenSignedInUsersHive()
{
    const WindowsVersion version = WindowsVersion::OfThisComputer();
    mUsers.push_back({platform::kHkeyCurrentUser, Text(), Text()});
    if (version.platformId != platform::kVerPlatformWin32Nt) {
        return;
    }
    const std::uint32_t access =
        version.major >= kVista ? platform::kProcessQueryLimitedInformation : platform::kProcessQueryInformation;
    const auto signedIn = SignedInUser(access);
    const auto own = UserOf(platform::kCurrentProcess);
    mUsers.front().account = OwnAccount();
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
    mUsers.clear();
    Keep(hive, *signedIn, *sidText);
}

// Each hive is opened, never loaded: a user who is not signed in has
// settings of no Outlook that runs now. One that cannot be opened is named.
void UserHives::OpenEveryLoadedHive()
{
    CRegistry users;
    users.DefaultKey(Text());
    std::vector<Text> names;
    if (users.OpenExistingKey(Text(), platform::kHkeyUsers, platform::kKeyRead) == platform::kErrorSuccess) {
        users.SubkeyNames(names);
    }
    for (const Text& name : names) {
        const std::string sidText = ToAnsi(name);
        if (!IsPersonsHive(sidText)) {
            continue;
        }
        platform::Handle hive = 0;
        if (platform::Registry().RegOpenKeyExA(platform::kHkeyUsers, sidText, 0, platform::kKeyRead, hive) !=
            platform::kErrorSuccess) {
            mUnopened.push_back(name);
            continue;
        }
        Keep(hive, platform::Security().ConvertStringSidToSidA(sidText).value_or(platform::Sid()), sidText);
    }
}

void UserHives::Keep(platform::Handle hive, const platform::Sid& sid, const std::string& sidText)
{
    mHives.emplace_back(hive);
    const Text name = sid.empty() ? FromAnsi(sidText) : NameOf(sid, sidText);
    mUsers.push_back({hive, name, name});
}
