#pragma once

#include "platform/LaunchServices.h"

#include <map>
#include <string>
#include <vector>

namespace fakes {

// The environment and program launches, in memory; launches are written to
// the journal beside the other fakes' events.
class FakeLaunch : public platform::LaunchServices {
public:
    struct Launched {
        std::string applicationName;
        std::string commandLine;
    };

    std::map<std::string, std::string> environment;
    std::vector<Launched> launches;
    std::vector<std::string>* journal = nullptr;

    std::optional<std::string> GetEnvironmentVariableA(const std::string& name) override
    {
        const auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

    bool LaunchHidden(const std::string& applicationName, const std::string& commandLine) override
    {
        launches.push_back({applicationName, commandLine});
        if (journal != nullptr) {
            journal->push_back("launch " + commandLine);
        }
        return true;
    }
};

} // namespace fakes
