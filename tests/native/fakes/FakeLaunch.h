#pragma once

#include "fakes/FakeKernel.h"
#include "platform/LaunchServices.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fakes {

// The environment and program launches, in memory. Each launch starts a
// process in the kernel's table, which ends as its file's outcome says;
// launches are written to the journal beside the other fakes' events.
class FakeLaunch : public platform::LaunchServices {
public:
    struct Launched {
        std::string applicationName;
        std::string commandLine;
    };

    // What the program started on one file does.
    struct Outcome {
        bool starts = true;
        std::optional<std::uint32_t> runsFor = 100; // milliseconds; for ever when unset
        std::uint32_t exitCode = 0;
    };

    explicit FakeLaunch(FakeKernel& kernel) : mKernel(kernel) {}

    std::map<std::string, std::string> environment;
    std::vector<Launched> launches;
    // By the file name the command line ends with, for registering and for
    // unregistering ("/u") command lines; the default Outcome for others.
    std::map<std::string, Outcome> outcomes;
    std::map<std::string, Outcome> unregisterOutcomes;
    std::vector<std::string>* journal = nullptr;

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

    platform::Handle LaunchHidden(const std::string& applicationName, const std::string& commandLine) override
    {
        launches.push_back({applicationName, commandLine});
        if (journal != nullptr) {
            journal->push_back("launch " + commandLine);
        }
        const Outcome outcome = OutcomeOf(commandLine);
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
};

} // namespace fakes
