#pragma once

#include "platform/SecurityServices.h"
#include "platform/win32/SystemLibrary.h"

#include <sddl.h>

namespace platform::win32 {

class Win32Security final : public SecurityServices {
public:
    explicit Win32Security(SystemLibraries& libraries) noexcept
        : mAdvapi32(libraries.advapi32), mKernel32(libraries.kernel32)
    {
    }
    bool OpenProcessToken(Handle process, std::uint32_t access, Handle& token) override;
    std::optional<Sid> GetTokenUser(Handle token) override;
    std::optional<std::string> ConvertSidToStringSidA(const Sid& sid) override;
    std::optional<Sid> ConvertStringSidToSidA(const std::string& text) override;
    std::optional<std::pair<std::string, std::string>> LookupAccountSidA(const Sid& sid) override;
    std::optional<bool> GetTokenElevation(Handle token) override;
    std::optional<std::vector<TokenGroup>> GetTokenGroups(Handle token) override;
    std::optional<Sid> GetTokenOwner(Handle token) override;
    std::optional<DescriptorBytes> GetKernelObjectSecurity(Handle object, std::uint32_t information) override;

private:
    // The whole record of one kind of TokenInformation, sized as the system asks; empty when it cannot be read.
    std::vector<std::uint8_t> TokenInformation(Handle token, TOKEN_INFORMATION_CLASS kind);
    Sid CopyOf(PSID sid);

    SystemLibrary& mAdvapi32;
    SystemLibrary& mKernel32;
    SYSTEM_FUNCTION(mAdvapi32, OpenProcessToken);
    SYSTEM_FUNCTION(mAdvapi32, GetTokenInformation);
    SYSTEM_FUNCTION(mAdvapi32, GetLengthSid);
    SYSTEM_FUNCTION(mAdvapi32, ConvertSidToStringSidA);
    SYSTEM_FUNCTION(mAdvapi32, ConvertStringSidToSidA);
    SYSTEM_FUNCTION(mAdvapi32, LookupAccountSidA);
    SYSTEM_FUNCTION(mAdvapi32, GetKernelObjectSecurity);
    SYSTEM_FUNCTION(mKernel32, LocalFree);
};

} // namespace platform::win32
