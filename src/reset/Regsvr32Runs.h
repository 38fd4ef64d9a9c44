#pragma once

#include "common/Boolean.h"
#include "common/Text.h"
#include "platform/Handles.h"
#include "platform/LaunchServices.h"
#include "scope/Edition.h"
#include "scope/RunLog.h"
#include "scope/RunReport.h"
#include "scope/RunView.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The regsvr32 runs of one reset: every component library ("*.dll") and then
// every control ("*.ocx") of the edition's folder, unregistered in one step and
// registered again in the next. Each run is started by the full path of the
// edition's regsvr32, given a pause of its own, and its process kept until
// its exit code is read; the waits for the runs still going are bounded and
// keep the window answering. What did not end as it should becomes lines of
// the report.
class Regsvr32Runs {
public:
    // Each file gets a second to itself.
    static constexpr std::uint32_t kPauseMilliseconds = 1000;
    // How long the runs of one step still going after their pauses may take in all.
    static constexpr std::uint32_t kWaitMilliseconds = 30000;
    // The step of the look at each run where the system cannot wait for them.
    static constexpr std::uint32_t kPollMilliseconds = 100;

    // log: where each run is told with its outcome; none for a check, which starts nothing.
    explicit Regsvr32Runs(const Edition& edition, RunLog* log = nullptr);

    // Ends by waiting for the unregistrations still running: one still
    // running when the same file is registered again would undo that
    // registration. False, with its line, when KROutlook.dll is missing,
    // which the user is also warned of in a box.
    Boolean UnregisterFiles(const RunView& view, RunReport& report);
    // A component that could not be registered leaves the add-in broken:
    // each such file gets its line. False when any did.
    Boolean RegisterFiles(const RunView& view, RunReport& report);
    // Reads only: KROutlook.dll missing from the folder, with the line UnregisterFiles gives it.
    void InspectMainLibrary(RunReport& report) const;

private:
    enum class Action { Unregister, Register };

    struct Run {
        Action action;
        Text fileName;
        Text commandLine;
        platform::UniqueProcessHandle process;
        bool started = false;
        bool stillUnregistering = false;
        bool finished = false;
        std::uint32_t exitCode = 0;
        // In the log already.
        bool told = false;
    };

    bool Pass(const Text& mask, Action action, const RunView& view);
    void Start(Action action, const Text& fileName, const Text& commandLine);
    void CollectEnded();
    void AwaitAll(Action action, const RunView& view);
    bool IsComponent(const Text& fileName);
    RunReport::Line MissingMainLibraryLine() const;
    bool MayRegister(const Text& fileName);
    bool AddProblems(RunReport& report) const;
    void Tell(Run& run) const;
    void ReadExitCodeIfEnded(Run& run) const;
    void Ended(Run& run) const;

    bool mInstalled;
    RunLog* mLog;
    Text mFolder;
    std::string mRegsvr32;
    platform::LaunchServices::SystemFolder mSystemFolder;
    platform::LaunchServices::Place mPlace;
    std::vector<Run> mRuns;
    // Whether each file listed is a component, read once for both steps.
    std::map<Text, bool> mComponents;
};
