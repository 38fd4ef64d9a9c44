// CProcessList where only the fakes can stage the process table; the
// scenarios a real system can stage are in tests/scenarios.
#include "process/CProcessList.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every test ends with no handle left open, whatever path it took.
class ProcessListTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(os.kernel.OpenHandleCount(), 0) << "a handle was left open"; }

    void UseNT() { os.kernel.platformId = 2; }
    void Use9x()
    {
        os.kernel.platformId = 1;
        os.kernel.majorVersion = 4;
        os.kernel.minorVersion = 10;
    }

    void AddTypicalDesktop()
    {
        os.kernel.AddProcess(4, "C:\\WINDOWS\\system32\\smss.exe");
        os.kernel.AddProcess(8, "C:\\WINDOWS\\Explorer.EXE");
        os.kernel.AddProcess(12, "C:\\Program Files\\Microsoft Office\\Office14\\OUTLOOK.EXE");
        os.kernel.AddProcess(16, "C:\\WINDOWS\\notepad.exe");
    }

    int TerminationOpens() const
    {
        return static_cast<int>(
            std::count(os.kernel.openAccesses.begin(), os.kernel.openAccesses.end(), platform::kProcessAllAccess));
    }

    fakes::FakePlatform os;
    CProcessList processes;
};

TEST_F(ProcessListTest, ListedNameMustBeTheWholeLastComponent)
{
    UseNT();
    os.kernel.AddProcess(4, "C:\\tools\\outlook.exe.bak");
    os.kernel.AddProcess(8, "C:\\tools\\myoutlook.exe");
    os.kernel.AddProcess(12, "C:\\outlook.exe\\viewer.exe");
    os.kernel.AddProcess(16, "C:\\tools/outlook.exe");
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), False);
    EXPECT_EQ(processes.ProcessCount(), 0);
}

TEST_F(ProcessListTest, NineXEntriesWithoutPathOrInMixedCaseMatch)
{
    Use9x();
    os.kernel.AddProcess(4, "ignored").exeFile = "KERNEL32.DLL";
    os.kernel.AddProcess(8, "ignored").exeFile = "OutLook.exe";
    os.kernel.AddProcess(12, "ignored").exeFile = "C:\\PROGRA~1\\MICROS~1\\OFFICE\\OUTLOOK.EXE";
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), True);
    EXPECT_EQ(processes.ProcessCount(), 2);
}

TEST_F(ProcessListTest, TwoInstancesCountTwoAndTerminationTakesTheLast)
{
    for (const bool nt : {true, false}) {
        nt ? UseNT() : Use9x();
        os.kernel.processes.clear();
        os.kernel.AddProcess(4, "C:\\Office\\OUTLOOK.EXE");
        os.kernel.AddProcess(8, "C:\\WINDOWS\\Explorer.EXE");
        os.kernel.AddProcess(12, "C:\\Other\\outlook.exe");
        os.kernel.AddProcess(16, "C:\\WINDOWS\\notepad.exe");
        EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), True);
        EXPECT_EQ(processes.ProcessCount(), 2);

        EXPECT_EQ(processes.ForceProcessTermination(u"outlook.exe"), True);
        EXPECT_TRUE(os.kernel.processes[2].terminated) << "the last match goes";
        EXPECT_FALSE(os.kernel.processes[0].terminated) << "only one per call";
        EXPECT_EQ(os.kernel.terminateExitCodes.back(), 0xFFFFFFFFu);

        // The second call lists afresh and so finds the first instance.
        EXPECT_EQ(processes.ForceProcessTermination(u"outlook.exe"), True);
        EXPECT_TRUE(os.kernel.processes[0].terminated);
        EXPECT_EQ(processes.ForceProcessTermination(u"outlook.exe"), False);
    }
}

TEST_F(ProcessListTest, EmptySoughtNameMatchesOnlyEmptyEntries)
{
    UseNT();
    AddTypicalDesktop();
    EXPECT_EQ(processes.IsProcessRunning(u""), False);
    EXPECT_EQ(processes.IsProcessRunning(u"C:\\Office\\"), False);
    os.kernel.AddProcess(20, "C:\\hidden.exe").moduleNameEmpty = true;
    EXPECT_EQ(processes.IsProcessRunning(u"C:\\Office\\"), True);
    EXPECT_EQ(processes.ProcessCount(), 1);
    EXPECT_EQ(processes.IsProcessRunning(u"hidden.exe"), False);
}

TEST_F(ProcessListTest, UnknownPlatformListsNothing)
{
    os.kernel.platformId = 3;
    AddTypicalDesktop();
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), False);
    EXPECT_EQ(processes.ProcessCount(), 0);
    EXPECT_TRUE(os.kernel.openedIds.empty());
    EXPECT_TRUE(os.processStatus.enumProcessesSizes.empty());
}

TEST_F(ProcessListTest, NTListingSkipsProcessesItCannotOpenOrRead)
{
    UseNT();
    os.kernel.AddProcess(4, "C:\\a\\outlook.exe").canOpen = false;
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), False);

    auto& hidden = os.kernel.AddProcess(8, "C:\\b\\outlook.exe");
    hidden.canListModules = false;
    hidden.canQueryImageName = false;
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), False);

    os.kernel.hasQueryFullProcessImageName = false;
    hidden.canQueryImageName = true;
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), False) << "before Vista there is no second way";
}

TEST_F(ProcessListTest, NTListingFindsA64BitProcessByItsImageName)
{
    UseNT();
    os.kernel.AddProcess(4, "C:\\WINDOWS\\Explorer.EXE");
    os.kernel.AddProcess(8, "C:\\Program Files\\Microsoft Office\\root\\Office16\\OUTLOOK.EXE").canListModules = false;
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), True);
    EXPECT_EQ(processes.ProcessCount(), 1);
    EXPECT_EQ(processes.ForceProcessTermination(u"outlook.exe"), True);
    EXPECT_TRUE(os.kernel.processes[1].terminated);
}

TEST_F(ProcessListTest, NTBufferDoublesWhileACallFillsIt)
{
    UseNT();
    for (std::uint32_t id = 1; id <= 40; ++id) {
        os.kernel.AddProcess(id * 4, "C:\\p" + std::to_string(id) + ".exe");
    }
    os.kernel.AddProcess(164, "C:\\Office\\outlook.exe");
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), True) << "the 41st identifier is listed";
    // 41 identifiers take 164 bytes: 16 to 128 hold at most 96 of the first guess, 256 holds them all.
    EXPECT_EQ(os.processStatus.enumProcessesSizes, (std::vector<std::uint32_t>{16, 32, 64, 128, 256}));
    EXPECT_EQ(os.kernel.openedIds.size(), 41u);
}

TEST_F(ProcessListTest, NTListingWithFailingEnumerationWalks24ZeroIdentifiers)
{
    UseNT();
    os.processStatus.enumProcessesFails = true;
    AddTypicalDesktop();
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), False);
    EXPECT_EQ(os.processStatus.enumProcessesSizes, (std::vector<std::uint32_t>{16, 32, 64, 128}));
    EXPECT_EQ(os.kernel.openedIds, std::vector<std::uint32_t>(24, 0));
}

TEST_F(ProcessListTest, NineXListingWithoutSnapshotIsEmpty)
{
    Use9x();
    AddTypicalDesktop();
    os.kernel.snapshotFails = true;
    EXPECT_EQ(processes.IsProcessRunning(u"outlook.exe"), False);
    EXPECT_EQ(processes.ForceProcessTermination(u"outlook.exe"), False);
}

TEST_F(ProcessListTest, NineXNameFieldWithoutNulIsReadToItsEndOnly)
{
    Use9x();
    std::string longName(256, 'x');
    longName += ".exe"; // exactly 260 characters, no room for a NUL
    os.kernel.AddProcess(4, "ignored").exeFile = longName;
    os.kernel.AddProcess(8, "ignored").exeFile = std::string("short.exe\0junk", 14);
    EXPECT_EQ(processes.IsProcessRunning(TextOfAscii(longName)), True);
    EXPECT_EQ(processes.IsProcessRunning(u"short.exe"), True);
}

TEST_F(ProcessListTest, TerminationOfANameNotRunningOpensNothing)
{
    UseNT();
    AddTypicalDesktop();
    EXPECT_EQ(processes.ForceProcessTermination(u"winword.exe"), False);
    EXPECT_EQ(TerminationOpens(), 0);
}

TEST_F(ProcessListTest, TerminationFailuresYieldFalse)
{
    UseNT();
    auto& outlook = os.kernel.AddProcess(12, "C:\\Office\\OUTLOOK.EXE");
    outlook.canTerminate = false;
    EXPECT_EQ(processes.ForceProcessTermination(u"outlook.exe"), False);
    EXPECT_EQ(TerminationOpens(), 1);
    EXPECT_FALSE(outlook.terminated);
}

TEST_F(ProcessListTest, ListingOverflowRaisesButTerminationSwallowsIt)
{
    for (const bool nt : {true, false}) {
        nt ? UseNT() : Use9x();
        os.kernel.processes.clear();
        for (std::uint32_t id = 1; id <= 32768; ++id) {
            os.kernel.AddProcess(id * 4, "C:\\p.exe");
        }
        try {
            processes.IsProcessRunning(u"outlook.exe");
            ADD_FAILURE() << "the 32,768th entry must overflow the 16-bit count";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), 6);
        }
        EXPECT_EQ(os.kernel.OpenHandleCount(), 0);
        EXPECT_EQ(processes.ForceProcessTermination(u"p.exe"), False);
        EXPECT_EQ(TerminationOpens(), 0);

        os.kernel.processes.pop_back();
        EXPECT_EQ(processes.IsProcessRunning(u"p.exe"), True) << "32,767 entries still fit";
        EXPECT_EQ(processes.ProcessCount(), 32767);
    }
}

} // namespace
