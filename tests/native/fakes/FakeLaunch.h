#pragma once

#include "fakes/FakeKernel.h"
#include "fakes/FakeRegistry.h"
#include "platform/LaunchServices.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fakes {

// The environment and program launches, in memory. Each launch starts a
// process in the kernel's table, which ends as its file's outcome says;
// launches are written to the journal beside the other fakes' events. A
// registration of KROutlook.dll that succeeds registers the add-in's class
// for the machine, as the real library does.
class FakeLaunch : public platform::LaunchServices {
public:
    struct Launched {
        std::string applicationName;
        std::string commandLine;
        SystemFolder systemFolder;
        Place place;
    };

    // What the program started on one file does.
    struct Outcome {
        bool starts = true;
        std::optional<std::uint32_t> runsFor = 100; // milliseconds; for ever when unset
        std::uint32_t exitCode = 0;
    };

    static constexpr const char* kClsid = "{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}";

    FakeLaunch(FakeKernel& kernel, FakeRegistry& registry) : mKernel(kernel), mRegistry(registry) {}

    std::map<std::string, std::string> environment;
    std::vector<Launched> launches;
    // By the file name the command line ends with, for registering and for
    // unregistering ("/u") command lines; the default Outcome for others.
    std::map<std::string, Outcome> outcomes;
    std::map<std::string, Outcome> unregisterOutcomes;
    std::vector<std::string>* journal = nullptr;
    // What a started program does to the registry as it starts, by its command line.
    std::function<void(const std::string&)> onLaunch;

    std::optional<std::string> GetEnvironmentVariableA(const std::string& name) override
    {
        const auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

    // %NAME% of a set variable is replaced; anything else stays, as Windows leaves it.
    std::string ExpandEnvironmentStringsA(const std::string& text) override
    {
        std::string expanded;
        std::size_t at = 0;
        for (;;) {
            const std::size_t open = text.find('%', at);
            const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
            if (close == std::string::npos) {
                return expanded + text.substr(at);
            }
            const auto value = GetEnvironmentVariableA(text.substr(open + 1, close - open - 1));
            expanded += text.substr(at, (value ? open : close) - at) + value.value_or("");
            at = value ? close + 1 : close;
        }
    }

    platform::Handle LaunchHidden(const std::string& applicationName, const std::string& commandLine,
                                  SystemFolder systemFolder, const Place& place) override
    {
        launches.push_back({applicationName, commandLine, systemFolder, place});
        if (onLaunch) {
            onLaunch(commandLine);
        }
        if (journal != nullptr) {
            journal->push_back("launch " + commandLine);
        }
        const Outcome outcome = OutcomeOf(commandLine);
        const std::string mainLibrary = "\\kroutlook.dll\"";
        std::string lower = commandLine;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        if (outcome.starts && outcome.exitCode == 0 && lower.find(" /u ") == std::string::npos &&
            lower.size() > mainLibrary.size() && lower.ends_with(mainLibrary)) {
            const std::string path = commandLine.substr(commandLine.find('"') + 1);
            // The 64-bit regsvr32 registers in the 64-bit view.
            std::string program = applicationName;
            std::transform(program.begin(), program.end(), program.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            const platform::Handle machine =
                program.find("\\sysnative\\") != std::string::npos || systemFolder == SystemFolder::Native
                    ? FakeRegistry::kLocalMachine64
                    : platform::kHkeyLocalMachine;
            const std::string classes = "Software\\Classes\\";
            mRegistry.SetText(machine, classes + "KestrinSoftware.Connect\\CLSID", "", kClsid);
            mRegistry.SetText(machine, classes + "CLSID\\" + kClsid + "\\InprocServer32", "",
                              path.substr(0, path.size() - 1));
        }
        return outcome.starts ? mKernel.StartProcess(applicationName, outcome.runsFor, outcome.exitCode) : 0;
    }

private:
    Outcome OutcomeOf(const std::string& commandLine) const
    {
        const bool unregistering = commandLine.find(" /u ") != std::string::npos;
        for (const auto& [file, outcome] : unregistering ? unregisterOutcomes : outcomes) {
            const std::string tail = "\\" + file + "\"";
            if (commandLine.size() >= tail.size() &&
                commandLine.compare(commandLine.size() - tail.size(), tail.size(), tail) == 0) {
                return outcome;
            }
        }
        return Outcome();
    }

    FakeKernel& mKernel;
    FakeRegistry& mRegistry;
};

} // namespace fakes
