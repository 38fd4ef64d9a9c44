#pragma once

#include "platform/EventLogServices.h"

#include <string>
#include <vector>

namespace fakes {

// The Application log in memory: the events reported, by the source they were reported through.
class FakeEventLog : public platform::EventLogServices {
public:
    struct Event {
        std::string source;
        std::uint16_t type;
        std::uint32_t id;
        std::vector<std::string> strings;
    };

    // Failures to inject.
    bool registrationFails = false;
    bool reportFails = false;

    std::vector<Event> events;
    int openSources = 0;

    platform::Handle RegisterEventSourceA(const std::string& source) override
    {
        if (registrationFails) {
            return 0;
        }
        mSources.push_back(source);
        ++openSources;
        return static_cast<platform::Handle>(mSources.size());
    }
    bool ReportEventA(platform::Handle log, std::uint16_t type, std::uint32_t eventId,
                      const std::vector<std::string>& strings) override
    {
        if (reportFails || log == 0 || log > mSources.size()) {
            return false;
        }
        events.push_back({mSources[log - 1], type, eventId, strings});
        return true;
    }
    bool DeregisterEventSource(platform::Handle log) override
    {
        --openSources;
        return log != 0;
    }

private:
    std::vector<std::string> mSources;
};

} // namespace fakes
