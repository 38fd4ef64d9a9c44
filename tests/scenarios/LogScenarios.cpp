// The log's file: what the system promises of appends, turns and new names;
// the fakes natively, a real folder in the contract run.
#include "World.h"
#include "files/CmTraceLog.h"
#include "platform/Handles.h"
#include "platform/SystemCodes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class LogScenario : public ::testing::TestWithParam<scenarios::WorldKind> {
protected:
    std::string Path(const std::string& name) const { return world->Folder() + "\\" + name; }

    // Where the system appends at the end on its own.
    static bool IsNtLine()
    {
        platform::OsVersionInfoA version{};
        version.dwOSVersionInfoSize = sizeof(version);
        platform::Kernel().GetVersionExA(version);
        return version.dwPlatformId == platform::kVerPlatformWin32Nt;
    }

    std::unique_ptr<scenarios::World> world = GetParam().make();
};

// Two programs with the log open at once: each entry lands at the end,
// where the NT line appends on its own, and where the file's end is sought first.
TEST_P(LogScenario, EntriesOfTwoWritersAreAllKept)
{
    for (const bool appendAtEnd : {true, false}) {
        if (appendAtEnd && !IsNtLine()) {
            continue;
        }
        const std::string path = Path(appendAtEnd ? "appended.log" : "sought.log");
        const CmTraceLog first(path, "First", "KestrinScenarioLog", appendAtEnd);
        const CmTraceLog second(path, "Second", "KestrinScenarioLog", appendAtEnd);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(first.Write(u"one", CmTraceLog::Type::Information));
            ASSERT_TRUE(second.Write(u"two", CmTraceLog::Type::Warning));
        }
        const std::string contents = world->FileContents(path).value_or("");
        std::string writers;
        for (std::size_t at = contents.find("component=\""); at != std::string::npos;
             at = contents.find("component=\"", at + 1)) {
            writers += contents[at + 11];
        }
        EXPECT_EQ(writers, "FSFSFS") << contents;
        EXPECT_EQ(std::count(contents.begin(), contents.end(), '\n'), 6) << contents;
    }
}

// What the record's files rely on: a folder made once, a file made only
// where none is, a name moved only to one that is free (as the log turns).
TEST_P(LogScenario, FoldersAndFilesAreMadeOnlyWhereNoneIs)
{
    auto& kernel = platform::Kernel();
    EXPECT_TRUE(kernel.CreateDirectoryA(Path("Record")));
    EXPECT_FALSE(kernel.CreateDirectoryA(Path("Record")));
    EXPECT_FALSE(kernel.CreateDirectoryA(Path("Missing\\Record")));
    {
        const platform::UniqueFileHandle made(
            kernel.CreateFileA(Path("Record\\a.reg"), platform::kGenericWrite, 0, platform::kCreateNew));
        std::uint32_t written = 0;
        EXPECT_TRUE(kernel.WriteFile(made.Get(), reinterpret_cast<const std::uint8_t*>("REGEDIT4"), 8, written));
        EXPECT_EQ(kernel.GetFileSize(made.Get()), 8u);
    }
    const platform::UniqueFileHandle again(
        kernel.CreateFileA(Path("Record\\a.reg"), platform::kGenericWrite, 0, platform::kCreateNew));
    EXPECT_FALSE(again);
    world->AddEntry("Record\\b.reg", scenarios::kArchive);
    EXPECT_FALSE(kernel.MoveFileA(Path("Record\\a.reg"), Path("Record\\b.reg")));
    EXPECT_TRUE(kernel.MoveFileA(Path("Record\\a.reg"), Path("Record\\c.reg")));
    EXPECT_TRUE(kernel.DeleteFileA(Path("Record\\c.reg")));
    EXPECT_FALSE(kernel.DeleteFileA(Path("Record\\c.reg")));
    EXPECT_TRUE(kernel.GetTempPathA().ends_with("\\"));
}

INSTANTIATE_TEST_SUITE_P(In, LogScenario, ::testing::ValuesIn(scenarios::Worlds()), scenarios::NameOfWorld);

} // namespace
