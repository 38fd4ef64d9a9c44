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

std::optional<Sid> Win32Security::GetTokenUser(Handle token)
{
    if (!mGetTokenInformation.Available() || !mGetLengthSid.Available()) {
        return std::nullopt;
    }
    // The size first; the SID lies inside the buffer, after the record that points to it.
    DWORD needed = 0;
    mGetTokenInformation(AsHandle(token), TokenUser, nullptr, 0, &needed);
    if (needed < sizeof(TOKEN_USER)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(needed);
    if (mGetTokenInformation(AsHandle(token), TokenUser, buffer.data(), needed, &needed) == FALSE) {
        return std::nullopt;
    }
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    const auto* bytes = static_cast<const std::uint8_t*>(sid);
    return Sid(bytes, bytes + mGetLengthSid(sid));
}

std::optional<std::string> Win32Security::ConvertSidToStringSidA(const Sid& sid)
{
    if (!mConvertSidToStringSidA.Available() || !mLocalFree.Available()) {
        return std::nullopt;
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
