// The record's folder and files: what the system promises of appends,
// turns, new names, owners and access lists; the fakes natively, a real
// folder in the contract run.
#include "World.h"
#include "files/CmTraceLog.h"
#include "files/RecordFolder.h"
#include "platform/Handles.h"
#include "platform/SystemCodes.h"
#include "trust/AdministratorsMutex.h"
#include "trust/SecurityDescriptor.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class LogScenario : public ::testing::TestWithParam<scenarios::WorldKind> {
protected:
    std::string Path(const std::string& name) const { return world->Folder() + "\\" + name; }

    // Where the system appends at the end on its own, and files have owners.
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
    const RecordFolder folder = RecordFolder::Existing(RunRights::OfThisProcess(), world->Folder());
    ASSERT_TRUE(folder.Usable());
    for (const bool appendAtEnd : {true, false}) {
        if (appendAtEnd && !IsNtLine()) {
            continue;
        }
        const std::string name = appendAtEnd ? "appended.log" : "sought.log";
        CmTraceLog first(folder, name, "First", "KestrinScenarioLog", appendAtEnd);
        CmTraceLog second(folder, name, "Second", "KestrinScenarioLog", appendAtEnd);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(first.Write(u"one", CmTraceLog::Type::Information));
            ASSERT_TRUE(second.Write(u"two", CmTraceLog::Type::Warning));
        }
        const std::string contents = world->FileContents(Path(name)).value_or("");
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
// where none is, a name moved only to one that is free, and onto an older
// one in one move on the NT line (as the log turns).
TEST_P(LogScenario, FoldersAndFilesAreMadeOnlyWhereNoneIs)
{
    auto& kernel = platform::Kernel();
    EXPECT_TRUE(kernel.CreateDirectoryA(Path("Record"), nullptr));
    EXPECT_FALSE(kernel.CreateDirectoryA(Path("Record"), nullptr));
    EXPECT_FALSE(kernel.CreateDirectoryA(Path("Missing\\Record"), nullptr));
    const auto write = [&](const std::string& name, const std::string& text) {
        const platform::UniqueFileHandle made(
            kernel.CreateFileA(Path(name), platform::kGenericWrite, 0, platform::kCreateNew, 0, nullptr));
        std::uint32_t written = 0;
        EXPECT_TRUE(kernel.WriteFile(made.Get(), reinterpret_cast<const std::uint8_t*>(text.data()),
                                     static_cast<std::uint32_t>(text.size()), written));
        EXPECT_EQ(kernel.GetFileSize(made.Get()), text.size());
    };
    write("Record\\a.reg", "REGEDIT4");
    const platform::UniqueFileHandle again(
        kernel.CreateFileA(Path("Record\\a.reg"), platform::kGenericWrite, 0, platform::kCreateNew, 0, nullptr));
    EXPECT_FALSE(again);
    world->AddEntry("Record\\b.reg", scenarios::kArchive);
    EXPECT_FALSE(kernel.MoveFileA(Path("Record\\a.reg"), Path("Record\\b.reg")));
    EXPECT_TRUE(kernel.MoveFileA(Path("Record\\a.reg"), Path("Record\\c.reg")));
    // The 9x line has no move onto another file (Wine's Windows 98 has one all the same): the tool never asks there.
    if (IsNtLine()) {
        EXPECT_TRUE(
            kernel.MoveFileExA(Path("Record\\c.reg"), Path("Record\\b.reg"), platform::kMoveFileReplaceExisting));
        EXPECT_EQ(world->FileContents(Path("Record\\b.reg")), "REGEDIT4");
        EXPECT_FALSE(kernel.MoveFileExA(Path("Record\\b.reg"), Path("Record"), platform::kMoveFileReplaceExisting));
        EXPECT_TRUE(kernel.MoveFileA(Path("Record\\b.reg"), Path("Record\\c.reg")));
    }
    EXPECT_TRUE(kernel.DeleteFileA(Path("Record\\c.reg")));
    EXPECT_FALSE(kernel.DeleteFileA(Path("Record\\c.reg")));
    EXPECT_TRUE(kernel.GetTempPathA().ends_with("\\"));
}

// A folder made for the administrators reads back owned by one the run
// trusts and gives no one else any access: Windows keeps the list as made,
// Wine turns it into the file's modes and back, with the prefix's user
// for the administrators.
TEST_P(LogScenario, AFolderMadeForTheAdministratorsGivesNoOneElseAccess)
{
    if (!IsNtLine()) {
        GTEST_SKIP() << "the 9x line has no owners";
    }
    auto& kernel = platform::Kernel();
    const platform::DescriptorBytes made = SecurityDescriptor::ForAdministrators(true, true);
    ASSERT_TRUE(kernel.CreateDirectoryA(Path("Private"), &made));
    const platform::UniqueFileHandle held(kernel.CreateFileA(
        Path("Private"), platform::kReadControl | platform::kFileReadAttributes, platform::kFileShareReadWrite,
        platform::kOpenExisting, platform::kFileFlagBackupSemantics | platform::kFileFlagOpenReparsePoint, nullptr));
    ASSERT_TRUE(held);
    const auto information = kernel.GetFileInformationByHandle(held.Get());
    ASSERT_TRUE(information);
    EXPECT_NE(information->attributes & platform::kFileAttributeDirectory, 0u);
    EXPECT_EQ(information->attributes & platform::kFileAttributeReparsePoint, 0u);
    const auto bytes = platform::Security().GetKernelObjectSecurity(held.Get(), platform::kOwnerSecurityInformation |
                                                                                    platform::kDaclSecurityInformation);
    ASSERT_TRUE(bytes);
    const auto descriptor = SecurityDescriptor::Parse(*bytes);
    ASSERT_TRUE(descriptor);
    const RunRights rights = RunRights::OfThisProcess();
    ASSERT_TRUE(descriptor->Owner());
    EXPECT_TRUE(rights.Trusts(*descriptor->Owner())) << *descriptor->Owner();
    ASSERT_TRUE(descriptor->HasDacl());
    for (const SecurityDescriptor::Ace& ace : descriptor->Aces()) {
        EXPECT_TRUE(ace.sid != "S-1-1-0" && ace.sid != "S-1-5-32-545" && ace.sid != "S-1-5-11") << ace.sid;
    }
    EXPECT_EQ(rights.Distrust(*descriptor, RunRights::kChangeAnything), std::nullopt);
}

// A file of the record is written only where it is no link and has no
// other name: a second name could be a system file's.
TEST_P(LogScenario, AFileWithASecondNameIsNeverWritten)
{
    if (!IsNtLine()) {
        GTEST_SKIP() << "the 9x line has no hard links";
    }
    world->AddEntry("only.log", scenarios::kArchive);
    world->AddEntry("shared.log", scenarios::kArchive);
    world->AddHardLink("shared.log", "second.log");
    const RecordFolder folder = RecordFolder::Existing(RunRights::OfThisProcess(), world->Folder());
    ASSERT_TRUE(folder.Usable()) << (folder.Refused()
                                         ? std::string(folder.Refused()->why.begin(), folder.Refused()->why.end())
                                         : std::string());
    const auto opens = [&](const std::string& name) {
        return static_cast<bool>(
            folder.Open(name, platform::kFileAppendData | platform::kSynchronize, 0, platform::kOpenAlways));
    };
    EXPECT_TRUE(opens("only.log"));
    EXPECT_TRUE(opens("new.log"));
    EXPECT_FALSE(opens("shared.log"));
    EXPECT_FALSE(opens("second.log"));
    EXPECT_FALSE(folder.Delete("second.log"));
    EXPECT_FALSE(folder.Replace("only.log", "shared.log"));
    EXPECT_TRUE(folder.Replace("only.log", "new.log"));
}

// The administrators' mutex: a second one of the name is the first, which
// an administrator owns; a mutex of the name that someone else made first
// and keeps the administrators out of is no lock of this program.
TEST_P(LogScenario, TheAdministratorsMutexKnowsItsOwn)
{
    if (!IsNtLine()) {
        GTEST_SKIP() << "the 9x line has no owners";
    }
    const RunRights rights = RunRights::OfThisProcess();
    const AdministratorsMutex first(rights, "KestrinScenarioLock");
    EXPECT_EQ(first.State(), AdministratorsMutex::Found::Made);
    EXPECT_NE(first.Get(), 0u);
    const AdministratorsMutex second(rights, "KestrinScenarioLock");
    EXPECT_EQ(second.State(), AdministratorsMutex::Found::Existing);
}

INSTANTIATE_TEST_SUITE_P(In, LogScenario, ::testing::ValuesIn(scenarios::Worlds()), scenarios::NameOfWorld);

} // namespace
