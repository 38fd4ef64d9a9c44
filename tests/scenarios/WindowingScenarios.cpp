// The window events of a run: the fakes natively, the system's own message
// queue in the contract run.
#include "World.h"

#include <gtest/gtest.h>

namespace {

class WindowingScenario : public ::testing::TestWithParam<scenarios::WorldKind> {
protected:
    std::unique_ptr<scenarios::World> world = GetParam().make();
};

// A quit that arrives while a run handles events is kept for the event loop:
// posted back, it would wake every wait of the run at once.
TEST_P(WindowingScenario, QuitTakenWhileHandlingEventsIsKeptForTheEventLoop)
{
    auto& windowing = platform::Windowing();
    windowing.PostQuitMessage(7);
    windowing.ProcessPendingEvents();
    EXPECT_EQ(windowing.MsgWaitForMultipleObjects({}, 200), platform::kWaitTimeout);
    EXPECT_EQ(windowing.RunEventLoop(), 7);
}

INSTANTIATE_TEST_SUITE_P(In, WindowingScenario, ::testing::ValuesIn(scenarios::Worlds()), scenarios::NameOfWorld);

} // namespace
