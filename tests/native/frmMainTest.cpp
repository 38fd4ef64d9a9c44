#include "app/frmMain.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string kTitle = "Kestrin Software Add-Ins Reset";
const std::string kSuccess = "Successfully reset Kestrin Software add-ins.";
const std::string kAddinKey = "Software\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";
const std::string kWarning = "Warning: Outlook is running.  Exit Outlook or reboot your machine and try again.";

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        os.kernel.AddProcess(4, "C:\\WINDOWS\\Explorer.EXE");
        form.Show();
        os.windowing.log.clear();
    }

    void StartOutlook() { os.kernel.AddProcess(40, "C:\\Program Files\\Microsoft Office\\OUTLOOK.EXE"); }
    void ClickReset() { os.windowing.Click(frmMain::kCmdReset); }

    int Count(const std::string& entry) const
    {
        return static_cast<int>(std::count(os.windowing.log.begin(), os.windowing.log.end(), entry));
    }

    fakes::FakePlatform os;
    frmMain form;
};

TEST_F(FormTest, WindowCarriesItsTextsFontAndIcon)
{
    const platform::FormLayout& layout = os.windowing.layout;
    EXPECT_EQ(layout.title, kTitle);
    EXPECT_EQ(layout.fontName, "Microsoft Sans Serif");
    EXPECT_EQ(layout.fontHundredthsOfPoint, 825);
    EXPECT_EQ(layout.fontWeight, 400);
    EXPECT_EQ(layout.fontCharset, 0);
    EXPECT_EQ(layout.iconResource, frmMain::kIconResource);
    EXPECT_EQ(os.windowing.texts[frmMain::kCmdReset], "&Reset");
    EXPECT_EQ(os.windowing.texts[frmMain::kLblProgress], "Progress");
    EXPECT_EQ(os.windowing.texts[frmMain::kLabel1],
              "This program will reset your Kestrin Software Add-Ins, and is intended to be used when they are not "
              "responding or have been disabled.  It will not erase your configuration settings.  Make sure "
              "Outlook is not running and press the Reset button below to begin.");
}

TEST_F(FormTest, ResetWithoutOutlookShowsSuccessThenUnloads)
{
    ClickReset();
    const std::vector<std::string> expected = {
        "caption 103 Checking HKLM registry keys...", "repaint 103", "pump",
        "caption 103 " + kSuccess, "repaint 103", "pump",
        "box " + kTitle + ": " + kSuccess, "destroy", "quit 0",
    };
    EXPECT_EQ(os.windowing.log, expected);
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].type, 0u) << "OK only, no icon";
    EXPECT_EQ(os.windowing.boxes[0].owner, fakes::FakeWindowing::kForm) << "modal to the window";
    EXPECT_FALSE(os.windowing.formAlive);
}

TEST_F(FormTest, ResetWhileOutlookRunsWarnsAndChangesNothing)
{
    StartOutlook();
    ClickReset();
    const std::vector<std::string> expected = {"box Reset Outlook AddIns: " + kWarning, "destroy", "quit 0"};
    EXPECT_EQ(os.windowing.log, expected);
    EXPECT_EQ(os.windowing.texts[frmMain::kLblProgress], "Progress");
    EXPECT_EQ(os.kernel.OpenHandleCount(), 0);
    EXPECT_TRUE(os.registry.writes.empty());
    EXPECT_TRUE(os.registry.accesses.empty());
}

TEST_F(FormTest, ResetWritesTheFourRegistrationValuesUnderHklmOnly)
{
    os.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 2);
    os.registry.SetText(platform::kHkeyLocalMachine, kAddinKey, "Server", "mail.example.com");
    os.registry.MakeKey(platform::kHkeyLocalMachine, kAddinKey + "\\Settings").values["Colour"] = {4, {9, 0, 0, 0}};
    ClickReset();

    const fakes::FakeKey* key = os.registry.Key(platform::kHkeyLocalMachine, kAddinKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(os.registry.writes,
              (std::vector<std::string>{"CommandLineSafe", "LoadBehavior", "FriendlyName", "Description"}));
    EXPECT_EQ(os.registry.accesses, std::vector<std::uint32_t>{63});
    EXPECT_EQ(key->values.at("CommandLineSafe").data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(key->values.at("LoadBehavior").type, 4u);
    EXPECT_EQ(key->values.at("LoadBehavior").data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    const std::string name = "Kestrin Software Add-In Engine";
    std::vector<std::uint8_t> text(name.begin(), name.end());
    text.push_back(0);
    EXPECT_EQ(key->values.at("FriendlyName").type, 1u);
    EXPECT_EQ(key->values.at("FriendlyName").data, text);
    EXPECT_EQ(key->values.at("Description").data, text);
    EXPECT_EQ(key->values.size(), 5u) << "the add-in's own value stays";
    EXPECT_EQ(key->subkeys.at("Settings")->values.at("Colour").data, (std::vector<std::uint8_t>{9, 0, 0, 0}));
    EXPECT_EQ(os.registry.Key(platform::kHkeyCurrentUser, kAddinKey), nullptr);
    EXPECT_EQ(os.registry.openHandles(), 0) << "the key is closed when the step ends";
}

TEST_F(FormTest, HklmFailureFallsBackToHkcu)
{
    for (const bool openFails : {true, false}) {
        fakes::FakePlatform fresh;
        fresh.kernel.AddProcess(4, "C:\\WINDOWS\\Explorer.EXE");
        if (openFails) {
            fresh.registry.deniedRoots.insert(platform::kHkeyLocalMachine);
        } else {
            fresh.registry.deniedWrites.insert("LoadBehavior");
        }
        frmMain other;
        other.Show();
        fresh.windowing.Click(frmMain::kCmdReset);
        const fakes::FakeKey* user = fresh.registry.Key(platform::kHkeyCurrentUser, kAddinKey);
        ASSERT_NE(user, nullptr) << (openFails ? "open denied" : "write denied");
        EXPECT_EQ(user->values.size(), openFails ? 4u : 3u);
        EXPECT_EQ(std::count(fresh.windowing.log.begin(), fresh.windowing.log.end(),
                             "caption 103 Checking HKCU registry keys..."),
                  1);
        EXPECT_EQ(fresh.windowing.boxes.size(), 1u);
        EXPECT_EQ(fresh.registry.openHandles(), 0);
    }
}

TEST_F(FormTest, ClickDuringARunIsIgnored)
{
    int clicks = 0;
    os.windowing.onPump = [&] {
        ++clicks;
        ClickReset();
    };
    ClickReset();
    EXPECT_GE(clicks, 1);
    EXPECT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(Count("destroy"), 1);
}

TEST_F(FormTest, CloseBoxDuringARunIsIgnored)
{
    os.windowing.onPump = [&] {
        os.windowing.Close();
        EXPECT_TRUE(os.windowing.formAlive) << "a half-done reset cannot be abandoned";
    };
    ClickReset();
    EXPECT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(Count("destroy"), 1);
    EXPECT_EQ(os.windowing.exitCode, 0);
}

TEST_F(FormTest, CloseBoxBeforeResetUnloadsWithNothingDone)
{
    os.windowing.Close();
    EXPECT_EQ(os.windowing.log, (std::vector<std::string>{"destroy", "quit 0"}));
    EXPECT_TRUE(os.kernel.openedIds.empty());
    EXPECT_TRUE(os.processStatus.enumProcessesSizes.empty());
    ClickReset();
    EXPECT_TRUE(os.windowing.boxes.empty()) << "an unloaded form does not run";
}

TEST_F(FormTest, RunTimeErrorIsReportedOnceAndEndsWithItsNumber)
{
    for (std::uint32_t id = 1; id <= 32768; ++id) {
        os.kernel.AddProcess(1000 + id, "C:\\p.exe");
    }
    ClickReset();
    const std::vector<std::string> expected = {"box " + kTitle + ": Run-time error '6':\r\n\r\nOverflow", "destroy",
                                               "quit 6"};
    EXPECT_EQ(os.windowing.log, expected);
    EXPECT_EQ(os.windowing.exitCode, 6);
    EXPECT_EQ(os.kernel.OpenHandleCount(), 0);
}

TEST_F(FormTest, MissingPlatformFunctionIsReportedAsRunTimeError)
{
    struct NoPsapi : fakes::FakeProcessStatus {
        using FakeProcessStatus::FakeProcessStatus;
        bool EnumProcesses(std::uint32_t*, std::uint32_t, std::uint32_t&) override
        {
            throw RuntimeError::LibraryNotFound("psapi.dll");
        }
    } noPsapi{os.kernel};
    const platform::ScopedServices withoutPsapi({&os.kernel, &noPsapi, &os.registry, &os.windowing, nullptr});
    ClickReset();
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].text, "Run-time error '53':\r\n\r\nFile not found: psapi.dll");
    EXPECT_EQ(os.windowing.exitCode, 53);
}

} // namespace
