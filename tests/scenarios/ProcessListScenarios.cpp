// CProcessList against a process table: the fakes natively, the running
// system in the contract run, with programs the scenario starts itself.
#include "World.h"
#include "process/CProcessList.h"

#include <gtest/gtest.h>

namespace {

const std::string kExe = "KRSCENARIO.EXE";

class ProcessListScenario : public ::testing::TestWithParam<scenarios::WorldKind> {
protected:
    void TearDown() override
    {
        if (const auto open = world->OpenHandles()) {
            EXPECT_EQ(*open, 0) << "a handle was left open";
        }
    }

    std::unique_ptr<scenarios::World> world = GetParam().make();
    CProcessList processes;
};

TEST_P(ProcessListScenario, SoughtNameIgnoresCaseAndPath)
{
    world->StartProgram("Office", kExe);
    for (const Text name : {u"krscenario.exe", u"KRSCENARIO.EXE", u"D:\\Office\\KrScenario.Exe", u"\\krscenario.exe"}) {
        EXPECT_EQ(processes.IsProcessRunning(name), True);
        EXPECT_EQ(processes.ProcessCount(), 1);
    }
}

TEST_P(ProcessListScenario, TwoInstancesCountTwoAndTerminationTakesOneAtATime)
{
    world->StartProgram("Office", kExe);
    world->StartProgram("Other", kExe);
    EXPECT_EQ(processes.IsProcessRunning(u"krscenario.exe"), True);
    EXPECT_EQ(processes.ProcessCount(), 2);

    EXPECT_EQ(processes.ForceProcessTermination(u"krscenario.exe"), True);
    EXPECT_EQ(world->Running(kExe), 1) << "only one per call";
    // The second call lists afresh and so finds the other instance.
    EXPECT_EQ(processes.ForceProcessTermination(u"krscenario.exe"), True);
    EXPECT_EQ(world->Running(kExe), 0);
    EXPECT_EQ(processes.ForceProcessTermination(u"krscenario.exe"), False);
}

TEST_P(ProcessListScenario, NoMatchAndFreshObjectCountZero)
{
    EXPECT_EQ(processes.ProcessCount(), 0);
    world->StartProgram("Office", kExe);
    EXPECT_EQ(processes.IsProcessRunning(u"krnothere.exe"), False);
    EXPECT_EQ(processes.ProcessCount(), 0);
    EXPECT_EQ(processes.IsProcessRunning(u"krscenario.exe"), True);
    EXPECT_EQ(processes.IsProcessRunning(u"krnothere.exe"), False);
    EXPECT_EQ(processes.ProcessCount(), 0) << "each call starts from zero";
    EXPECT_EQ(processes.ForceProcessTermination(u"krnothere.exe"), False);
    EXPECT_EQ(world->Running(kExe), 1);
}

INSTANTIATE_TEST_SUITE_P(In, ProcessListScenario, ::testing::ValuesIn(scenarios::Worlds()), scenarios::NameOfWorld);

} // namespace
