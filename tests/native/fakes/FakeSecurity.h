#pragma once

#include "fakes/FakeKernel.h"
#include "platform/SecurityServices.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace fakes {

// advapi32's view of users, in memory. A SID here is the bytes of its text
// form; tokens are handles of the kernel's, closed by its CloseHandle.
class FakeSecurity : public platform::SecurityServices {
public:
    explicit FakeSecurity(FakeKernel& kernel) : mKernel(kernel) {}

    static platform::Sid SidOf(const std::string& text) { return platform::Sid(text.begin(), text.end()); }

    // The user of each process by its id, and the tool's own.
    std::map<std::uint32_t, std::string> users;
    std::string ownUser = "S-1-5-21-1-1000";
    std::set<std::uint32_t> unreadableTokens;
    std::set<std::string> withoutText;
    // Domain and name by SID; a SID without an entry cannot be looked up.
    std::map<std::string, std::pair<std::string, std::string>> accounts;
    // The tool's own token: an administrator's full rights, none before Vista.
    std::optional<bool> elevated = true;
    // Its groups by SID, with their SE_GROUP_ attributes, and the owner it gives what it makes.
    std::map<std::string, std::uint32_t> ownGroups = {{"S-1-5-32-544", 0xF}, {"S-1-5-32-545", 0x7}};
    std::string ownOwner = "S-1-5-32-544";
    bool groupsUnreadable = false;

    // A standard user's token, as User Account Control filters an administrator's too:
    // the administrators' group for denying alone.
    void AsStandardUser()
    {
        ownGroups = {{"S-1-5-32-545", 0x7}, {"S-1-5-32-544", 0x10}};
        ownOwner = ownUser;
        elevated = false;
    }

    bool OpenProcessToken(platform::Handle process, std::uint32_t, platform::Handle& token) override
    {
        const FakeProcess* target = mKernel.ProcessOf(process);
        if (process != platform::kCurrentProcess && (target == nullptr || unreadableTokens.count(target->id) != 0)) {
            return false;
        }
        token = mKernel.OpenToken(target == nullptr ? kOwnProcess : target->id);
        return true;
    }

    std::optional<platform::Sid> GetTokenUser(platform::Handle token) override
    {
        const auto processId = mKernel.ProcessOfToken(token);
        if (!processId) {
            return std::nullopt;
        }
        const auto user = users.find(*processId);
        return *processId == kOwnProcess ? SidOf(ownUser)
               : user == users.end()     ? std::nullopt
                                         : std::optional<platform::Sid>(SidOf(user->second));
    }

    std::optional<std::string> ConvertSidToStringSidA(const platform::Sid& sid) override
    {
        const std::string text(sid.begin(), sid.end());
        return withoutText.count(text) != 0 ? std::nullopt : std::optional<std::string>(text);
    }

    std::optional<platform::Sid> ConvertStringSidToSidA(const std::string& text) override
    {
        return text.starts_with("S-1-") && !withoutText.contains(text) ? std::optional(SidOf(text)) : std::nullopt;
    }

    std::optional<bool> GetTokenElevation(platform::Handle token) override
    {
        return mKernel.ProcessOfToken(token) ? elevated : std::nullopt;
    }

    std::optional<std::vector<platform::TokenGroup>> GetTokenGroups(platform::Handle token) override
    {
        if (mKernel.ProcessOfToken(token) != kOwnProcess || groupsUnreadable) {
            return std::nullopt;
        }
        std::vector<platform::TokenGroup> groups;
        for (const auto& [sid, attributes] : ownGroups) {
            groups.push_back({SidOf(sid), attributes});
        }
        return groups;
    }

    std::optional<platform::Sid> GetTokenOwner(platform::Handle token) override
    {
        return mKernel.ProcessOfToken(token) == kOwnProcess ? std::optional(SidOf(ownOwner)) : std::nullopt;
    }

    std::optional<platform::DescriptorBytes> GetKernelObjectSecurity(platform::Handle object, std::uint32_t) override
    {
        return mKernel.SecurityOf(object);
    }

    std::optional<std::pair<std::string, std::string>> LookupAccountSidA(const platform::Sid& sid) override
    {
        const auto account = accounts.find(std::string(sid.begin(), sid.end()));
        return account == accounts.end() ? std::nullopt : std::optional(account->second);
    }

private:
    static constexpr std::uint32_t kOwnProcess = 0xFFFFFFFF;
    FakeKernel& mKernel;
};

} // namespace fakes
