#include "run/ResetSteps.h"

#include "common/RuntimeError.h"
#include "loadcheck/DisablingReasons.h"
#include "loadcheck/OutlookLoadCheck.h"
#include "process/CProcessList.h"
#include "reset/AddinInstallation.h"
#include "reset/OutlookResiliency.h"
#include "run/Outcome.h"
#include "scope/AppTexts.h"

#include <algorithm>
#include <iterator>

namespace {

const RunReport::Line kOutlookStarted = {
    u"- Outlook was started during the reset; close Outlook and run this program again", "outlookStarted"};

} // namespace

namespace {

// Whose registration each user's key is, where the run names the users.
std::vector<std::pair<platform::Handle, Text>> UsersOf(const ResetScope& scope)
{
    const auto& people = scope.users.Users();
    std::vector<std::pair<platform::Handle, Text>> users;
    std::transform(people.begin(), people.end(), std::back_inserter(users), [&](const auto& user) {
        return std::pair(user.root, scope.users.EveryLoadedUser() ? user.name : Text());
    });
    return users;
}

} // namespace

ResetSteps::State::State(Whose whose, RunLog& log)
    : scope(whose), registration(scope.edition), regsvr32(scope.edition, &log), components(scope, registration),
      settings(registration.KeysRepaired(UsersOf(scope)))
{
}

ResetSteps::ResetSteps(RunView& view, Whose whose, Program program)
    : mView(view), mWhose(whose), mProgram(program),
      mRecord(program == Program::Window ? "AddinsReset" : "AddinsResetCmd", ResetEvent::Command::Reset)
{
}

// The log keeps how a run that a run-time error stopped ended, too.
int ResetSteps::Run()
try {
    if (!VerifyAddinInstalled()) {
        return kExitNotInstalled;
    }
    mRecord.Begin();
    if (!VerifyOutlookClosed()) {
        return kExitOutlookRuns;
    }
    if (!VerifyNoOtherCopyResets()) {
        return kExitAnotherCopy;
    }
    mState.emplace(mWhose, mRecord);
    mRecord.Describe(mState->scope);
    ReadWhyOutlookTurnedItOff();
    mView.BeginChanges();
    SaveWhatTheResetMayChange();
    if (CheckHKLMKeys()) {
        EnableUserRegistration();
    } else {
        CheckHKCUKeys();
    }
    CheckDisabledItems();
    KeepAddinSettings();
    UnregisterFiles();
    RegisterFiles();
    RestoreRegistration();
    PutBackAddinSettings();
    ForgetClassesComponentsMade();
    CheckOutlookCanLoad();
    VerifyOutlookStayedClosed();
    mView.EndChanges();
    mLock.reset();
    return ShowOutcome();
} catch (...) {
    mRecord.Failed(RuntimeError::OfCaughtException());
    throw;
}

// A fleet runs the administrators' program on every computer: where the add-in
// is not there, a reset would only write a registration for nothing. The
// window's user has the add-in, and is told what is missing of it.
Boolean ResetSteps::VerifyAddinInstalled()
{
    if (mProgram == Program::Window || AddinInstallation::IsOnThisComputer(ResetScope::UsersOf(mWhose))) {
        return True;
    }
    mView.ShowRefusal(NotInstalledOutcome(kExitNotInstalled), kTitle);
    return False;
}

Boolean ResetSteps::VerifyOutlookClosed()
{
    CProcessList processes;
    if (processes.IsProcessRunning(kOutlookExe)) {
        ShowRefusal(RefusalOf(kOutlookWarning, kExitOutlookRuns), kOutlookWarningTitle);
        return False;
    }
    return True;
}

// Changes nothing when another copy is resetting, as the Outlook check does.
Boolean ResetSteps::VerifyNoOtherCopyResets()
{
    mLock = ResetLock::Take();
    if (!mLock) {
        ShowRefusal(RefusalOf(kAnotherCopy, kExitAnotherCopy), kTitle);
        return False;
    }
    if (mLock->NameTakenByOther()) {
        mRecord.Note(u"The name of the lock that keeps two resets apart is held by an account that is no "
                     u"administrator; this reset goes on without it.",
                     RunLog::Severity::Warning);
    }
    return True;
}

// Before the reset removes any of Outlook's records of it.
Boolean ResetSteps::ReadWhyOutlookTurnedItOff()
{
    DisablingReasons(mState->scope.folder, &mRecord).Read(mState->scope);
    return True;
}

// The backup holds, as it was, what the regsvr32 runs may change too.
Boolean ResetSteps::SaveWhatTheResetMayChange()
{
    mRecord.Save(mState->components.Before());
    return True;
}

Boolean ResetSteps::CheckHKLMKeys()
{
    return mState->registration.WriteForMachine(mView, mState->scope.report);
}

// Where no user is signed in, the registration has nowhere else to go.
Boolean ResetSteps::CheckHKCUKeys()
{
    if (mState->scope.users.Users().empty()) {
        return AddinRegistration::ReportNotWritten(mState->scope.report);
    }
    return mState->scope.ForEachUser(
        [&](platform::Handle root) { return mState->registration.WriteForUser(root, mView, mState->scope.report); });
}

Boolean ResetSteps::EnableUserRegistration()
{
    return mState->scope.ForEachUser([&](platform::Handle root) {
        return mState->registration.EnableUserOverride(root, mView, mState->scope.report);
    });
}

Boolean ResetSteps::CheckDisabledItems()
{
    return mState->scope.ForEachUser([&](platform::Handle root) {
        return OutlookResiliency(root, mState->scope.folder, kAddinName)
            .RemoveAddinRecords(mView, mState->scope.report);
    });
}

Boolean ResetSteps::UnregisterFiles()
{
    return mState->regsvr32.UnregisterFiles(mView, mState->scope.report);
}

Boolean ResetSteps::RegisterFiles()
{
    return mState->regsvr32.RegisterFiles(mView, mState->scope.report);
}

Boolean ResetSteps::KeepAddinSettings()
{
    mState->settings.Keep();
    return True;
}

Boolean ResetSteps::RestoreRegistration()
{
    return mState->registration.Restore(mState->scope.report);
}

Boolean ResetSteps::PutBackAddinSettings()
{
    return mState->settings.PutBack(&mRecord, mState->scope.report);
}

Boolean ResetSteps::ForgetClassesComponentsMade()
{
    mRecord.Made(mState->components.MadeSince());
    return True;
}

Boolean ResetSteps::CheckOutlookCanLoad()
{
    return OutlookLoadCheck(mState->scope.edition, mState->scope.folder).Check(mView, mState->scope);
}

// An Outlook started while the components were unregistered may have disabled the add-in again.
Boolean ResetSteps::VerifyOutlookStayedClosed()
{
    CProcessList processes;
    if (processes.IsProcessRunning(kOutlookExe)) {
        mState->scope.report.AddProblem(kOutlookStarted);
        return False;
    }
    return True;
}

void ResetSteps::ShowRefusal(Outcome outcome, const Text& title)
{
    mRecord.End(outcome);
    mView.ShowRefusal(outcome, title);
}

int ResetSteps::ShowOutcome()
{
    Outcome outcome = OutcomeOf(mState->scope.report);
    Describe(outcome, mState->scope);
    mRecord.End(outcome);
    mView.ShowOutcome(outcome, kTitle);
    return outcome.exitCode;
}
