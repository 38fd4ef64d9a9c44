#include "app/frmMain.h"

#include "files/CFileList.h"
#include "platform/Platform.h"
#include "process/CProcessList.h"
#include "registry/CRegistry.h"

#include <cstdlib>
#include <new>

namespace {

const Text kTitle = u"Kestrin Software Add-Ins Reset";
const Text kOutlookWarningTitle = u"Reset Outlook AddIns";
const Text kOutlookWarning = u"Warning: Outlook is running.  Exit Outlook or reboot your machine and try again.";
const Text kSuccess = u"Successfully reset Kestrin Software add-ins.";
const Text kOutlookExe = u"outlook.exe";

const Text kAddinRegistrationKey = u"Software\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect\\";
const Text kAddinName = u"Kestrin Software Add-In Engine";
// Query, set, create subkey, enumerate, notify and create link: all the rewrite needs, nothing more.
constexpr std::int32_t kRegistrationAccess = 63;

const Text kSupportAddress = u"support@kestrinsoftware.com";
const Text kMainLibrary = u"kroutlook.dll";
const Text kMissingLibraryWarning = u"Warning: File KROutlook.dll has not been found.  Please contact " +
                                    kSupportAddress + u" about this problem.\r\nContinuing anyway...";
const Text kUnregister = u"regsvr32 /u /s ";
const Text kRegister = u"regsvr32 /s ";
// Each registration gets a second to itself; the tool never waits for regsvr32.
constexpr std::uint32_t kPauseMilliseconds = 1000;

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
        .fontHundredthsOfPoint = 825,
        .fontWeight = 400,
        .fontCharset = 0,
        .iconResource = kIconResource,
        .controls =
            {
                {kLabel1, ControlKind::Label, ToAnsi(kExplanation), 405, 240, 5625, 810},
                {kCmdReset, ControlKind::PushButton, ToAnsi(u"&Reset"), 2235, 1395, 1650, 390},
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
    // A click while a reset runs reaches here through the progress protocol's
    // event processing; a nested reset would interleave two runs, so it is ignored.
    if (controlId != kCmdReset || mRunning || mForm == 0) {
        return;
    }
    mRunning = true;
    try {
        cmdReset_Click();
    } catch (const RuntimeError& error) {
        ReportUnhandledError(error);
    } catch (const std::bad_alloc&) {
        ReportUnhandledError(RuntimeError::OutOfMemory());
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
    } catch (const RuntimeError& error) {
        ReportUnhandledError(error);
    }
}

void frmMain::cmdReset_Click()
{
    if (VerifyOutlookClosed()) {
        if (!CheckHKLMKeys()) {
            CheckHKCUKeys();
        }
        UnregisterFiles();
        RegisterFiles();
        ShowProgress(kSuccess);
        ShowMessage(kSuccess, kTitle);
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

Boolean frmMain::CheckHKLMKeys()
{
    ShowProgress(u"Checking HKLM registry keys...");
    return WriteRegistration(platform::kHkeyLocalMachine);
}

Boolean frmMain::CheckHKCUKeys()
{
    ShowProgress(u"Checking HKCU registry keys...");
    return WriteRegistration(platform::kHkeyCurrentUser);
}

// Puts back the four values Outlook loads the add-in by; every other value of
// the key is the add-in's own and stays. False when the key or any value could
// not be written, so that the driver falls back to the user's own hive.
Boolean frmMain::WriteRegistration(platform::Handle root)
{
    CRegistry registry;
    bool written = registry.OpenKey(kAddinRegistrationKey, root, kRegistrationAccess) == 0;
    written = registry.PutLong(u"CommandLineSafe", 0) == 0 && written;
    written = registry.PutLong(u"LoadBehavior", 3) == 0 && written;
    written = registry.PutString(u"FriendlyName", kAddinName) == 0 && written;
    written = registry.PutString(u"Description", kAddinName) == 0 && written;
    return Boolean(written);
}

Boolean frmMain::UnregisterFiles()
{
    ShowProgress(u"Unregistering files...");
    const Boolean found = RunRegsvr32(u"*.dll", kUnregister, u"Unregistering ");
    if (!found) {
        ShowMessage(kMissingLibraryWarning, kTitle);
    }
    RunRegsvr32(u"*.ocx", kUnregister, u"Unregistering ");
    return True;
}

Boolean frmMain::RegisterFiles()
{
    ShowProgress(u"Registering files...");
    RunRegsvr32(u"*.dll", kRegister, u"Registering ");
    RunRegsvr32(u"*.ocx", kRegister, u"Registering ");
    return True;
}

// One pass over the add-in folder: launches regsvr32 on every file matching
// the mask, names it and pauses. True when the engine's main library was among them.
Boolean frmMain::RunRegsvr32(const Text& mask, const Text& commandPrefix, const Text& progressPrefix)
{
    CFileList files;
    files.FileNameMask(mask);
    files.FolderName(AddinFolder());

    // Named by its full path: a regsvr32.exe planted beside the tool or in the
    // current folder must never run with the tool's rights.
    const std::string regsvr32 = platform::Kernel().GetSystemDirectoryA() + "\\regsvr32.exe";
    Boolean found = False;
    const Long count = files.FileCount();
    for (Long i = 1; i <= count; ++i) {
        const Text name = files.FileName(i);
        if (LowerCase(name) == kMainLibrary) {
            found = True;
        }
        Text commandLine = commandPrefix;
        commandLine += u'"';
        commandLine += files.FolderName();
        commandLine += name;
        commandLine += u'"';
        platform::Launch().LaunchHidden(regsvr32, ToAnsi(commandLine));
        ShowProgress(progressPrefix + name);
        platform::Kernel().Sleep(kPauseMilliseconds);
    }
    return found;
}

Text frmMain::AddinFolder()
{
    const auto common = platform::Launch().GetEnvironmentVariableA("CommonProgramFiles");
    return FromAnsi(common.value_or("")) + u"\\Kestrin Software";
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
    windowing.DestroyWindow(form);
    windowing.PostQuitMessage(exitCode);
}

const Text& frmMain::Title()
{
    return kTitle;
}
