#include "app/Regsvr32Runs.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"

#include <string>
#include <utility>

namespace {

// How long the runs of one step still going after their pauses may take in all.
constexpr std::uint32_t kWaitMilliseconds = 30000;

} // namespace

Regsvr32Runs::Regsvr32Runs(std::string regsvr32, platform::LaunchServices::SystemFolder systemFolder)
    : mRegsvr32(std::move(regsvr32)), mSystemFolder(systemFolder)
{
}

void Regsvr32Runs::Start(Action action, const Text& fileName, const Text& commandLine)
{
    Run& run = mRuns.emplace_back();
    run.action = action;
    run.fileName = fileName;
    // Named by its full path: a regsvr32.exe planted beside the tool or in the
    // current folder must never run with the tool's rights. Without the
    // system folder nothing is started at all.
    if (!mRegsvr32.empty()) {
        run.process.Reset(platform::Launch().LaunchHidden(mRegsvr32, ToAnsi(commandLine), mSystemFolder));
    }
    run.started = static_cast<bool>(run.process);
}

void Regsvr32Runs::CollectEnded()
{
    for (Run& run : mRuns) {
        ReadExitCodeIfEnded(run);
    }
}

void Regsvr32Runs::AwaitAll(Action action)
{
    auto& kernel = platform::Kernel();
    auto& windowing = platform::Windowing();
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
        const std::uint32_t woken = windowing.MsgWaitForMultipleObjects(handles, kWaitMilliseconds - elapsed);
        if (woken < awaited.size()) {
            Ended(*awaited.at(woken));
        } else if (woken == awaited.size()) {
            windowing.ProcessPendingEvents();
        } else {
            break;
        }
    }
    // A modal loop of the window (a drag, its system menu) may have outlasted
    // the time, and one wait holds at most 63 handles: each gets a last look.
    for (Run& run : mRuns) {
        if (run.action == action) {
            ReadExitCodeIfEnded(run);
        }
    }
}

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
    }
    return !unregistering;
}

std::vector<Text> Regsvr32Runs::Problems() const
{
    std::vector<Text> lines;
    for (const Run& run : mRuns) {
        if (run.action != Action::Register) {
            continue;
        }
        if (run.stillUnregistering) {
            lines.push_back(u"- " + run.fileName + u" did not finish unregistering");
        } else if (!run.started) {
            lines.push_back(u"- " + run.fileName + u" could not be started");
        } else if (!run.finished) {
            lines.push_back(u"- " + run.fileName + u" did not finish registering");
        } else if (run.exitCode != 0) {
            lines.push_back(u"- " + run.fileName + u" could not be registered (error " +
                            TextOfAscii(std::to_string(run.exitCode)) + u")");
        }
    }
    return lines;
}

// The exit code of a run that has ended by now; one still running keeps its process.
void Regsvr32Runs::ReadExitCodeIfEnded(Run& run)
{
    std::uint32_t exitCode = 0;
    if (run.process && platform::Kernel().GetExitCodeProcess(run.process.Get(), exitCode) &&
        exitCode != platform::kStillActive) {
        run.finished = true;
        run.exitCode = exitCode;
        run.process.Reset();
    }
}

// A run whose process the wait saw end: one whose exit code cannot be read counts as unfinished.
void Regsvr32Runs::Ended(Run& run)
{
    std::uint32_t exitCode = 0;
    run.finished = platform::Kernel().GetExitCodeProcess(run.process.Get(), exitCode);
    run.exitCode = exitCode;
    run.process.Reset();
}
