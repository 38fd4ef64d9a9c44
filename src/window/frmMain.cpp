#include "window/frmMain.h"

#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "run/Outcome.h"
#include "run/ResetSteps.h"
#include "scope/AppTexts.h"

#include <cstdlib>

namespace {

const Text kExplanation =
    u"This program will reset your Kestrin Software Add-Ins, and is intended to be used when they are not "
    "responding or have been disabled.  It will not erase your configuration settings.  Make sure Outlook is "
    "not running and press the Reset button below to begin.";

} // namespace

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
    mView.emplace(mForm);
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
    return !mView || !mView->ChangesUnderway();
}

// The reset's steps, in the order the console program's reset runs them too.
void frmMain::cmdReset_Click()
{
    ResetSteps steps(*mView, Whose::SignedInUser, ResetSteps::Program::Window);
    Unload(steps.Run());
}

void frmMain::ReportUnhandledError(const RuntimeError& error) noexcept
{
    // The run is over, whatever it left: the box only waits for OK. Its
    // steps, and the lock they held, are gone with the error that ended them.
    if (mView) {
        mView->EndChanges();
    }
    // Like the platform's own report: one box, then the program ends with a failure code.
    try {
        platform::Messages().MessageBoxA(mForm, ToAnsi(error.Report()), ToAnsi(kTitle), 0);
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
    if (mView) {
        mView->EndChanges();
    }
    windowing.DestroyWindow(form);
    windowing.PostQuitMessage(exitCode);
}

const Text& frmMain::Title()
{
    return kTitle;
}
