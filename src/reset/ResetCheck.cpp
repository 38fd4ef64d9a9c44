#include "reset/ResetCheck.h"

#include "loadcheck/OutlookLoadCheck.h"
#include "reset/AddinRegistration.h"
#include "reset/AppTexts.h"
#include "reset/Outcome.h"
#include "reset/OutlookResiliency.h"
#include "reset/PlainFile.h"

#include <algorithm>
#include <vector>

int ResetCheck::Run()
{
    ResetScope scope(mWhose);
    std::vector<platform::Handle> userRoots(scope.users.Users().size());
    std::transform(scope.users.Users().begin(), scope.users.Users().end(), userRoots.begin(),
                   [](const UserHives::User& user) { return user.root; });
    mView.ShowProgress(u"Checking the add-in's registration...");
    AddinRegistration(scope.edition).InspectMachine(userRoots, scope.report);
    scope.ForEachUser([&](platform::Handle root) {
        AddinRegistration::InspectUser(root, scope.report);
        return True;
    });
    mView.ShowProgress(u"Checking Outlook's disabled add-ins...");
    scope.ForEachUser([&](platform::Handle root) {
        OutlookResiliency(root, scope.folder, kAddinName).InspectAddinRecords(scope.report);
        return True;
    });
    // No reset registers a library that is not there.
    if (scope.edition.installed && !IsPlainFile(scope.folder.Path() + u"\\KROutlook.dll")) {
        scope.report.AddProblem(u"- KROutlook.dll was not found in " + scope.folder.Path(),
                                RunReport::Cause::NoResetHelps);
    }
    OutlookLoadCheck(scope.edition, scope.folder, false).Check(mView, scope);
    const Outcome outcome = CheckOutcomeOf(scope.report);
    mView.ShowOutcome(outcome, kTitle);
    return outcome.exitCode;
}
