#include "app/frmMain.h"

#include "app/DisabledItemRecord.h"
#include "files/CFileList.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "process/CProcessList.h"
#include "registry/CRegistry.h"

#include <cstdlib>
#include <string>
#include <utility>

namespace {

const Text kTitle = u"Kestrin Software Add-Ins Reset";
const Text kOutlookWarningTitle = u"Reset Outlook AddIns";
const Text kOutlookWarning = u"Warning: Outlook is running.  Exit Outlook or reboot your machine and try again.";
const Text kSuccess = u"Successfully reset Kestrin Software add-ins.";
const Text kOutlookExe = u"outlook.exe";

const Text kOfficeKey = u"Software\\Microsoft\\Office\\";
const Text kAddinRegistrationKey = kOfficeKey + u"Outlook\\Addins\\KestrinSoftware.Connect\\";
const Text kWindowsKey = u"Software\\Microsoft\\Windows\\CurrentVersion";
const Text kDisabledItemsKey = u"\\Outlook\\Resiliency\\DisabledItems";
const Text kAddinName = u"Kestrin Software Add-In Engine";
// Query, set, create subkey, enumerate, notify and create link: all the rewrite needs, nothing more.
constexpr std::int32_t kRegistrationAccess = 63;

const Text kSupportAddress = u"support@kestrinsoftware.com";
const Text kMainLibrary = u"kroutlook.dll";
const Text kMissingLibraryWarning = u"Warning: File KROutlook.dll has not been found.  Please contact " +
                                    kSupportAddress + u" about this problem.\r\nContinuing anyway...";
const Text kUnregister = u"regsvr32 /u /s ";
const Text kRegister = u"regsvr32 /s ";
// Each registration gets a second to itself.
constexpr std::uint32_t kPauseMilliseconds = 1000;
// How long all registrations still running after their pause may take in all.
constexpr std::uint32_t kRegistrationWaitMilliseconds = 30000;
constexpr std::int32_t kNoMoreItems = 259;

const Text kFinishedWithErrors = u"Reset finished with errors.";
const Text kNotFullyReset = u"Kestrin Software add-ins were not fully reset:";
const Text kRegistrationNotWritten = u"- the add-in's registration could not be written";
const Text kRecordNotRemoved = u"- Outlook's record of the disabled add-in could not be removed";
const Text kRunAsAdministrator =
    u"Please run this program as an administrator, or contact " + kSupportAddress + u" about this problem.";

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

void frmMain::cmdReset_Click()
{
    mProblems.clear();
    if (VerifyOutlookClosed()) {
        Boolean written = CheckHKLMKeys();
        // A per-user registration outweighs the machine's: Office writes one to disable an add-in.
        if (!written || HasUserRegistration()) {
            written = CheckHKCUKeys();
        }
        if (!written) {
            mProblems.push_back(kRegistrationNotWritten);
        }
        if (!CheckDisabledItems()) {
            mProblems.push_back(kRecordNotRemoved);
        }
        UnregisterFiles();
        RegisterFiles();
        ShowOutcome();
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

// Tested with an open that never creates, so that a user without one keeps none.
Boolean frmMain::HasUserRegistration()
{
    CRegistry user;
    return Boolean(user.OpenExistingKey(kAddinRegistrationKey, platform::kHkeyCurrentUser, platform::kKeyRead) == 0);
}

// Outlook ignores LoadBehavior while it keeps a record of having disabled the
// add-in after a crash; its own Disabled Items dialog re-enables by deleting
// that record, and so does this step. False when a record stayed.
Boolean frmMain::CheckDisabledItems()
{
    ShowProgress(u"Checking Outlook's disabled add-ins...");
    CRegistry office;
    if (office.OpenExistingKey(kOfficeKey, platform::kHkeyCurrentUser, platform::kKeyRead) != 0) {
        return True;
    }
    const Text folder = AddinFolder();
    bool removed = true;
    Text version = office.FindFirst();
    for (Long next = 1; !version.empty(); ++next) {
        removed = RemoveDisabledRecords(version, folder) && removed;
        version = office.FindNext(next);
    }
    return Boolean(removed);
}

Boolean frmMain::RemoveDisabledRecords(const Text& officeVersion, const Text& addinFolder)
{
    const Text path = kOfficeKey + officeVersion + kDisabledItemsKey;
    CRegistry items;
    if (items.OpenExistingKey(path, platform::kHkeyCurrentUser, platform::kKeyRead) != 0) {
        return True;
    }
    // Collected first: deleting a value renumbers the ones after it.
    std::vector<CRegistry::RawValue> records;
    CRegistry::RawValue value;
    Long index = 0;
    Long status = 0;
    while ((status = items.ReadValue(index, value)) == 0) {
        if (IsAddinDisabledRecord(value.type, value.data, addinFolder, kAddinName)) {
            records.push_back(std::move(value));
        }
        ++index;
    }
    // A listing cut short may have hidden a record.
    bool removed = status == kNoMoreItems;
    if (records.empty()) {
        return Boolean(removed);
    }
    CRegistry writer;
    if (writer.OpenExistingKey(path, platform::kHkeyCurrentUser, platform::kKeySetValue) != 0) {
        return False;
    }
    for (const CRegistry::RawValue& record : records) {
        removed = writer.DeleteValue(record) == 0 && removed;
    }
    return Boolean(removed);
}

Boolean frmMain::UnregisterFiles()
{
    ShowProgress(u"Unregistering files...");
    const Boolean found = RunRegsvr32(u"*.dll", kUnregister, u"Unregistering ", nullptr);
    if (!found) {
        ShowMessage(kMissingLibraryWarning, kTitle);
    }
    RunRegsvr32(u"*.ocx", kUnregister, u"Unregistering ", nullptr);
    return True;
}

// A component that could not be registered leaves the add-in broken: every
// such file gets its line in the final box. False when any did.
Boolean frmMain::RegisterFiles()
{
    ShowProgress(u"Registering files...");
    std::vector<Registration> registrations;
    RunRegsvr32(u"*.dll", kRegister, u"Registering ", &registrations);
    RunRegsvr32(u"*.ocx", kRegister, u"Registering ", &registrations);
    AwaitRegistrations(registrations);

    const std::size_t problemsBefore = mProblems.size();
    for (const Registration& registration : registrations) {
        if (!registration.started) {
            mProblems.push_back(u"- " + registration.name + u" could not be started");
        } else if (!registration.finished) {
            mProblems.push_back(u"- " + registration.name + u" did not finish registering");
        } else if (registration.exitCode != 0) {
            mProblems.push_back(u"- " + registration.name + u" could not be registered (error " +
                                TextOfAscii(std::to_string(registration.exitCode)) + u")");
        }
    }
    return Boolean(mProblems.size() == problemsBefore);
}

// One pass over the add-in folder: launches regsvr32 on every file matching
// the mask, names it and pauses. When registrations is given, each file's
// process is kept there to be judged; otherwise it runs on unobserved.
// True when the engine's main library was among the files.
Boolean frmMain::RunRegsvr32(const Text& mask, const Text& commandPrefix, const Text& progressPrefix,
                             std::vector<Registration>* registrations)
{
    CFileList files;
    files.FileNameMask(mask);
    files.FolderName(AddinFolder());

    // Named by its full path: a regsvr32.exe planted beside the tool or in the
    // current folder must never run with the tool's rights. Without the
    // system folder nothing is started at all.
    const std::string systemFolder = platform::Kernel().GetSystemDirectoryA();
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
        platform::UniqueProcessHandle process;
        if (!systemFolder.empty()) {
            process.Reset(platform::Launch().LaunchHidden(systemFolder + "\\regsvr32.exe", ToAnsi(commandLine)));
        }
        ShowProgress(progressPrefix + name);
        platform::Kernel().Sleep(kPauseMilliseconds);
        if (registrations != nullptr) {
            Registration& registration = registrations->emplace_back();
            registration.name = name;
            registration.started = static_cast<bool>(process);
            registration.process = std::move(process);
            ReadExitCode(registration);
        }
    }
    return found;
}

// Keeps the window answering while the last registrations finish, for 30
// seconds at most in all.
void frmMain::AwaitRegistrations(std::vector<Registration>& registrations) const
{
    auto& kernel = platform::Kernel();
    auto& windowing = platform::Windowing();
    const std::uint32_t start = kernel.GetTickCount();
    for (;;) {
        std::vector<Registration*> running;
        std::vector<platform::Handle> handles;
        for (Registration& registration : registrations) {
            if (registration.process && handles.size() < platform::kMaxWaitHandles) {
                running.push_back(&registration);
                handles.push_back(registration.process.Get());
            }
        }
        const std::uint32_t elapsed = kernel.GetTickCount() - start;
        if (running.empty() || elapsed >= kRegistrationWaitMilliseconds) {
            return;
        }
        const std::uint32_t woken =
            windowing.MsgWaitForMultipleObjects(handles, kRegistrationWaitMilliseconds - elapsed);
        if (woken < running.size()) {
            Registration& ended = *running[woken];
            std::uint32_t exitCode = 0;
            ended.finished = kernel.GetExitCodeProcess(ended.process.Get(), exitCode);
            ended.exitCode = exitCode;
            ended.process.Reset();
        } else if (woken == running.size()) {
            windowing.ProcessPendingEvents();
        } else {
            return;
        }
    }
}

// The exit code of a registration that has ended by now; one still running keeps its handle.
void frmMain::ReadExitCode(Registration& registration)
{
    std::uint32_t exitCode = 0;
    if (registration.process && platform::Kernel().GetExitCodeProcess(registration.process.Get(), exitCode) &&
        exitCode != platform::kStillActive) {
        registration.finished = true;
        registration.exitCode = exitCode;
        registration.process.Reset();
    }
}

Text frmMain::AddinFolder()
{
    Text common = FromAnsi(platform::Launch().GetEnvironmentVariableA("CommonProgramFiles").value_or(""));
    // The 9x line and NT 4 have no such variable; their registry names the folder.
    if (common.empty()) {
        CRegistry windows;
        if (windows.OpenExistingKey(kWindowsKey, platform::kHkeyLocalMachine, platform::kKeyRead) == 0) {
            common = windows.GetString(u"CommonFilesDir", Text());
        }
    }
    return common + u"\\Kestrin Software";
}

void frmMain::ShowOutcome() const
{
    if (mProblems.empty()) {
        ShowProgress(kSuccess);
        ShowMessage(kSuccess, kTitle);
        return;
    }
    ShowProgress(kFinishedWithErrors);
    Text text = kNotFullyReset;
    for (const Text& problem : mProblems) {
        text += u"\r\n" + problem;
    }
    text += u"\r\n\r\n" + kRunAsAdministrator;
    ShowMessage(text, kTitle);
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
