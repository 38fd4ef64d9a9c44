#pragma once

#include "common/Text.h"
#include "platform/Handles.h"
#include "platform/LaunchServices.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The regsvr32 runs of one reset. Each is started by the full path of the
// system's own regsvr32.exe and its process kept until its exit code is read;
// the waits for the runs still going are bounded and keep the window
// answering. What did not end as it should becomes lines of the final box.
class Regsvr32Runs {
public:
    enum class Action { Unregister, Register };

    Regsvr32Runs() = default;
    // regsvr32: its full path, empty when there is none to start.
    Regsvr32Runs(std::string regsvr32, platform::LaunchServices::SystemFolder systemFolder);

    // Starts the command line on one file, window hidden, and keeps its process.
    void Start(Action action, const Text& fileName, const Text& commandLine);
    // Reads the exit code of every run that has ended by now and lets its process go.
    void CollectEnded();
    // Waits for the runs of the action still going, 30 seconds at most in all.
    void AwaitAll(Action action);
    // False while the file's unregistration still runs, which would undo a
    // registration started now: the file is then named instead of registered.
    bool MayRegister(const Text& fileName);
    // One line for each file that was not registered as it should be, in the order of the files.
    std::vector<Text> Problems() const;

private:
    struct Run {
        Action action;
        Text fileName;
        platform::UniqueProcessHandle process;
        bool started = false;
        bool stillUnregistering = false;
        bool finished = false;
        std::uint32_t exitCode = 0;
    };

    static void ReadExitCodeIfEnded(Run& run);
    static void Ended(Run& run);

    std::string mRegsvr32;
    platform::LaunchServices::SystemFolder mSystemFolder = platform::LaunchServices::SystemFolder::AsRedirected;
    std::vector<Run> mRuns;
};
