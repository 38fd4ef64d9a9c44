#include "reset/Regsvr32Runs.h"

#include "files/CFileList.h"
#include "files/PlainFile.h"
#include "pe/PeImage.h"
#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"
#include "scope/AppTexts.h"

#include <string>

namespace {

const Text kMainLibrary = u"kroutlook.dll";
// The system regsvr32's exit codes: the library did not load, it has no
// DllRegisterServer, its DllRegisterServer failed.
constexpr std::uint32_t kLoadLibraryFailed = 3;
constexpr std::uint32_t kNoEntryPoint = 4;
constexpr std::uint32_t kRegistrationFailed = 5;
const Text kMissingLibraryWarning = u"Warning: File KROutlook.dll has not been found.  Please contact " +
                                    kSupportAddress + u" about this problem.\r\nContinuing anyway...";

// The search also matches 8.3 names: "*.dll" lists "KROutlook.dll_old",
// whose short name ends in ".DLL". Only a long name of the mask's kind is a
// component; a backup copy registered after the library would take its class.
bool IsOfKind(const Text& name, const Text& mask)
{
    const Text extension = LowerCase(mask.substr(1));
    const Text lower = LowerCase(name);
    return lower.size() > extension.size() && lower.ends_with(extension);
}

// Where regsvr32, and what the libraries it loads need, look for a library:
// the add-in's folder and the system's folders, never the folder the tool
// was started in, nor a PATH that a user may have set for the tool's account.
platform::LaunchServices::Place PlaceOfRuns(const Text& addinFolder)
{
    const std::string system = platform::Kernel().GetSystemDirectoryA();
    const std::size_t separator = system.find_last_of('\\');
    std::optional<std::string> path;
    if (!system.empty()) {
        path = separator == std::string::npos ? system : system + ";" + system.substr(0, separator);
    }
    return {ToAnsi(addinFolder), path};
}

} // namespace

Regsvr32Runs::Regsvr32Runs(const Edition& edition, RunLog* log)
    : mInstalled(edition.installed), mLog(log), mFolder(edition.folder), mRegsvr32(edition.regsvr32),
      mSystemFolder(edition.regsvr32Folder), mPlace(PlaceOfRuns(edition.folder))
{
}

Boolean Regsvr32Runs::UnregisterFiles(const RunView& view, RunReport& report)
{
    if (!mInstalled) {
        return True;
    }
    view.ShowProgress(u"Unregistering files...");
    const bool found = Pass(u"*.dll", Action::Unregister, view);
    if (!found) {
        view.ShowMessage(kMissingLibraryWarning, kTitle);
        report.AddProblem(MissingMainLibraryLine());
    }
    Pass(u"*.ocx", Action::Unregister, view);
    AwaitAll(Action::Unregister, view);
    return Boolean(found);
}

// No reset registers a library that is not there: for a check, a line that no reset helps.
void Regsvr32Runs::InspectMainLibrary(RunReport& report) const
{
    if (mInstalled && !IsPlainFile(mFolder + u"\\KROutlook.dll")) {
        report.AddProblem(MissingMainLibraryLine(), RunReport::Cause::NoResetHelps);
    }
}

RunReport::Line Regsvr32Runs::MissingMainLibraryLine() const
{
    return {.text = u"- KROutlook.dll was not found in " + mFolder,
            .code = "mainLibraryMissing",
            .file = mFolder + u"\\KROutlook.dll"};
}

Boolean Regsvr32Runs::RegisterFiles(const RunView& view, RunReport& report)
{
    if (!mInstalled) {
        return True;
    }
    view.ShowProgress(u"Registering files...");
    Pass(u"*.dll", Action::Register, view);
    Pass(u"*.ocx", Action::Register, view);
    AwaitAll(Action::Register, view);
    const bool registered = AddProblems(report);
    // Lets go of every process still held.
    mRuns.clear();
    return Boolean(registered);
}

// One pass over the folder: launches regsvr32 on every file of the mask's
// kind, names it and pauses. True when the engine's main library was among them.
bool Regsvr32Runs::Pass(const Text& mask, Action action, const RunView& view)
{
    CFileList files;
    files.FileNameMask(mask);
    files.FolderName(mFolder);

    bool found = false;
    const Long count = files.FileCount();
    for (Long i = 1; i <= count; ++i) {
        const Text name = files.FileName(i);
        if (!IsOfKind(name, mask)) {
            continue;
        }
        found = found || LowerCase(name) == kMainLibrary;
        if (!IsComponent(name) || (action == Action::Register && !MayRegister(name))) {
            continue;
        }
        Text commandLine = action == Action::Register ? u"regsvr32 /s \"" : u"regsvr32 /u /s \"";
        commandLine += files.FolderName();
        commandLine += name;
        commandLine += u'"';
        Start(action, name, commandLine);
        view.ShowProgress((action == Action::Register ? u"Registering " : u"Unregistering ") + name);
        platform::Kernel().Sleep(kPauseMilliseconds);
        CollectEnded();
    }
    return found;
}

void Regsvr32Runs::Start(Action action, const Text& fileName, const Text& commandLine)
{
    Run& run = mRuns.emplace_back();
    run.action = action;
    run.fileName = fileName;
    run.commandLine = commandLine;
    // Named by its full path: a regsvr32.exe planted beside the tool or in the
    // current folder must never run with the tool's rights. Without the
    // system folder nothing is started at all.
    if (!mRegsvr32.empty()) {
        run.process.Reset(platform::Launch().LaunchHidden(mRegsvr32, ToAnsi(commandLine), mSystemFolder, mPlace));
    }
    run.started = static_cast<bool>(run.process);
    if (!run.started) {
        Tell(run);
    }
}

void Regsvr32Runs::CollectEnded()
{
    for (Run& run : mRuns) {
        ReadExitCodeIfEnded(run);
    }
}

void Regsvr32Runs::AwaitAll(Action action, const RunView& view)
{
    auto& kernel = platform::Kernel();
    const std::uint32_t start = kernel.GetTickCount();
    for (;;) {
        std::vector<Run*> awaited;
        std::vector<platform::Handle> handles;
        for (Run& run : mRuns) {
            if (run.action == action && run.process && handles.size() < platform::kMaxWaitHandles) {
                awaited.push_back(&run);
                handles.push_back(run.process.Get());
            }
        }
        const std::uint32_t elapsed = kernel.GetTickCount() - start;
        if (awaited.empty() || elapsed >= kWaitMilliseconds) {
            break;
        }
        const std::uint32_t woken = view.WaitForRuns(handles, kWaitMilliseconds - elapsed);
        if (woken < awaited.size()) {
            Ended(*awaited.at(woken));
        } else if (woken == RunView::kWaitEvents) {
            view.HandleEvents();
        } else if (woken != RunView::kWaitTimedOut) {
            // The wait itself failed: the runs are looked at in short steps instead, as long as a wait would last.
            kernel.Sleep(kPollMilliseconds);
            view.HandleEvents();
            CollectEnded();
        }
    }
    // A modal loop of the window (a drag, its system menu) may have outlasted
    // the time, and one wait holds at most 63 handles: each gets a last look.
    for (Run& run : mRuns) {
        if (run.action == action) {
            ReadExitCodeIfEnded(run);
            Tell(run);
        }
    }
}

// A library that exports no DllRegisterServer is no component but a plain
// library beside the add-in (its run-time, a helper): regsvr32 could only
// fail on it. One whose exports cannot be read is handed to regsvr32, which
// tells what it is, and so is KROutlook.dll always: the add-in is nothing
// without its registration, and regsvr32's answer names why it failed.
bool Regsvr32Runs::IsComponent(const Text& fileName)
{
    const auto known = mComponents.find(fileName);
    if (known != mComponents.end()) {
        return known->second;
    }
    const bool component = LowerCase(fileName) == kMainLibrary ||
                           ExportsFunction(ReadImage(mFolder + u"\\" + fileName), "DllRegisterServer") != false;
    mComponents.emplace(fileName, component);
    return component;
}

// False while the file's unregistration still runs, which would undo a
// registration started now: the file is then named instead of registered.
bool Regsvr32Runs::MayRegister(const Text& fileName)
{
    bool unregistering = false;
    for (Run& run : mRuns) {
        if (run.action == Action::Unregister && run.fileName == fileName) {
            ReadExitCodeIfEnded(run);
            unregistering = unregistering || static_cast<bool>(run.process);
        }
    }
    if (unregistering) {
        Run& skipped = mRuns.emplace_back();
        skipped.action = Action::Register;
        skipped.fileName = fileName;
        skipped.stillUnregistering = true;
        Tell(skipped);
    }
    return !unregistering;
}

// One line for each file that was not registered as it should be, in the
// order of the files; false when there was any. The system regsvr32's own
// codes are told in words, their number kept.
bool Regsvr32Runs::AddProblems(RunReport& report) const
{
    bool registered = true;
    for (const Run& run : mRuns) {
        if (run.action != Action::Register) {
            continue;
        }
        Text what;
        std::string code;
        auto cause = RunReport::Cause::Other;
        if (run.stillUnregistering) {
            what = u" did not finish unregistering", code = "componentStillUnregistering";
        } else if (!run.started) {
            what = u" could not be started", code = "componentNotStarted";
        } else if (!run.finished) {
            what = u" did not finish registering", code = "componentUnfinished";
        } else if (run.exitCode != 0) {
            const Text number = u" (error " + TextOfAscii(std::to_string(run.exitCode)) + u")";
            switch (run.exitCode) {
            case kLoadLibraryFailed:
                what = u" could not be loaded" + number, code = "componentNotLoaded";
                cause = LowerCase(run.fileName) == kMainLibrary ? RunReport::Cause::MainLibraryNotLoaded
                                                                : RunReport::Cause::LibraryNotLoaded;
                break;
            case kNoEntryPoint:
                what = u" has no registration entry point" + number, code = "componentNoEntryPoint";
                break;
            case kRegistrationFailed:
                what = u" refused to register" + number, code = "componentRefused";
                break;
            default:
                what = u" could not be registered" + number, code = "componentFailed";
                break;
            }
        }
        if (!what.empty()) {
            RunReport::Line line = {.text = u"- " + run.fileName + what,
                                    .code = code,
                                    .file = mFolder + u"\\" + run.fileName,
                                    .error = run.finished ? std::optional(run.exitCode) : std::nullopt};
            report.AddProblem(std::move(line), cause);
            registered = false;
        }
    }
    return registered;
}

// Each run, as the administrator reads it later: its command line and how
// it ended, told as it ends, so that a reset cut short shows how far it came.
void Regsvr32Runs::Tell(Run& run) const
{
    if (mLog == nullptr || run.told) {
        return;
    }
    run.told = true;
    if (run.stillUnregistering) {
        mLog->Note(run.fileName + u" was not registered: its unregistration had not ended", RunLog::Severity::Warning);
    } else if (!run.started) {
        mLog->Note(run.commandLine + u": could not be started", RunLog::Severity::Warning);
    } else if (!run.finished) {
        mLog->Note(run.commandLine + u": had not ended after 30 seconds", RunLog::Severity::Warning);
    } else {
        mLog->Note(run.commandLine + u": exit code " + TextOfAscii(std::to_string(run.exitCode)),
                   run.exitCode == 0 ? RunLog::Severity::Information : RunLog::Severity::Warning);
    }
}

// The exit code of a run that has ended by now; one still running keeps its process.
void Regsvr32Runs::ReadExitCodeIfEnded(Run& run) const
{
    std::uint32_t exitCode = 0;
    if (run.process && platform::Kernel().GetExitCodeProcess(run.process.Get(), exitCode) &&
        exitCode != platform::kStillActive) {
        run.finished = true;
        run.exitCode = exitCode;
        run.process.Reset();
        Tell(run);
    }
}

// A run whose process the wait saw end: one whose exit code cannot be read counts as unfinished.
void Regsvr32Runs::Ended(Run& run) const
{
    std::uint32_t exitCode = 0;
    run.finished = platform::Kernel().GetExitCodeProcess(run.process.Get(), exitCode);
    run.exitCode = exitCode;
    run.process.Reset();
    if (run.finished) {
        Tell(run);
    }
}
