#include "app/frmMain.h"

#include "app/AppTexts.h"
#include "app/Outcome.h"
#include "app/OutlookLoadCheck.h"
#include "app/OutlookResiliency.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "process/CProcessList.h"

#include <cstdlib>

namespace {

const Text kOutlookWarningTitle = u"Reset Outlook AddIns";
const Text kOutlookWarning = u"Warning: Outlook is running.  Exit Outlook or reboot your machine and try again.";
const Text kOutlookExe = u"outlook.exe";
const Text kAnotherCopy =
    u"Another copy of this program is resetting Kestrin Software add-ins. Please wait until it has finished.";
const Text kOutlookStarted = u"- Outlook was started during the reset; close Outlook and run this program again";

const Text kExplanation =
    u"This program will reset your Kestrin Software Add-Ins, and is intended to be used when they are not "
    "responding or have been disabled.  It will not erase your configuration settings.  Make sure Outlook is "
    "not running and press the Reset button below to begin.";

} // namespace

frmMain::Run::Run(platform::Handle form)
    : view(form), edition(Edition::OfThisComputer()), folder(edition.folder), report(user.OtherUser()),
      registration(edition, user.Root()), regsvr32(edition)
{
}

platform::FormLayout frmMain::Layout()
{
    using platform::ControlKind;
    return platform::FormLayout{
        .title = ToAnsi(kTitle),
        .clientWidth = 6390,
        .clientHeight = 2550,
        .fontName = "Microsoft Sans Serif",
        // The face Microsoft Sans Serif was drawn to match; the 9x line, NT 4 and Wine lack the newer one.
        .fallbackFontName = "MS Sans Serif",
        .fontHundredthsOfPoint = 825,
        .fontWeight = 400,
        .fontCharset = 0,
        .iconResource = kIconResource,
        .controls =
            {
                {kLabel1, ControlKind::Label, ToAnsi(kExplanation), 405, 240, 5625, 810},
                {kCmdReset, ControlKind::DefaultPushButton, ToAnsi(u"&Reset"), 2235, 1395, 1650, 390},
                {kLblProgress, ControlKind::Label, ToAnsi(u"Progress"), 465, 2100, 4530, 210},
            },
    };
}

void frmMain::Show()
{
    mForm = platform::Windowing().CreateForm(Layout(), *this);
}

void frmMain::OnClick(int controlId) noexcept
{
    // A click or Enter while a reset runs reaches here through the progress
    // protocol's event processing; a nested reset would interleave two runs,
    // so it is ignored.
    if (controlId != kCmdReset || mRunning || mForm == 0) {
        return;
    }
    mRunning = true;
    try {
        cmdReset_Click();
    } catch (...) {
        ReportUnhandledError(RuntimeError::OfCaughtException());
    }
    mRunning = false;
}

void frmMain::OnClose() noexcept
{
    // Half a reset must not be abandoned; before Reset nothing has changed yet.
    if (mRunning || mForm == 0) {
        return;
    }
    try {
        Unload(kExitClosedWithoutReset);
    } catch (...) {
        ReportUnhandledError(RuntimeError::OfCaughtException());
    }
}

// Log-off and shut-down wait while the reset changes things; at a box that
// only waits for OK, nothing is left half done.
bool frmMain::OnQueryEndSession() noexcept
{
    return !mSessionEndBlock;
}

void frmMain::cmdReset_Click()
{
    int exitCode = kExitOutlookRuns;
    if (VerifyOutlookClosed()) {
        exitCode = kExitAnotherCopy;
        if (VerifyNoOtherCopyResets()) {
            mRun.emplace(mForm);
            mSessionEndBlock.emplace(mForm);
            if (CheckHKLMKeys()) {
                EnableUserRegistration();
            } else {
                CheckHKCUKeys();
            }
            CheckDisabledItems();
            UnregisterFiles();
            RegisterFiles();
            RestoreRegistration();
            CheckOutlookCanLoad();
            VerifyOutlookStayedClosed();
            mSessionEndBlock.reset();
            mLock.reset();
            exitCode = ShowOutcome();
            mRun.reset();
        }
    }
    Unload(exitCode);
}

Boolean frmMain::VerifyOutlookClosed() const
{
    CProcessList processes;
    if (processes.IsProcessRunning(kOutlookExe)) {
        RunView(mForm).ShowMessage(kOutlookWarning, kOutlookWarningTitle);
        return False;
    }
    return True;
}

// Changes nothing when another copy is resetting, as the Outlook check does.
Boolean frmMain::VerifyNoOtherCopyResets()
{
    mLock = ResetLock::Take();
    if (!mLock) {
        RunView(mForm).ShowMessage(kAnotherCopy, kTitle);
        return False;
    }
    return True;
}

Boolean frmMain::CheckHKLMKeys()
{
    return mRun->registration.WriteForMachine(mRun->view, mRun->report);
}

Boolean frmMain::CheckHKCUKeys()
{
    return mRun->registration.WriteForUser(mRun->view, mRun->report);
}

Boolean frmMain::EnableUserRegistration()
{
    return mRun->registration.EnableUserOverride(mRun->view, mRun->report);
}

Boolean frmMain::CheckDisabledItems()
{
    return OutlookResiliency(mRun->user.Root(), mRun->folder, kAddinName).RemoveAddinRecords(mRun->view, mRun->report);
}

Boolean frmMain::UnregisterFiles()
{
    return mRun->regsvr32.UnregisterFiles(mRun->view, mRun->report);
}

Boolean frmMain::RegisterFiles()
{
    return mRun->regsvr32.RegisterFiles(mRun->view, mRun->report);
}

Boolean frmMain::RestoreRegistration()
{
    return mRun->registration.Restore(mRun->report);
}

Boolean frmMain::CheckOutlookCanLoad()
{
    return OutlookLoadCheck(mRun->user.Root(), mRun->edition, mRun->folder).Check(mRun->view, mRun->report);
}

// An Outlook started while the components were unregistered may have disabled the add-in again.
Boolean frmMain::VerifyOutlookStayedClosed()
{
    CProcessList processes;
    if (processes.IsProcessRunning(kOutlookExe)) {
        mRun->report.AddProblem(kOutlookStarted);
        return False;
    }
    return True;
}

int frmMain::ShowOutcome()
{
    const Outcome outcome = OutcomeOf(mRun->report);
    mRun->view.ShowProgress(outcome.label);
    mRun->view.ShowMessage(outcome.box, kTitle);
    return outcome.exitCode;
}

void frmMain::ReportUnhandledError(const RuntimeError& error) noexcept
{
    // The run is over, whatever it left: the box only waits for OK, and
    // another copy may reset while it shows.
    mSessionEndBlock.reset();
    mLock.reset();
    // Like the platform's own report: one box, then the program ends with a failure code.
    try {
        RunView(mForm).ShowMessage(error.Report(), kTitle);
    } catch (...) {
        // Even the report failed: there is nothing left to tell the user with.
    }
    try {
        Unload(error.ExitCode());
    } catch (...) {
        std::_Exit(error.ExitCode());
    }
}

void frmMain::Unload(int exitCode)
{
    auto& windowing = platform::Windowing();
    const platform::Handle form = mForm;
    mForm = 0;
    // A run that a run-time error ended lets go of the session with the window.
    mSessionEndBlock.reset();
    mLock.reset();
    mRun.reset();
    windowing.DestroyWindow(form);
    windowing.PostQuitMessage(exitCode);
}

const Text& frmMain::Title()
{
    return kTitle;
}
