// CFileList where only the fakes can stage the folder: names the file system
// cannot hold, errors mid-scan, the patterns passed; the rest is in tests/scenarios.
#include "files/CFileList.h"
#include "World.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

using scenarios::kArchive;

class FileListTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(os.kernel.OpenFindCount(), 0) << "a search was left open"; }

    std::vector<Text> Names() const
    {
        std::vector<Text> names;
        for (std::int32_t i = 1; i <= files.FileCount(); ++i) {
            names.push_back(files.FileName(i));
        }
        return names;
    }

    fakes::FakePlatform os;
    CFileList files;
};

TEST_F(FileListTest, FolderGetsOneClosingSeparatorAndThePatternADoubledOne)
{
    files.FileNameMask(u"*.dll");
    files.FolderName(u"C:\\Data");
    EXPECT_EQ(files.FolderName(), u"C:\\Data\\");
    files.FolderName(u"C:\\Data\\");
    EXPECT_EQ(files.FolderName(), u"C:\\Data\\");
    files.FolderName(u"C:/Data/");
    EXPECT_EQ(files.FolderName(), u"C:/Data/");
    files.FolderName(u"");
    EXPECT_EQ(files.FolderName(), u"\\");
    EXPECT_EQ(os.kernel.findPatterns,
              (std::vector<std::string>{"C:\\Data\\\\*.dll", "C:\\Data\\\\*.dll", "C:/Data/\\*.dll", "\\\\*.dll"}));
}

TEST_F(FileListTest, NamesAreTrimmedAtTheirNulOrTakenWhole)
{
    const std::string full = std::string(256, 'n') + ".dll";
    os.kernel.folders["C:\\A"] = {
        {full, kArchive},
        {std::string("a.dll\0old-name.dll", 18), kArchive},
        {"caf\xE9 et th\xE9.v1.dll", kArchive},
    };
    files.FolderName(u"C:\\A");
    EXPECT_EQ(Names(), (std::vector<Text>{TextOfAscii(full), u"a.dll", u"caf\u00E9 et th\u00E9.v1.dll"}));
}

TEST_F(FileListTest, ErrorMidScanIsShownOnceAndKeepsTheNamesSoFar)
{
    os.kernel.folders["C:\\A"] = {{"a.dll", kArchive}, {"b.dll", kArchive}, {"c.dll", kArchive}};
    os.kernel.findFailsAfter = 2;
    files.FolderName(u"C:\\A");
    EXPECT_EQ(Names(), (std::vector<Text>{u"a.dll", u"b.dll"}));
    EXPECT_EQ(files.FolderName(), u"C:\\A\\") << "stored also after an error";
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].text, "Error occurred.  Reason: Invalid procedure call or argument");
    EXPECT_EQ(os.windowing.boxes[0].caption, "FileList.ProcessFolder");
    EXPECT_EQ(os.windowing.boxes[0].type, 0u);
}

} // namespace
