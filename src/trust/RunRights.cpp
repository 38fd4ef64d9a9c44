#include "trust/RunRights.h"

#include "platform/AnsiText.h"
#include "platform/Handles.h"
#include "platform/SystemCodes.h"
#include "trust/WellKnownSids.h"

#include <algorithm>

namespace {

std::optional<std::string> TextOf(const std::optional<platform::Sid>& sid)
{
    return sid ? platform::Security().ConvertSidToStringSidA(*sid) : std::nullopt;
}

bool IsInEffect(const platform::TokenGroup& group)
{
    return (group.attributes & platform::kSeGroupEnabled) != 0 &&
           (group.attributes & platform::kSeGroupUseForDenyOnly) == 0;
}

} // namespace

RunRights RunRights::OfThisProcess()
{
    platform::OsVersionInfoA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    platform::Kernel().GetVersionExA(version);
    RunRights rights;
    rights.mHasSecurity = version.dwPlatformId == platform::kVerPlatformWin32Nt;
    rights.mMajorVersion = version.dwMajorVersion;
    if (!rights.mHasSecurity) {
        return rights;
    }
    rights.mIsAdministrator = true;
    auto& security = platform::Security();
    platform::Handle opened = 0;
    if (!security.OpenProcessToken(platform::kCurrentProcess, platform::kTokenQuery, opened)) {
        return rights;
    }
    const platform::UniqueTokenHandle token(opened);
    const auto user = TextOf(security.GetTokenUser(token.Get()));
    const auto groups = security.GetTokenGroups(token.Get());
    if (!user || !groups) {
        return rights;
    }
    rights.mIsAdministrator =
        *user == kSystemSid || std::any_of(groups->begin(), groups->end(), [&](const auto& group) {
            return IsInEffect(group) && TextOf(group.sid) == kAdministratorsSid;
        });
    if (rights.mIsAdministrator) {
        rights.mOwnSids.push_back(*user);
        if (const auto owner = TextOf(security.GetTokenOwner(token.Get()))) {
            rights.mOwnSids.push_back(*owner);
        }
    }
    return rights;
}

bool RunRights::Trusts(const std::string& sid) const
{
    return sid == kSystemSid || sid == kAdministratorsSid || sid == kTrustedInstallerSid ||
           std::find(mOwnSids.begin(), mOwnSids.end(), sid) != mOwnSids.end();
}

// The stand-ins for whoever makes or owns the object give no one else a right.
bool RunRights::TrustsWriter(const std::string& sid) const
{
    return Trusts(sid) || sid == kCreatorOwnerSid || sid == kCreatorGroupSid || sid == kOwnerRightsSid;
}

std::optional<Text> RunRights::Distrust(const SecurityDescriptor& descriptor, std::uint32_t rights) const
{
    if (!descriptor.Owner() || !Trusts(*descriptor.Owner())) {
        return descriptor.Owner() ? u"it is owned by " + NameOf(*descriptor.Owner()) : Text(u"it has no owner");
    }
    if (!descriptor.HasDacl()) {
        return Text(u"anyone may change it");
    }
    for (const SecurityDescriptor::Ace& ace : descriptor.Aces()) {
        const bool denies =
            ace.type == SecurityDescriptor::kAccessDenied || ace.type == SecurityDescriptor::kAccessDeniedCallback;
        if (denies || (ace.flags & SecurityDescriptor::kInheritOnly) != 0 || (ace.mask & rights) == 0) {
            continue;
        }
        const bool allows =
            ace.type == SecurityDescriptor::kAccessAllowed || ace.type == SecurityDescriptor::kAccessAllowedCallback;
        if (!allows) {
            return Text(u"its access list has an entry this program cannot judge");
        }
        if (!TrustsWriter(ace.sid)) {
            return (ace.sid.empty() ? Text(u"an unknown account") : NameOf(ace.sid)) + u" may change it";
        }
    }
    return std::nullopt;
}

Text RunRights::NameOf(const std::string& sid)
{
    auto& security = platform::Security();
    if (const auto bytes = security.ConvertStringSidToSidA(sid)) {
        if (const auto account = security.LookupAccountSidA(*bytes)) {
            return FromAnsi(account->first.empty() ? account->second : account->first + "\\" + account->second);
        }
    }
    return FromAnsi(sid);
}
