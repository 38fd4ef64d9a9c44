#include "scope/ResetScope.h"

#include <algorithm>

namespace {

RunReport ReportFor(const UserHives& users)
{
    if (!users.EveryLoadedUser()) {
        return RunReport(users.Users().front().name);
    }
    std::vector<Text> names(users.Users().size());
    std::transform(users.Users().begin(), users.Users().end(), names.begin(),
                   [](const UserHives::User& user) { return user.name; });
    return RunReport::ForEveryLoadedUser(std::move(names));
}

} // namespace

UserHives ResetScope::UsersOf(Whose whose)
{
    return whose == Whose::SignedInUser ? UserHives::OfSignedInUser() : UserHives::OfEveryLoadedUserAsSystem();
}

ResetScope::ResetScope(Whose whose)
    : users(UsersOf(whose)), edition(Edition::OfThisComputer()), folder(edition.folder), report(ReportFor(users))
{
    for (const Text& sid : users.Unopened()) {
        report.AddProblem({.text = u"- the settings of the user " + sid + u" could not be opened",
                           .code = "hiveNotOpened",
                           .user = sid},
                          RunReport::Cause::NoResetHelps);
    }
}

Boolean ResetScope::ForEachUser(const std::function<Boolean(platform::Handle userRoot)>& step)
{
    bool done = true;
    for (const auto& user : users.Users()) {
        report.AboutUser(users.EveryLoadedUser() ? user.name : Text());
        done = static_cast<bool>(step(user.root)) && done;
    }
    report.AboutUser(Text());
    return Boolean(done);
}
