#pragma once

#include "platform/Handle.h"
#include "platform/SecurityBytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

inline constexpr std::uint32_t kTokenQuery = 0x8;
// What GetKernelObjectSecurity is asked for.
inline constexpr std::uint32_t kOwnerSecurityInformation = 0x1;
inline constexpr std::uint32_t kDaclSecurityInformation = 0x4;
// A group of a token that counts in access checks: enabled, and not for denying alone.
inline constexpr std::uint32_t kSeGroupEnabled = 0x4;
inline constexpr std::uint32_t kSeGroupUseForDenyOnly = 0x10;

// One group of a token, with its SE_GROUP_ attributes.
struct TokenGroup {
    Sid sid;
    std::uint32_t attributes = 0;
};

// advapi32: which user a process runs as. Each call fails where the system
// lacks its function (the 9x line; NT 4 for the text form of a SID).
class SecurityServices {
public:
    virtual ~SecurityServices() = default;

    // The token of a process, which the caller closes; false when it cannot be opened.
    virtual bool OpenProcessToken(Handle process, std::uint32_t access, Handle& token) = 0;
    // GetTokenInformation's TokenUser: the SID of the token's user.
    virtual std::optional<Sid> GetTokenUser(Handle token) = 0;
    // "S-1-5-21-...", and back.
    virtual std::optional<std::string> ConvertSidToStringSidA(const Sid& sid) = 0;
    virtual std::optional<Sid> ConvertStringSidToSidA(const std::string& text) = 0;
    // The account's domain and name.
    virtual std::optional<std::pair<std::string, std::string>> LookupAccountSidA(const Sid& sid) = 0;
    // GetTokenInformation's TokenElevation: whether the token holds an
    // administrator's full rights; none before Vista, which has no UAC.
    virtual std::optional<bool> GetTokenElevation(Handle token) = 0;
    // GetTokenInformation's TokenGroups and TokenOwner: the groups the token
    // holds, and the owner the objects it makes get.
    virtual std::optional<std::vector<TokenGroup>> GetTokenGroups(Handle token) = 0;
    virtual std::optional<Sid> GetTokenOwner(Handle token) = 0;
    // The owner or the access list (kOwnerSecurityInformation,
    // kDaclSecurityInformation) of the object of a handle opened with READ_CONTROL.
    virtual std::optional<DescriptorBytes> GetKernelObjectSecurity(Handle object, std::uint32_t information) = 0;
};

} // namespace platform
