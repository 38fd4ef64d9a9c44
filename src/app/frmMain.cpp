#include "app/frmMain.h"

#include "app/OfficeKeys.h"
#include "app/OutlookLoadCheck.h"
#include "app/OutlookResiliency.h"
#include "files/CFileList.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "process/CProcessList.h"
#include "registry/CRegistry.h"

#include <cstdlib>

namespace {

const Text kTitle = u"Kestrin Software Add-Ins Reset";
const Text kOutlookWarningTitle = u"Reset Outlook AddIns";
const Text kOutlookWarning = u"Warning: Outlook is running.  Exit Outlook or reboot your machine and try again.";
const Text kSuccess = u"Successfully reset Kestrin Software add-ins.";
const Text kOutlookExe = u"outlook.exe";

const Text kAddinName = u"Kestrin Software Add-In Engine";
// Query, set, create subkey, enumerate, notify and create link: all the rewrite needs, nothing more.
constexpr std::uint32_t kRegistrationAccess = 63;

const Text kSupportAddress = u"support@kestrinsoftware.com";
const Text kMainLibrary = u"kroutlook.dll";
const Text kMissingLibraryWarning = u"Warning: File KROutlook.dll has not been found.  Please contact " +
                                    kSupportAddress + u" about this problem.\r\nContinuing anyway...";
const Text kUnregister = u"regsvr32 /u /s ";
const Text kRegister = u"regsvr32 /s ";
// Each registration gets a second to itself.
constexpr std::uint32_t kPauseMilliseconds = 1000;

const Text kFinishedWithErrors = u"Reset finished with errors.";
const Text kNotFullyReset = u"Kestrin Software add-ins were not fully reset:";
const Text kRegistrationNotWritten = u"- the add-in's registration could not be written";
const Text kRecordNotRemoved = u"- Outlook's record of the disabled add-in could not be removed";
const Text kRunReason = u"Resetting Kestrin Software add-ins";
const Text kClassNotRegistered = u"- the add-in's component KestrinSoftware.Connect is not registered";
const Text kRunAsAdministrator =
    u"Please run this program as an administrator, or contact " + kSupportAddress + u" about this problem.";
const Text kFinishedButNotLoaded = u"Reset finished, but Outlook will not load the add-in.";
const Text kWillNotLoad = u"Kestrin Software add-ins were reset, but Outlook will not load them:";
const Text kContactSupport = u"Please contact " + kSupportAddress + u" about this problem.";

const Text kExplanation =
    u"This program will reset your Kestrin Software Add-Ins, and is intended to be used when they are not "
    "responding or have been disabled.  It will not erase your configuration settings.  Make sure Outlook is "
    "not running and press the Reset button below to begin.";

constexpr std::uint32_t kMessageBoxOkOnly = 0;

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
        auto& windowing = platform::Windowing();
        if (windowing.HasShutdownBlockReason()) {
            windowing.ShutdownBlockReasonCreate(mForm, kRunReason);
        }
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
        Unload(0);
    } catch (...) {
        ReportUnhandledError(RuntimeError::OfCaughtException());
    }
}

// Log-off and shut-down wait for a run, as the close box does.
bool frmMain::OnQueryEndSession() noexcept
{
    return !mRunning;
}

void frmMain::cmdReset_Click()
{
    mProblems.clear();
    mBlockers.clear();
    if (VerifyOutlookClosed()) {
        mUser.emplace();
        mEdition = Edition::OfThisComputer();
        const Boolean written = CheckHKLMKeys() ? EnableUserRegistration() : CheckHKCUKeys();
        if (!written) {
            mProblems.push_back(kRegistrationNotWritten);
        }
        if (!CheckDisabledItems()) {
            mProblems.push_back(kRecordNotRemoved);
        }
        UnregisterFiles();
        RegisterFiles();
        CheckOutlookCanLoad();
        ShowOutcome();
        mEdition.reset();
        mUser.reset();
    }
    Unload(0);
}

Boolean frmMain::VerifyOutlookClosed()
{
    CProcessList processes;
    if (processes.IsProcessRunning(kOutlookExe)) {
        ShowMessage(kOutlookWarning, kOutlookWarningTitle);
        return False;
    }
    return True;
}

// Nothing is written for an edition that is not installed.
Boolean frmMain::CheckHKLMKeys()
{
    if (!mEdition->installed) {
        return True;
    }
    ShowProgress(u"Checking HKLM registry keys...");
    return WriteRegistration(platform::kHkeyLocalMachine, mEdition->registryView);
}

// The user's own Office keys are the same for both editions.
Boolean frmMain::CheckHKCUKeys()
{
    ShowProgress(u"Checking HKCU registry keys...");
    return WriteRegistration(UserRoot(), 0);
}

// Puts back the four values Outlook loads the add-in by; every other value of
// the key is the add-in's own and stays. False when the key or any value could
// not be written, so that the driver falls back to the user's own hive.
Boolean frmMain::WriteRegistration(platform::Handle root, std::uint32_t view)
{
    CRegistry registry;
    const auto access = static_cast<std::int32_t>(kRegistrationAccess | view);
    bool written = registry.OpenKey(kAddinRegistrationKey, root, access) == 0;
    written = registry.PutLong(u"CommandLineSafe", 0) == 0 && written;
    written = registry.PutLong(u"LoadBehavior", 3) == 0 && written;
    written = registry.PutString(u"FriendlyName", kAddinName) == 0 && written;
    written = registry.PutString(u"Description", kAddinName) == 0 && written;
    return Boolean(written);
}

// Office writes a per-user registration to disable an add-in, and it
// outweighs the machine's. Ticking the add-in in Office's own COM Add-ins
// dialog sets only its LoadBehavior back, and so does this step; it never
// creates one. False when an existing one could not be looked at or written.
Boolean frmMain::EnableUserRegistration()
{
    CRegistry user;
    const Long opened = user.OpenExistingKey(kAddinRegistrationKey, UserRoot(), platform::kKeySetValue);
    if (opened != platform::kErrorSuccess) {
        return Boolean(opened == platform::kErrorFileNotFound);
    }
    ShowProgress(u"Checking HKCU registry keys...");
    return Boolean(user.PutLong(u"LoadBehavior", 3) == platform::kErrorSuccess);
}

Boolean frmMain::CheckDisabledItems()
{
    ShowProgress(u"Checking Outlook's disabled add-ins...");
    return OutlookResiliency(UserRoot(), mEdition->folder, kAddinName).RemoveAddinRecords();
}

// Waits for its unregistrations at the end: one still running when the same
// file is registered again would undo that registration.
Boolean frmMain::UnregisterFiles()
{
    if (!mEdition->installed) {
        return True;
    }
    ShowProgress(u"Unregistering files...");
    mRegsvr32 = Regsvr32Runs(mEdition->regsvr32, mEdition->regsvr32Folder);
    const Boolean found = RunRegsvr32(u"*.dll", kUnregister, u"Unregistering ", Regsvr32Runs::Action::Unregister);
    if (!found) {
        ShowMessage(kMissingLibraryWarning, kTitle);
        mProblems.push_back(u"- KROutlook.dll was not found in " + mEdition->folder);
    }
    RunRegsvr32(u"*.ocx", kUnregister, u"Unregistering ", Regsvr32Runs::Action::Unregister);
    mRegsvr32.AwaitAll(Regsvr32Runs::Action::Unregister);
    return True;
}

// A component that could not be registered leaves the add-in broken: every
// such file gets its line in the final box. False when any did.
Boolean frmMain::RegisterFiles()
{
    if (!mEdition->installed) {
        return True;
    }
    ShowProgress(u"Registering files...");
    RunRegsvr32(u"*.dll", kRegister, u"Registering ", Regsvr32Runs::Action::Register);
    RunRegsvr32(u"*.ocx", kRegister, u"Registering ", Regsvr32Runs::Action::Register);
    mRegsvr32.AwaitAll(Regsvr32Runs::Action::Register);
    const std::vector<Text> problems = mRegsvr32.Problems();
    mProblems.insert(mProblems.end(), problems.begin(), problems.end());
    // Lets go of every process still held.
    mRegsvr32 = Regsvr32Runs();
    return Boolean(problems.empty());
}

// One pass over the add-in folder: launches regsvr32 on every file matching
// the mask, names it and pauses. True when the engine's main library was
// among the files.
Boolean frmMain::RunRegsvr32(const Text& mask, const Text& commandPrefix, const Text& progressPrefix,
                             Regsvr32Runs::Action action)
{
    CFileList files;
    files.FileNameMask(mask);
    files.FolderName(mEdition->folder);

    Boolean found = False;
    const Long count = files.FileCount();
    for (Long i = 1; i <= count; ++i) {
        const Text name = files.FileName(i);
        if (LowerCase(name) == kMainLibrary) {
            found = True;
        }
        if (action == Regsvr32Runs::Action::Register && !mRegsvr32.MayRegister(name)) {
            continue;
        }
        Text commandLine = commandPrefix;
        commandLine += u'"';
        commandLine += files.FolderName();
        commandLine += name;
        commandLine += u'"';
        mRegsvr32.Start(action, name, commandLine);
        ShowProgress(progressPrefix + name);
        platform::Kernel().Sleep(kPauseMilliseconds);
        mRegsvr32.CollectEnded();
    }
    return found;
}

// Only reads: what no reset may change (a policy, Office's settings) is told,
// never overridden.
Boolean frmMain::CheckOutlookCanLoad()
{
    ShowProgress(u"Checking whether Outlook can load the add-in...");
    OutlookLoadCheck check(UserRoot(), *mEdition);
    // The class of an edition that is not installed is not looked for: its blocker says more.
    const bool registered = !mEdition->installed || check.IsClassRegistered();
    if (!registered) {
        mProblems.push_back(kClassNotRegistered);
    }
    mBlockers = check.Blockers();
    return Boolean(registered && mBlockers.empty());
}

// HKEY_CURRENT_USER, or the hive of the signed-in user when the tool runs
// under another account.
platform::Handle frmMain::UserRoot() const noexcept
{
    return mUser ? mUser->Root() : platform::kHkeyCurrentUser;
}

// The reset's own problems come first and ask for an administrator; what
// keeps Outlook from loading the add-in follows, in a block of its own.
void frmMain::ShowOutcome() const
{
    // Run under another account, the box says whose settings were repaired.
    const Text repairedFor =
        mUser && !mUser->OtherUser().empty()
            ? u"\r\n\r\nOutlook's settings were repaired for the signed-in user " + mUser->OtherUser() + u"."
            : Text();
    if (mProblems.empty() && mBlockers.empty()) {
        ShowProgress(kSuccess);
        ShowMessage(kSuccess + repairedFor, kTitle);
        return;
    }
    Text text = Block(kNotFullyReset, mProblems);
    if (!mBlockers.empty()) {
        text += (text.empty() ? u"" : u"\r\n\r\n") + Block(kWillNotLoad, mBlockers);
    }
    text += u"\r\n\r\n" + (mProblems.empty() ? kContactSupport : kRunAsAdministrator) + repairedFor;
    ShowProgress(mProblems.empty() ? kFinishedButNotLoaded : kFinishedWithErrors);
    ShowMessage(text, kTitle);
}

// The heading and one line each; nothing when there are no lines.
Text frmMain::Block(const Text& heading, const std::vector<Text>& lines)
{
    if (lines.empty()) {
        return Text();
    }
    Text block = heading;
    for (const Text& line : lines) {
        block += u"\r\n" + line;
    }
    return block;
}

void frmMain::ShowProgress(const Text& text) const
{
    auto& windowing = platform::Windowing();
    const platform::Handle label = windowing.GetDlgItem(mForm, kLblProgress);
    windowing.SetWindowTextA(label, ToAnsi(text));
    windowing.UpdateWindow(label);
    windowing.ProcessPendingEvents();
}

void frmMain::ShowMessage(const Text& text, const Text& title) const
{
    platform::Windowing().MessageBoxA(mForm, ToAnsi(text), ToAnsi(title), kMessageBoxOkOnly);
}

void frmMain::ReportUnhandledError(const RuntimeError& error) noexcept
{
    // Like the platform's own report: one box, then the program ends with a failure code.
    try {
        ShowMessage(error.Report(), kTitle);
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
    // The run ends here, and with it the reason that held up a log-off.
    if (mRunning && windowing.HasShutdownBlockReason()) {
        windowing.ShutdownBlockReasonDestroy(form);
    }
    windowing.DestroyWindow(form);
    windowing.PostQuitMessage(exitCode);
}

const Text& frmMain::Title()
{
    return kTitle;
}
