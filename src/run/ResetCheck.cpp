#include "run/ResetCheck.h"

#include "loadcheck/DisablingReasons.h"
#include "loadcheck/OutlookLoadCheck.h"
#include "reset/AddinInstallation.h"
#include "reset/AddinRegistration.h"
#include "reset/OutlookResiliency.h"
#include "reset/Regsvr32Runs.h"
#include "run/Outcome.h"
#include "scope/AppTexts.h"

#include <algorithm>
#include <vector>

int ResetCheck::Run()
{
    ResetScope scope(mWhose);
    if (!AddinInstallation::IsOnThisComputer(scope.users)) {
        Outcome outcome = NotInstalledOutcome(kExitSuccess);
        outcome.needsReset = false;
        Describe(outcome, scope);
        mView.ShowOutcome(outcome, kTitle);
        return outcome.exitCode;
    }
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
    DisablingReasons(scope.folder, nullptr).Read(scope);
    Regsvr32Runs(scope.edition).InspectMainLibrary(scope.report);
    OutlookLoadCheck(scope.edition, scope.folder, false).Check(mView, scope);
    Outcome outcome = CheckOutcomeOf(scope.report);
    Describe(outcome, scope);
    mView.ShowOutcome(outcome, kTitle);
    return outcome.exitCode;
}
