// CFileList against a folder: the fakes natively, a real one in the contract run.
#include "World.h"
#include "common/RuntimeError.h"
#include "files/CFileList.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace scenarios; // the attributes

class FileListScenario : public ::testing::TestWithParam<scenarios::WorldKind> {
protected:
    void TearDown() override
    {
        if (const auto open = world->OpenHandles()) {
            EXPECT_EQ(*open, 0) << "a search was left open";
        }
    }

    std::vector<Text> Names() const
    {
        std::vector<Text> names;
        for (std::int32_t i = 1; i <= files.FileCount(); ++i) {
            names.push_back(files.FileName(i));
        }
        return names;
    }

    // The real system lists a folder in its own order.
    std::vector<Text> SortedNames() const
    {
        std::vector<Text> names = Names();
        std::sort(names.begin(), names.end());
        return names;
    }

    Text Folder(const std::string& subfolder) const { return TextOfAscii(world->Folder() + "\\" + subfolder); }

    std::unique_ptr<scenarios::World> world = GetParam().make();
    CFileList files;
};

TEST_P(FileListScenario, NewListIsEmptyWithTheAllFilesMask)
{
    EXPECT_EQ(files.FileNameMask(), u"*.*");
    EXPECT_EQ(files.FolderName(), u"");
    EXPECT_EQ(files.FileCount(), 0);
    EXPECT_EQ(files.FileName(1), u"");
}

TEST_P(FileListScenario, OnlyPlainFilesAreListed)
{
    world->AddEntry("Addin\\z.dll", kArchive);
    world->AddEntry("Addin\\b.dll", kHidden);
    world->AddEntry("Addin\\c.dll", kSystem);
    world->AddEntry("Addin\\d.dll", kDirectory);
    world->AddEntry("Addin\\a.dll", kNormal);
    world->AddEntry("Addin\\r.dll", kReadOnly | kArchive);
    world->AddEntry("Addin\\e.dll", kHidden | kSystem);
    world->AddEntry("Addin\\notes.txt", kArchive);
    files.FileNameMask(u"*.dll");
    files.FolderName(Folder("Addin"));
    EXPECT_EQ(SortedNames(), (std::vector<Text>{u"a.dll", u"r.dll", u"z.dll"}));
    if (world->IsFake()) {
        EXPECT_EQ(Names(), (std::vector<Text>{u"z.dll", u"a.dll", u"r.dll"})) << "in the order given";
    }
}

TEST_P(FileListScenario, EveryScanAppendsAndAMaskSetLaterChangesNothing)
{
    world->AddEntry("One\\a.dll", kArchive);
    world->AddEntry("Two\\b.dll", kArchive);
    world->AddEntry("Two\\c.ocx", kArchive);
    files.FileNameMask(u"*.dll");
    files.FolderName(Folder("One"));
    files.FolderName(Folder("One"));
    files.FolderName(Folder("Two"));
    files.FileNameMask(u"*.ocx");
    EXPECT_EQ(Names(), (std::vector<Text>{u"a.dll", u"a.dll", u"b.dll"}));
    EXPECT_EQ(files.FolderName(), Folder("Two\\"));
}

TEST_P(FileListScenario, MissingFolderAndNoMatchGiveAnEmptyList)
{
    world->AddEntry("Empty\\readme.txt", kArchive);
    files.FileNameMask(u"*.dll");
    files.FolderName(Folder("Nowhere"));
    files.FolderName(Folder("Empty"));
    EXPECT_EQ(files.FileCount(), 0);
}

TEST_P(FileListScenario, FileNameOutsideTheListIsEmptyOrOutOfRange)
{
    world->AddEntry("A\\a.dll", kArchive);
    world->AddEntry("A\\b.dll", kArchive);
    files.FolderName(Folder("A"));
    EXPECT_EQ(SortedNames(), (std::vector<Text>{u"a.dll", u"b.dll"}));
    EXPECT_EQ(files.FileName(3), u"");
    for (const std::int32_t index : {0, -1}) {
        try {
            files.FileName(index);
            ADD_FAILURE() << "no error for " << index;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), 9);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(In, FileListScenario, ::testing::ValuesIn(scenarios::Worlds()), scenarios::NameOfWorld);

} // namespace
