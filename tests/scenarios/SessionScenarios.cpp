// The user's session: the window events of a run, the user the tool runs
// as and the Application log it reads; the fakes natively, the system's own
// in the contract run.
#include "World.h"
#include "loadcheck/OutlookEvents.h"
#include "platform/Handles.h"

#include <gtest/gtest.h>

namespace {

class SessionScenario : public ::testing::TestWithParam<scenarios::WorldKind> {
protected:
    std::unique_ptr<scenarios::World> world = GetParam().make();
};

// A quit that arrives while a run handles events is kept for the event loop:
// posted back, it would wake every wait of the run at once.
TEST_P(SessionScenario, QuitTakenWhileHandlingEventsIsKeptForTheEventLoop)
{
    auto& windowing = platform::Windowing();
    windowing.PostQuitMessage(7);
    windowing.ProcessPendingEvents();
    EXPECT_EQ(windowing.MsgWaitForMultipleObjects({}, 200), platform::kWaitTimeout);
    EXPECT_EQ(windowing.RunEventLoop(), 7);
}

// The tool's own user reads as a SID, as its text and as an account name,
// the forms in which it compares the signed-in user and names it.
TEST_P(SessionScenario, TheToolsOwnUserReadsAsASidWithTextAndName)
{
    auto& security = platform::Security();
    platform::Handle opened = 0;
    ASSERT_TRUE(security.OpenProcessToken(platform::kCurrentProcess, platform::kTokenQuery, opened));
    const platform::UniqueTokenHandle token(opened);
    const auto user = security.GetTokenUser(token.Get());
    ASSERT_TRUE(user);
    const auto text = security.ConvertSidToStringSidA(*user);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("S-1-5-", 0), 0u) << *text;
    const auto account = security.LookupAccountSidA(*user);
    ASSERT_TRUE(account);
    EXPECT_FALSE(account->second.empty());
}

// The Application log as the tool reads it: opened by name, read backwards
// record after record until the system says it is past the oldest, every
// read a run of whole records (Wine's holds nothing).
TEST_P(SessionScenario, TheApplicationLogReadsBackwardsToItsEnd)
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

INSTANTIATE_TEST_SUITE_P(In, SessionScenario, ::testing::ValuesIn(scenarios::Worlds()), scenarios::NameOfWorld);

} // namespace
