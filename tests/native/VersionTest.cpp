#include "fakes/FakePlatform.h"
#include "process/CProcessList.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct VersionCase {
    std::uint32_t platformId;
    std::uint32_t major;
    std::uint32_t minor;
    bool win98;
    bool win2000;
    bool rawInputWakes; // a wait that also wakes for window events names raw input
};

class VersionFlags : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionFlags, FollowThePlatformAndVersionNumbers)
{
    const VersionCase c = GetParam();
    fakes::FakePlatform os;
    os.kernel.platformId = c.platformId;
    os.kernel.majorVersion = c.major;
    os.kernel.minorVersion = c.minor;
    CProcessList processes;
    EXPECT_EQ(processes.GetVersion(), static_cast<std::int32_t>(c.platformId));
    EXPECT_EQ(processes.IsWin98(), Boolean(c.win98));
    EXPECT_EQ(processes.IsWin2000(), Boolean(c.win2000));
    EXPECT_EQ((platform::WakeMaskFor(c.platformId, c.major, c.minor) & platform::kQsRawInput) != 0, c.rawInputWakes);
    EXPECT_EQ(platform::WakeMaskFor(c.platformId, c.major, c.minor) | platform::kQsRawInput, platform::kQsAllInput);
}

INSTANTIATE_TEST_SUITE_P(Windows, VersionFlags,
                         ::testing::Values(VersionCase{1, 4, 0, false, false, false}, // 95
                                           VersionCase{1, 4, 10, true, false, false}, // 98
                                           VersionCase{1, 4, 90, true, false, false}, // Me
                                           VersionCase{1, 3, 10, false, false, false},
                                           VersionCase{2, 5, 0, false, false, false},  // 2000
                                           VersionCase{2, 5, 1, false, true, true},    // XP
                                           VersionCase{2, 5, 2, false, true, true},    // 2003
                                           VersionCase{2, 6, 0, false, false, true},   // Vista
                                           VersionCase{2, 4, 0, false, false, false},  // NT 4
                                           VersionCase{2, 4, 90, false, false, false}, // no such NT 4
                                           VersionCase{2, 10, 0, false, false, true},  // 10 and 11
                                           VersionCase{1, 5, 1, true, false, false},
                                           VersionCase{3, 5, 1, false, false, false}));

TEST(Version, FlagsQueryThePlatformOnceOnAFreshObject)
{
    fakes::FakePlatform os;
    os.kernel.platformId = 1;
    os.kernel.majorVersion = 4;
    os.kernel.minorVersion = 10;
    CProcessList processes;
    EXPECT_EQ(processes.IsWin98(), True);
    EXPECT_EQ(os.kernel.versionQueries, 1);
    EXPECT_EQ(processes.IsWin2000(), False);
    EXPECT_EQ(processes.IsWin98(), True);
    EXPECT_EQ(os.kernel.versionQueries, 1);

    // GetVersion asks every time and refreshes the stored flags.
    os.kernel.platformId = 2;
    os.kernel.majorVersion = 5;
    os.kernel.minorVersion = 1;
    EXPECT_EQ(processes.GetVersion(), 2);
    EXPECT_EQ(processes.GetVersion(), 2);
    EXPECT_EQ(os.kernel.versionQueries, 3);
    EXPECT_EQ(processes.IsWin98(), False);
    EXPECT_EQ(processes.IsWin2000(), True);
}

TEST(Version, AFailedQueryGivesPlatformZeroAndNoFlags)
{
    fakes::FakePlatform os;
    os.kernel.versionCallFails = true;
    CProcessList processes;
    EXPECT_EQ(processes.GetVersion(), 0);
    EXPECT_EQ(processes.IsWin98(), False);
    EXPECT_EQ(processes.IsWin2000(), False);
}

} // namespace
