// The Application log as the tool reads it: opened by name, read backwards
// record after record until the system says it is past the oldest, every
// read a run of whole records. The fakes natively; Wine's own log, which
// holds nothing, in the contract run.
#include "World.h"
#include "loadcheck/OutlookEvents.h"
#include "platform/Handles.h"

#include <gtest/gtest.h>

namespace {

class EventLogScenario : public ::testing::TestWithParam<scenarios::WorldKind> {
protected:
    std::unique_ptr<scenarios::World> world = GetParam().make();
};

TEST_P(EventLogScenario, TheApplicationLogReadsBackwardsToItsEnd)
{
    auto& log = platform::EventLog();
    std::int32_t error = 0;
    const platform::UniqueEventLogHandle application(log.OpenEventLogA("Application", error));
    ASSERT_TRUE(application) << error;
    std::vector<std::uint8_t> buffer(64 * 1024);
    std::uint32_t read = 0;
    std::uint32_t needed = 0;
    int reads = 0;
    while (log.ReadEventLogA(application.Get(), platform::kEventlogSequentialRead | platform::kEventlogBackwardsRead,
                             buffer, read, needed, error) &&
           ++reads < 100000) {
        ASSERT_GT(read, 0u);
        EXPECT_TRUE(ParseEventRecords(std::span(buffer).first(read)).whole);
    }
    EXPECT_EQ(error, platform::kErrorHandleEof);
    EXPECT_EQ(read, 0u);
}

INSTANTIATE_TEST_SUITE_P(In, EventLogScenario, ::testing::ValuesIn(scenarios::Worlds()), scenarios::NameOfWorld);

} // namespace
