#pragma once

#include "platform/Handle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

inline constexpr std::uint32_t kTokenQuery = 0x8;

// A user's security identifier, as the system lays it out.
using Sid = std::vector<std::uint8_t>;

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
};

} // namespace platform
