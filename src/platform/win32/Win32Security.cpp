#include "platform/win32/Win32Security.h"

#include <vector>

namespace platform::win32 {
namespace {

// Account and domain names are at most 256 characters.
constexpr DWORD kNameChars = 257;

} // namespace

bool Win32Security::OpenProcessToken(Handle process, std::uint32_t access, Handle& token)
{
    HANDLE opened = nullptr;
    if (!mOpenProcessToken.Available() || mOpenProcessToken(AsHandle(process), access, &opened) == FALSE) {
        return false;
    }
    token = FromHandle(opened);
    return true;
}

// The size first; the SIDs lie inside the buffer, after the record that points to them.
std::vector<std::uint8_t> Win32Security::TokenInformation(Handle token, TOKEN_INFORMATION_CLASS kind)
{
    if (!mGetTokenInformation.Available() || !mGetLengthSid.Available()) {
        return {};
    }
    DWORD needed = 0;
    mGetTokenInformation(AsHandle(token), kind, nullptr, 0, &needed);
    std::vector<std::uint8_t> buffer(needed);
    if (needed == 0 || mGetTokenInformation(AsHandle(token), kind, buffer.data(), needed, &needed) == FALSE) {
        return {};
    }
    return buffer;
}

Sid Win32Security::CopyOf(PSID sid)
{
    const auto* bytes = static_cast<const std::uint8_t*>(sid);
    return Sid(bytes, bytes + mGetLengthSid(sid));
}

std::optional<Sid> Win32Security::GetTokenUser(Handle token)
{
    const std::vector<std::uint8_t> buffer = TokenInformation(token, TokenUser);
    if (buffer.size() < sizeof(TOKEN_USER)) {
        return std::nullopt;
    }
    return CopyOf(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
}

std::optional<Sid> Win32Security::GetTokenOwner(Handle token)
{
    const std::vector<std::uint8_t> buffer = TokenInformation(token, TokenOwner);
    if (buffer.size() < sizeof(TOKEN_OWNER)) {
        return std::nullopt;
    }
    return CopyOf(reinterpret_cast<const TOKEN_OWNER*>(buffer.data())->Owner);
}

std::optional<std::vector<TokenGroup>> Win32Security::GetTokenGroups(Handle token)
{
    const std::vector<std::uint8_t> buffer = TokenInformation(token, TokenGroups);
    if (buffer.size() < sizeof(TOKEN_GROUPS)) {
        return std::nullopt;
    }
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    std::vector<TokenGroup> read;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        // The record declares one entry; the system writes as many as there are.
        const SID_AND_ATTRIBUTES* group = &groups->Groups[0] + i;
        read.push_back({CopyOf(group->Sid), group->Attributes});
    }
    return read;
}

std::optional<DescriptorBytes> Win32Security::GetKernelObjectSecurity(Handle object, std::uint32_t information)
{
    if (!mGetKernelObjectSecurity.Available()) {
        return std::nullopt;
    }
    DWORD needed = 0;
    mGetKernelObjectSecurity(AsHandle(object), information, nullptr, 0, &needed);
    DescriptorBytes descriptor(needed);
    if (needed == 0 ||
        mGetKernelObjectSecurity(AsHandle(object), information, descriptor.data(), needed, &needed) == FALSE) {
        return std::nullopt;
    }
    return descriptor;
}

std::optional<std::string> Win32Security::ConvertSidToStringSidA(const Sid& sid)
{
    // NT 4 has no text of a SID of its own: the layout is the same on every Windows.
    if (!mConvertSidToStringSidA.Available() || !mLocalFree.Available()) {
        return SidText(sid.data(), sid.size());
    }
    Sid copy = sid;
    LPSTR text = nullptr;
    if (mConvertSidToStringSidA(copy.data(), &text) == FALSE || text == nullptr) {
        return std::nullopt;
    }
    // The system allocated the text; it is freed on every path, once.
    const UniqueLocalText owned(text, {&mLocalFree});
    return std::string(owned.Get());
}

std::optional<Sid> Win32Security::ConvertStringSidToSidA(const std::string& text)
{
    if (!mConvertStringSidToSidA.Available() || !mGetLengthSid.Available() || !mLocalFree.Available()) {
        return std::nullopt;
    }
    PSID sid = nullptr;
    if (mConvertStringSidToSidA(text.c_str(), &sid) == FALSE || sid == nullptr) {
        return std::nullopt;
    }
    const UniqueLocalSid owned(sid, {&mLocalFree});
    const auto* bytes = static_cast<const std::uint8_t*>(owned.Get());
    return Sid(bytes, bytes + mGetLengthSid(owned.Get()));
}

std::optional<std::pair<std::string, std::string>> Win32Security::LookupAccountSidA(const Sid& sid)
{
    if (!mLookupAccountSidA.Available()) {
        return std::nullopt;
    }
    Sid copy = sid;
    char name[kNameChars] = {};
    char domain[kNameChars] = {};
    DWORD nameChars = kNameChars;
    DWORD domainChars = kNameChars;
    SID_NAME_USE use = SidTypeUnknown;
    if (mLookupAccountSidA(nullptr, copy.data(), name, &nameChars, domain, &domainChars, &use) == FALSE) {
        return std::nullopt;
    }
    return std::make_pair(std::string(domain), std::string(name));
}

std::optional<bool> Win32Security::GetTokenElevation(Handle token)
{
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!mGetTokenInformation.Available() ||
        mGetTokenInformation(AsHandle(token), TokenElevation, &elevation, sizeof(elevation), &size) == FALSE) {
        return std::nullopt;
    }
    return elevation.TokenIsElevated != 0;
}

} // namespace platform::win32
