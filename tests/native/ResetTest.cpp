#include "console/ConsoleOutput.h"
#include "console/ConsoleProgram.h"
#include "fakes/FakePlatform.h"
#include "reset/Regsvr32Runs.h"
#include "run/Outcome.h"
#include "window/frmMain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace {

const std::string kTitle = "Kestrin Software Add-Ins Reset";
const std::string kSuccess = "Successfully reset Kestrin Software add-ins.";
const std::string kAddinKey = "Software\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";
const std::string kCommonFiles = "C:\\Program Files (x86)\\Common Files";
const std::string kAddinFolder = kCommonFiles + "\\Kestrin Software";
const std::string kRegsvr32 = "C:\\WINDOWS\\system32\\regsvr32.exe";
const std::string kMissingLibrary = "Warning: File KROutlook.dll has not been found.  Please contact "
                                    "support@kestrinsoftware.com about this problem.\r\nContinuing anyway...";
const std::string kWarning = "Warning: Outlook is running.  Exit Outlook or reboot your machine and try again.";
const std::string kNotFullyReset = "Kestrin Software add-ins were not fully reset:";
const std::string kRunAsAdministrator = "\r\n\r\nPlease run this program as an administrator, or contact "
                                        "support@kestrinsoftware.com about this problem.";
const std::string kNoClass = "\r\n- the add-in's component KestrinSoftware.Connect is not registered";
const std::string kNoMainLibrary = "\r\n- KROutlook.dll was not found in " + kAddinFolder + kNoClass;
const std::string kBlockShutdown = "block shutdown Resetting Kestrin Software add-ins";
// What Outlook's own records say, after the outcome's blocks.
const std::string kReasonsHeading = "\r\n\r\nWhat Outlook's own records say of the add-in:\r\n";
const std::string kWriteToSupport = "\r\nPlease write to support@kestrinsoftware.com with these lines.";
const std::string kMadeOutlookStopLine = "Outlook had turned the add-in off because it made Outlook stop.";
const std::string kMadeOutlookStop = kReasonsHeading + kMadeOutlookStopLine + kWriteToSupport;

// One computer of fakes for one reset: Explorer running, the x86 edition's
// folder under the common files folder, and the form shown on them. Tables
// make one for each case; each builds on the one before and ends first.
struct Computer {
    explicit Computer(std::vector<fakes::FakeEntry> addinFiles = {{"KROutlook.dll"}})
    {
        os.kernel.AddProcess(4, "C:\\WINDOWS\\Explorer.EXE");
        os.launch.environment["CommonProgramFiles"] = kCommonFiles;
        os.kernel.folders[kAddinFolder] = std::move(addinFiles);
        form.Show();
        os.windowing.log.clear();
    }

    void ClickReset() { os.windowing.Click(frmMain::kCmdReset); }

    int Count(const std::string& entry) const
    {
        return static_cast<int>(std::count(os.windowing.log.begin(), os.windowing.log.end(), entry));
    }

    int Position(const std::string& entry) const
    {
        const auto found = std::find(os.windowing.log.begin(), os.windowing.log.end(), entry);
        return found == os.windowing.log.end() ? -1 : static_cast<int>(found - os.windowing.log.begin());
    }

    fakes::FakePlatform os;
    frmMain form;
};

// 64-bit Windows with a 64-bit Outlook, as the 32-bit tool sees it: the x64
// edition's folder holding the library, its regsvr32 reached through Sysnative.
void StartedOutlookIs64Bit(fakes::FakePlatform& os, std::vector<fakes::FakeEntry> addinFiles)
{
    const std::string office = "C:\\Program Files\\Microsoft Office\\root\\Office16";
    os.kernel.windows64 = true;
    os.launch.environment["CommonProgramW6432"] = "C:\\Program Files\\Common Files";
    os.registry.SetText(fakes::FakeRegistry::kLocalMachine64,
                        "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE", "",
                        office + "\\OUTLOOK.EXE");
    os.kernel.folders[office] = {{"OUTLOOK.EXE", 0x20, fakes::PeImage(0x8664)}};
    os.kernel.folders["C:\\WINDOWS\\Sysnative"] = {{"regsvr32.exe"}, {"kernel32.dll"}};
    os.kernel.folders["C:\\Program Files\\Common Files\\Kestrin Software"] = std::move(addinFiles);
}

// The fixture of every group: a computer whose add-in folder holds two
// libraries, a control, a text file and backup copies, which the search
// lists by their 8.3 names, as Windows does, and which are no components.
class ResetTest : public ::testing::Test {
protected:
    // The log's entries that start with prefix, in their order, without it.
    std::vector<std::string> Entries(const std::string& prefix) const
    {
        std::vector<std::string> found;
        for (const std::string& entry : os.windowing.log) {
            if (entry.starts_with(prefix)) {
                found.push_back(entry.substr(prefix.size()));
            }
        }
        return found;
    }

    int Position(const std::string& entry) const { return computer.Position(entry); }
    int Count(const std::string& entry) const { return computer.Count(entry); }
    int SuccessBoxes() const { return Count("box " + kTitle + ": " + kSuccess); }
    void StartOutlook() { os.kernel.AddProcess(40, "C:\\Program Files\\Microsoft Office\\OUTLOOK.EXE"); }
    void ClickReset() { computer.ClickReset(); }

    Computer computer{
        {{"KROutlook.dll"}, {"Engine.dll"}, {"KROutlook.dll_old"}, {"Grid.ocx"}, {"readme.txt"}, {"Grid.ocx_bak"}}};
    fakes::FakePlatform& os = computer.os;
};

// Each unit of the reset has its group.
using FormTest = ResetTest;
using AddinRegistrationTest = ResetTest;
using OutlookResiliencyTest = ResetTest;
using Regsvr32RunsTest = ResetTest;
using OutlookLoadCheckTest = ResetTest;
using UserHiveTest = ResetTest;

TEST_F(FormTest, WindowCarriesItsTextsFontAndIcon)
{
    const platform::FormLayout& layout = os.windowing.layout;
    EXPECT_EQ(layout.title, kTitle);
    EXPECT_EQ(layout.fontName, "Microsoft Sans Serif");
    EXPECT_EQ(layout.fallbackFontName, "MS Sans Serif");
    EXPECT_EQ(layout.fontHundredthsOfPoint, 825);
    EXPECT_EQ(layout.fontWeight, 400);
    EXPECT_EQ(layout.fontCharset, 0);
    EXPECT_EQ(layout.iconResource, frmMain::kIconResource);
    EXPECT_EQ(layout.controls.at(1).kind, platform::ControlKind::DefaultPushButton) << "Enter presses Reset";
    EXPECT_EQ(os.windowing.texts[frmMain::kCmdReset], "&Reset");
    EXPECT_EQ(os.windowing.texts[frmMain::kLblProgress], "Progress");
    EXPECT_EQ(os.windowing.texts[frmMain::kLabel1],
              "This program will reset your Kestrin Software Add-Ins, and is intended to be used when they are not "
              "responding or have been disabled.  It will not erase your configuration settings.  Make sure "
              "Outlook is not running and press the Reset button below to begin.");
}

// What the user sees of a reset: the label's texts in the steps' order, each
// file named as its regsvr32 starts, a second to each, and the window gone
// after the box. A log-off may end the session only at the box.
TEST_F(FormTest, ResetRunsEveryStepInOrderAndUnloads)
{
    ClickReset();
    const std::vector<std::string> files = {"KROutlook.dll", "Engine.dll", "Grid.ocx"};
    std::vector<std::string> captions = {"Checking HKLM registry keys...", "Checking Outlook's disabled add-ins...",
                                         "Unregistering files..."};
    std::vector<std::string> launches;
    for (const bool registering : {false, true}) {
        if (registering) {
            captions.push_back("Registering files...");
        }
        for (const std::string& file : files) {
            captions.push_back((registering ? "Registering " : "Unregistering ") + file);
            launches.push_back((registering ? "regsvr32 /s \"" : "regsvr32 /u /s \"") + kAddinFolder + "\\" + file +
                               "\"");
        }
    }
    captions.insert(captions.end(), {"Checking whether Outlook can load the add-in...", kSuccess});
    EXPECT_EQ(Entries("caption 103 "), captions);
    EXPECT_EQ(Entries("launch "), launches);
    EXPECT_EQ(os.kernel.sleptMilliseconds, std::vector<std::uint32_t>(6, Regsvr32Runs::kPauseMilliseconds));
    for (const std::string& file : files) {
        EXPECT_EQ(Position("launch regsvr32 /u /s \"" + kAddinFolder + "\\" + file + "\"") + 1,
                  Position("caption 103 Unregistering " + file))
            << "the label names the file just started";
    }
    EXPECT_LT(Position(kBlockShutdown), Position("caption 103 Checking HKLM registry keys..."));
    EXPECT_LT(Position("unblock shutdown"), Position("caption 103 " + kSuccess));
    const std::vector<std::string> ending = {"box " + kTitle + ": " + kSuccess, "destroy", "quit 0"};
    EXPECT_EQ(std::vector<std::string>(os.windowing.log.end() - 3, os.windowing.log.end()), ending);
    for (const auto& launched : os.launch.launches) {
        EXPECT_EQ(launched.applicationName, kRegsvr32) << "never found through the search path";
    }
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_TRUE(os.windowing.boxes[0].sessionMayEnd);
    EXPECT_EQ(os.windowing.boxes[0].type, 0u) << "OK only, no icon";
    EXPECT_EQ(os.windowing.boxes[0].owner, fakes::FakeWindowing::kForm) << "modal to the window";
    EXPECT_FALSE(os.windowing.formAlive);
    EXPECT_EQ(os.kernel.OpenHandleCount(), 0) << "every regsvr32 handle is closed";
}

// While Outlook runs, or another copy of the tool resets, a click changes
// nothing: one box, and an exit code that says which. A copy of another
// account is seen through the global name; where this account may not
// create global objects and none exists, the tool keeps to its session.
// A standard user's run, which holds the plain name (an administrator's is
// in SystemRunTest).
TEST_F(FormTest, ResetWhileOutlookOrAnotherCopyRunsChangesNothing)
{
    const std::string global = "Global\\KestrinSoftwareAddinsReset";
    const std::string anotherCopy = "box " + kTitle +
                                    ": Another copy of this program is resetting Kestrin Software "
                                    "add-ins. Please wait until it has finished.";
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> arrange;
        std::string box;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {"Outlook runs", [](auto& p) { p.kernel.AddProcess(40, "C:\\Office\\OUTLOOK.EXE"); },
         "box Reset Outlook AddIns: " + kWarning, 1},
        {"another copy", [&](auto& p) { p.kernel.othersMutexes = {global}; }, anotherCopy, 4},
        {"another account's copy", [&](auto& p) { p.kernel.othersMutexes = p.kernel.deniedMutexes = {global}; },
         anotherCopy, 4},
        {"another copy on Windows 98",
         [](auto& p) {
             p.kernel.platformId = 1, p.kernel.majorVersion = 4, p.kernel.minorVersion = 10;
             p.kernel.othersMutexes = {"KestrinSoftwareAddinsReset"};
         },
         anotherCopy, 4},
        {"another copy on NT 4, which has no global names",
         [](auto& p) {
             p.kernel.majorVersion = 4, p.kernel.minorVersion = 0;
             p.kernel.othersMutexes = {"KestrinSoftwareAddinsReset"};
         },
         anotherCopy, 4},
        {"no right to a global name", [&](auto& p) { p.kernel.deniedMutexes = {global}; },
         "box " + kTitle + ": " + kSuccess, 0},
    };
    for (const Case& c : cases) {
        Computer pc;
        pc.os.security.AsStandardUser();
        c.arrange(pc.os);
        pc.ClickReset();
        EXPECT_EQ(pc.os.windowing.log.back(), "quit " + std::to_string(c.exitCode)) << c.what;
        EXPECT_EQ(pc.Count(c.box), 1) << c.what;
        EXPECT_EQ(pc.os.kernel.OpenHandleCount(), 0) << c.what;
        if (c.exitCode == 0) {
            continue;
        }
        EXPECT_EQ(pc.os.windowing.log.size(), 3u) << c.what << ": the box, destroy, quit";
        EXPECT_TRUE(pc.os.windowing.boxes.at(0).sessionMayEnd) << c.what << ": a log-off is not held up";
        EXPECT_EQ(pc.os.windowing.texts[frmMain::kLblProgress], "Progress") << c.what;
        EXPECT_TRUE(pc.os.registry.accesses.empty() && pc.os.launch.launches.empty()) << c.what;
        EXPECT_TRUE(pc.os.kernel.findPatterns.empty()) << c.what;
    }
}

// The lock is held from the click to the end of the last step: a second
// copy started while the components register changes nothing.
TEST_F(FormTest, ASecondCopyDuringTheResetChangesNothing)
{
    std::optional<int> second;
    os.launch.onLaunch = [&](const std::string& commandLine) {
        if (!second && commandLine.starts_with("regsvr32 /s ")) {
            second = ConsoleProgram({"reset"}).Run();
        }
    };
    ClickReset();
    EXPECT_EQ(second, 4);
    EXPECT_EQ(os.console.output, "Another copy of this program is resetting Kestrin Software add-ins. Please wait "
                                 "until it has finished.\r\n");
    EXPECT_EQ(SuccessBoxes(), 1);
    EXPECT_EQ(os.launch.launches.size(), 6u) << "the second copy started nothing";
}

// An Outlook started while the components were unregistered may have
// disabled the add-in again.
TEST_F(FormTest, OutlookStartedDuringTheResetIsReported)
{
    os.windowing.onPump = [&] {
        if (os.windowing.texts[frmMain::kLblProgress] == "Registering files...") {
            StartOutlook();
        }
    };
    ClickReset();
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].text,
              kNotFullyReset + "\r\n- Outlook was started during the reset; close Outlook and run this program again" +
                  kRunAsAdministrator);
    EXPECT_EQ(os.windowing.exitCode, 2);
}

TEST_F(Regsvr32RunsTest, MissingMainLibraryIsWarnedOnceBetweenLibrariesAndControls)
{
    os.kernel.folders[kAddinFolder] = {{"Engine.dll"}, {"Helper.dll"}, {"Grid.ocx"}};
    ClickReset();
    EXPECT_EQ(Count("box " + kTitle + ": " + kMissingLibrary), 1);
    const int warning = Position("box " + kTitle + ": " + kMissingLibrary);
    EXPECT_LT(Position("caption 103 Unregistering Helper.dll"), warning);
    EXPECT_GT(Position("caption 103 Unregistering Grid.ocx"), warning);
    EXPECT_EQ(Count("box " + kTitle + ": " + kNotFullyReset + kNoMainLibrary + kRunAsAdministrator), 1)
        << "a reset without its main library is no success";
}

TEST_F(Regsvr32RunsTest, MainLibraryIsRecognisedInAnyCase)
{
    os.kernel.folders[kAddinFolder] = {{"kroutlook.DLL"}};
    ClickReset();
    EXPECT_EQ(os.windowing.boxes.size(), 1u) << "only the success box";
}

TEST_F(Regsvr32RunsTest, EmptyOrMissingFolderWarnsAndEndsInTheFailureBox)
{
    for (const bool exists : {true, false}) {
        Computer pc({{"Sub.dll", 0x10}, {"Hidden.ocx", 0x2}, {"notes.txt"}});
        if (!exists) {
            pc.os.kernel.folders.erase(kAddinFolder);
        }
        pc.ClickReset();
        ASSERT_EQ(pc.os.windowing.boxes.size(), 2u);
        EXPECT_EQ(pc.os.windowing.boxes[0].text, kMissingLibrary);
        EXPECT_EQ(pc.os.windowing.boxes[1].text, kNotFullyReset + kNoMainLibrary + kRunAsAdministrator);
        EXPECT_TRUE(pc.os.launch.launches.empty()) << "nothing but listed plain files is launched";
        EXPECT_TRUE(pc.os.kernel.sleptMilliseconds.empty());
    }
}

TEST_F(Regsvr32RunsTest, UnsetCommonProgramFilesSearchesAtTheRootOfTheDrive)
{
    os.launch.environment.clear();
    os.kernel.folders["\\Kestrin Software"] = {{"KROutlook.dll"}};
    ClickReset();
    EXPECT_EQ(std::count(os.kernel.findPatterns.begin(), os.kernel.findPatterns.end(), "\\Kestrin Software\\\\*.dll"),
              2);
    ASSERT_EQ(os.launch.launches.size(), 2u);
    EXPECT_EQ(os.launch.launches[0].commandLine, "regsvr32 /u /s \"\\Kestrin Software\\KROutlook.dll\"");
}

TEST_F(Regsvr32RunsTest, ScanErrorIsShownAndTheRunGoesOn)
{
    os.kernel.findFailsAfter = 1;
    ClickReset();
    EXPECT_EQ(Count("box FileList.ProcessFolder: Error occurred.  Reason: Invalid procedure call or argument"), 4)
        << "once per pass";
    EXPECT_EQ(Count("launch regsvr32 /s \"" + kAddinFolder + "\\KROutlook.dll\""), 1);
    EXPECT_EQ(SuccessBoxes(), 1);
    EXPECT_EQ(os.kernel.OpenFindCount(), 0) << "the search is closed on the error path too";
}

TEST_F(Regsvr32RunsTest, EachFilePausesOneSecondInBothSteps)
{
    ClickReset();
    EXPECT_EQ(os.kernel.sleptMilliseconds, std::vector<std::uint32_t>(6, Regsvr32Runs::kPauseMilliseconds))
        << "2 x (2 libraries + 1 control)";
}

TEST_F(AddinRegistrationTest, ResetWritesTheFourRegistrationValuesUnderHklmOnly)
{
    os.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 2);
    os.registry.SetText(platform::kHkeyLocalMachine, kAddinKey, "Server", "mail.example.com");
    os.registry.MakeKey(platform::kHkeyLocalMachine, kAddinKey + "\\Settings").values["Colour"] = {4, {9, 0, 0, 0}};
    ClickReset();

    const fakes::FakeKey* key = os.registry.Key(platform::kHkeyLocalMachine, kAddinKey);
    ASSERT_NE(key, nullptr);
    std::vector<std::string> written = os.registry.writes;
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"CommandLineSafe", "Description", "FriendlyName", "LoadBehavior"}));
    EXPECT_TRUE(os.registry.createdKeys.empty()) << "the registration there is written, and no key made";
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

TEST_F(AddinRegistrationTest, HklmFailureFallsBackToHkcu)
{
    for (const bool openFails : {true, false}) {
        Computer pc;
        if (openFails) {
            pc.os.registry.deniedRoots.insert(platform::kHkeyLocalMachine);
        } else {
            pc.os.registry.deniedWrites.insert("LoadBehavior");
        }
        pc.ClickReset();
        const fakes::FakeKey* user = pc.os.registry.Key(platform::kHkeyCurrentUser, kAddinKey);
        ASSERT_NE(user, nullptr) << (openFails ? "open denied" : "write denied");
        EXPECT_EQ(user->values.size(), openFails ? 4u : 3u);
        EXPECT_EQ(std::count(pc.os.windowing.log.begin(), pc.os.windowing.log.end(),
                             "caption 103 Checking HKCU registry keys..."),
                  1);
        EXPECT_EQ(pc.os.windowing.boxes.size(), 1u);
        EXPECT_EQ(pc.os.registry.openHandles(), 0);
    }
}

// Many add-in libraries delete their registration in DllUnregisterServer,
// or leave it disabled: what the reset wrote is written again.
TEST_F(AddinRegistrationTest, ARegistrationTheUnregisteringChangedIsWrittenAgain)
{
    struct Case {
        const char* what;
        std::function<void(fakes::FakeRegistry&)> unregistering;
        bool deniedAfter;
        std::string box;
    };
    const std::vector<Case> cases = {
        {"the key deleted",
         [](auto& r) {
             r.Key(platform::kHkeyLocalMachine, "Software\\Microsoft\\Office\\Outlook\\Addins")->subkeys.clear();
         },
         false, kSuccess},
        {"LoadBehavior set to 2",
         [](auto& r) { r.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 2); }, false, kSuccess},
        {"LoadBehavior removed, and no right to write it again",
         [](auto& r) { r.Key(platform::kHkeyLocalMachine, kAddinKey)->values.erase("LoadBehavior"); }, true,
         kNotFullyReset + "\r\n- the add-in's registration could not be written" + kRunAsAdministrator},
    };
    for (const Case& c : cases) {
        Computer pc;
        pc.os.launch.onLaunch = [&](const std::string& commandLine) {
            if (commandLine.find(" /u ") != std::string::npos && commandLine.ends_with("KROutlook.dll\"")) {
                c.unregistering(pc.os.registry);
                if (c.deniedAfter) {
                    pc.os.registry.deniedWrites.insert("LoadBehavior");
                }
            }
        };
        pc.ClickReset();
        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u) << c.what;
        EXPECT_EQ(pc.os.windowing.boxes[0].text, c.box) << c.what;
        const fakes::FakeKey* key = pc.os.registry.Key(platform::kHkeyLocalMachine, kAddinKey);
        ASSERT_NE(key, nullptr) << c.what;
        EXPECT_EQ(key->values.count("LoadBehavior") != 0 && key->values.at("LoadBehavior").data[0] == 3, !c.deniedAfter)
            << c.what;
    }
}

// Click-to-Run keeps a copy of the machine's registration, in the 64-bit
// view; a stale one keeps the add-in out. Only an existing one is set right.
TEST_F(AddinRegistrationTest, ClickToRunsCopyIsEnabledWhereItExists)
{
    const std::string copies = "Software\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\";
    const std::string addin = "Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";
    const platform::Handle hklm64 = fakes::FakeRegistry::kLocalMachine64;
    struct Case {
        const char* what;
        bool windows64;
        bool x64;
        platform::Handle root;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"32-bit Windows", false, false, platform::kHkeyLocalMachine, copies + addin},
        {"the x86 edition on 64-bit Windows", true, false, hklm64, copies + "Wow6432Node\\" + addin},
        {"the x64 edition", true, true, hklm64, copies + addin},
        {"no copy", true, false, hklm64, ""},
    };
    for (const Case& c : cases) {
        Computer pc;
        pc.os.kernel.windows64 = c.windows64;
        pc.os.launch.environment["CommonProgramFiles(x86)"] = kCommonFiles;
        if (c.x64) {
            StartedOutlookIs64Bit(pc.os, {{"KROutlook.dll", 0x20, fakes::PeImage(0x8664)}});
        }
        // The other edition's copy, and this one's.
        const std::string otherCopy = c.x64 || !c.windows64 ? copies + "Wow6432Node\\" + addin : copies + addin;
        pc.os.registry.SetDword(hklm64, otherCopy, "LoadBehavior", 2);
        if (!c.path.empty()) {
            pc.os.registry.SetDword(c.root, c.path, "LoadBehavior", 2);
            pc.os.registry.SetText(c.root, c.path, "FriendlyName", "Kestrin");
        }
        pc.ClickReset();
        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u) << c.what;
        EXPECT_EQ(pc.os.windowing.boxes[0].text, kSuccess) << c.what;
        EXPECT_EQ(pc.os.registry.Key(hklm64, otherCopy)->values.at("LoadBehavior").data[0], 2) << c.what;
        if (c.path.empty()) {
            EXPECT_EQ(pc.os.registry.Key(platform::kHkeyLocalMachine, copies + addin), nullptr) << c.what;
            EXPECT_EQ(pc.os.registry.Key(hklm64, copies + "Wow6432Node\\" + addin), nullptr) << c.what;
            continue;
        }
        const fakes::FakeKey* copy = pc.os.registry.Key(c.root, c.path);
        EXPECT_EQ(copy->values.at("LoadBehavior").data, (std::vector<std::uint8_t>{3, 0, 0, 0})) << c.what;
        EXPECT_EQ(copy->values.size(), 2u) << c.what << ": its other values stay";
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
    EXPECT_EQ(SuccessBoxes(), 1);
    EXPECT_EQ(os.launch.launches.size(), 6u);
    EXPECT_EQ(Count("destroy"), 1);
}

TEST_F(FormTest, CloseBoxAndLogOffDuringARunAreRefused)
{
    os.windowing.hasShutdownBlockReason = false; // before Vista
    int pumps = 0;
    os.windowing.onPump = [&] {
        os.windowing.Close();
        EXPECT_TRUE(os.windowing.formAlive) << "a half-done reset cannot be abandoned";
        // Until the last step ends; the final label is shown after it.
        if (os.windowing.texts[frmMain::kLblProgress] != kSuccess) {
            ++pumps;
            EXPECT_FALSE(os.windowing.QueryEndSession());
        }
    };
    ClickReset();
    EXPECT_GT(pumps, 0);
    EXPECT_EQ(SuccessBoxes(), 1);
    EXPECT_EQ(Count("destroy"), 1);
    EXPECT_EQ(os.windowing.exitCode, 0);
    EXPECT_EQ(Count(kBlockShutdown) + Count("unblock shutdown"), 0) << "not looked for where it is missing";
}

TEST_F(FormTest, CloseBoxBeforeResetUnloadsWithNothingDone)
{
    EXPECT_TRUE(os.windowing.QueryEndSession());
    os.windowing.Close();
    EXPECT_EQ(os.windowing.log, (std::vector<std::string>{"destroy", "quit 5"})) << "no reset is no success";
    EXPECT_TRUE(os.kernel.openedIds.empty());
    EXPECT_TRUE(os.processStatus.enumProcessesSizes.empty());
    ClickReset();
    EXPECT_TRUE(os.windowing.boxes.empty()) << "an unloaded form does not run";
}

// Another copy may reset while the box shows: the run is over.
TEST_F(FormTest, RunTimeErrorIsReportedOnceAndEndsWithItsNumber)
{
    for (const bool atTheEnd : {false, true}) {
        Computer pc;
        const auto crowd = [&] {
            for (std::uint32_t id = 1; id <= 32768; ++id) {
                pc.os.kernel.AddProcess(1000 + id, "C:\\p.exe");
            }
        };
        if (atTheEnd) {
            pc.os.windowing.onPump = [&] {
                if (pc.os.windowing.texts[frmMain::kLblProgress] == "Checking whether Outlook can load the add-in...") {
                    pc.os.windowing.onPump = nullptr;
                    crowd();
                }
            };
        } else {
            crowd();
        }
        pc.ClickReset();
        const std::vector<std::string> ending = {"box " + kTitle + ": Run-time error '6':\r\n\r\nOverflow", "destroy",
                                                 "quit 6"};
        ASSERT_GE(pc.os.windowing.log.size(), 3u);
        EXPECT_EQ(std::vector<std::string>(pc.os.windowing.log.end() - 3, pc.os.windowing.log.end()), ending);
        EXPECT_EQ(pc.os.windowing.log.size() == 3u, !atTheEnd);
        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u);
        EXPECT_EQ(pc.os.windowing.boxes[0].kernelHandlesOpen, 0) << "the lock is let go before the box";
        EXPECT_EQ(pc.os.windowing.exitCode, 6);
        EXPECT_EQ(pc.os.kernel.OpenHandleCount(), 0);
    }
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
    const platform::ScopedServices withoutPsapi({&os.kernel, &noPsapi, &os.registry, &os.windowing, &os.launch,
                                                 &os.security, &os.windowing, &os.windowing, &os.console});
    ClickReset();
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].text, "Run-time error '53':\r\n\r\nFile not found: psapi.dll");
    EXPECT_EQ(os.windowing.exitCode, 53);
}

// An Outlook DisabledItems record: kind, the two byte lengths, then both texts as UTF-16LE with their NULs.
// The bytes after prefix: the text as UTF-16LE.
std::vector<std::uint8_t> Utf16(const std::u16string& text, std::vector<std::uint8_t> prefix = {})
{
    for (const char16_t c : text) {
        prefix.insert(prefix.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    }
    return prefix;
}

std::vector<std::uint8_t> Record(const std::u16string& path, const std::u16string& name, std::uint32_t kind = 1)
{
    std::vector<std::uint8_t> data;
    const auto put = [&](std::uint32_t n) {
        for (int shift = 0; shift < 32; shift += 8) {
            data.push_back(static_cast<std::uint8_t>(n >> shift));
        }
    };
    put(kind);
    put(static_cast<std::uint32_t>(2 * (path.size() + 1)));
    put(static_cast<std::uint32_t>(2 * (name.size() + 1)));
    for (const std::u16string* text : {&path, &name}) {
        for (const char16_t c : *text + u'\0') {
            data.push_back(static_cast<std::uint8_t>(c));
            data.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    }
    return data;
}

// AddInLoadTimes: a count, then five times in milliseconds.
std::vector<std::uint8_t> LoadTimes(std::uint32_t count, const std::vector<std::uint32_t>& times)
{
    std::vector<std::uint8_t> data;
    std::vector<std::uint32_t> numbers = {count};
    numbers.insert(numbers.end(), times.begin(), times.end());
    for (const std::uint32_t n : numbers) {
        for (int shift = 0; shift < 32; shift += 8) {
            data.push_back(static_cast<std::uint8_t>(n >> shift));
        }
    }
    return data;
}

const std::string kOffice = "Software\\Microsoft\\Office\\";
const std::string kProgId = "KestrinSoftware.Connect";
const std::string kDisabled = "\\Outlook\\Resiliency\\DisabledItems";
const std::u16string kOurPath = u"c:\\program files (x86)\\common files\\kestrin software\\kroutlook.dll";

TEST_F(AddinRegistrationTest, UserOverrideIsReEnabledOnlyWhereItExists)
{
    os.registry.SetDword(platform::kHkeyCurrentUser, kAddinKey, "LoadBehavior", 2);
    os.registry.SetText(platform::kHkeyCurrentUser, kAddinKey, "Server", "mail.example.com");
    ClickReset();
    const fakes::FakeKey* user = os.registry.Key(platform::kHkeyCurrentUser, kAddinKey);
    EXPECT_EQ(user->values.at("LoadBehavior").data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(user->values.size(), 2u) << "only LoadBehavior, as Office's own dialog writes it";
    EXPECT_EQ(os.registry.Key(platform::kHkeyLocalMachine, kAddinKey)->values.size(), 4u);
    EXPECT_LT(Position("caption 103 Checking HKLM registry keys..."),
              Position("caption 103 Checking HKCU registry keys..."));
    EXPECT_EQ(Count("box " + kTitle + ": " + kSuccess + kReasonsHeading +
                    "Outlook had turned the add-in off without saying why: it could not start it, or someone turned "
                    "it off." +
                    kWriteToSupport),
              1);
}

TEST_F(OutlookResiliencyTest, OnlyThisAddinsDisabledRecordsAreRemoved)
{
    const auto hkcu = platform::kHkeyCurrentUser;
    std::vector<std::uint8_t> pathOnly = Record(kOurPath, u"Something else");
    std::vector<std::uint8_t> nameOnly = Record(u"d:\\elsewhere\\engine.dll", u"Kestrin Software Add-In Engine");
    std::vector<std::uint8_t> wrongKind = Record(kOurPath, u"x", 2);
    std::vector<std::uint8_t> inSubfolder =
        Record(u"c:\\program files (x86)\\common files\\kestrin software\\old\\kroutlook.dll", u"x");
    std::vector<std::uint8_t> oddLength = Record(kOurPath, u"x");
    oddLength[4] = 0x91; // odd path length
    std::vector<std::uint8_t> hugeLengths = Record(kOurPath, u"x");
    hugeLengths[8] = 0xFE, hugeLengths[9] = hugeLengths[10] = hugeLengths[11] = 0xFF; // wraps round a 32-bit sum
    std::vector<std::uint8_t> noNul = Record(kOurPath, u"Kestrin Software Add-In Engine");
    noNul.resize(noNul.size() - 2);
    noNul[8] -= 2; // the name's length without its NUL
    std::vector<std::uint8_t> zeroLength = Record(kOurPath, u"x");
    zeroLength[8] = 0;
    const std::map<std::string, fakes::FakeValue> others = {
        {"other", {3, Record(u"c:\\other\\addin.dll", u"Other Add-In")}},
        {"short", {3, {1, 0, 0, 0, 2, 0, 0, 0}}},
        {"kind", {3, wrongKind}},
        {"deeper", {3, inSubfolder}},
        {"odd", {3, oddLength}},
        {"huge", {3, hugeLengths}},
        {"nonul", {3, noNul}},
        {"zero", {3, zeroLength}},
        {"notbinary", {1, Record(kOurPath, u"x")}},
        {"shortElsewhere", {3, Record(u"C:\\PROGRA~1\\OTHER~1\\KROUTL~1.DLL", u"x")}},
        // A path from the user's hive never reaches the file system, where this one would log on to a host.
        {"planted", {3, Record(u"\\\\host\\share\\x~1\\a.dll", u"x")}},
        // No record is this large, and one before the add-in's must not end the listing.
        {"aaLarge", {3, std::vector<std::uint8_t>(1024 * 1024 + 1, 1)}},
        {std::string(16383, 'n'), {3, Record(u"c:\\other\\b.dll", u"B")}},
    };
    for (const auto& [name, value] : others) {
        os.registry.SetValue(hkcu, kOffice + "16.0" + kDisabled, name, value.type, value.data);
    }
    // Outlook wrote a record of ours under a wide name that lists best fit as
    // "twin", the name of another add-in's record: neither may be deleted.
    os.registry.SetValue(hkcu, kOffice + "16.0" + kDisabled, "twin\x01", 3, pathOnly);
    os.registry.listedAs["twin\x01"] = "twin";
    os.registry.SetValue(hkcu, kOffice + "16.0" + kDisabled, "twin", 3, Record(u"c:\\other\\twin.dll", u"Twin"));
    os.registry.SetValue(hkcu, kOffice + "16.0" + kDisabled, "byPath", 3, pathOnly);
    os.registry.SetValue(hkcu, kOffice + "15.0" + kDisabled, "byName", 3, nameOnly);
    // The same library written as Outlook may have stored it.
    os.registry.SetValue(hkcu, kOffice + "15.0" + kDisabled, "slashes", 3,
                         Record(u"C:/Program Files (x86)//Common Files\\\\Kestrin Software/KROUTLOOK.DLL", u"x"));
    os.registry.SetValue(hkcu, kOffice + "15.0" + kDisabled, "nameCase", 3,
                         Record(u"d:\\x.dll", u"KESTRIN SOFTWARE ADD-IN ENGINE  "));
    // The 8.3 forms of the tool's own folder, any component in either form.
    os.kernel.shortPaths[kAddinFolder] = "C:\\PROGRA~2\\COMMON~1\\KESTRI~1";
    os.registry.SetValue(hkcu, kOffice + "15.0" + kDisabled, "short", 3,
                         Record(u"C:\\PROGRA~2\\COMMON~1\\KESTRI~1\\KROUTL~1.DLL", u"x"));
    os.registry.SetValue(hkcu, kOffice + "15.0" + kDisabled, "mixed", 3,
                         Record(u"C:\\Program Files (x86)\\COMMON~1\\Kestrin Software\\a.dll", u"x"));
    os.registry.SetValue(hkcu, kOffice + "16.0\\Word\\Resiliency\\DisabledItems", "word", 3, pathOnly);
    os.registry.MakeKey(hkcu, kOffice + "14.0\\Common");
    for (int version = 100; version < 400; ++version) {
        os.registry.MakeKey(hkcu, kOffice + std::to_string(version) + ".0");
    }
    os.registry.SetValue(hkcu, kOffice + "399.0" + kDisabled, "last", 3, pathOnly);
    // Outlook's record of a crash while an add-in loaded: a path at an even
    // offset, ending in a NUL or with the data.
    const std::string crashes = kOffice + "16.0\\Outlook\\Resiliency\\CrashingAddinList";
    os.registry.SetValue(hkcu, crashes, "crashOurs", 3, Utf16(kOurPath + u'\0' + u"x", {7, 0, 0, 0}));
    os.registry.SetValue(hkcu, crashes, "crashAtEnd", 3,
                         Utf16(u"C:/PROGRAM FILES (X86)/COMMON FILES/KESTRIN SOFTWARE/A.DLL", {0, 0}));
    const std::map<std::string, std::vector<std::uint8_t>> otherCrashes = {
        {"crashOdd", Utf16(kOurPath, {9})},
        {"crashOther", Utf16(u"c:\\other\\addin.dll", {})},
        {"crashDeeper", Utf16(kOurPath.substr(0, kOurPath.size() - 13) + u"old\\x.dll", {})}};
    for (const auto& [name, data] : otherCrashes) {
        os.registry.SetValue(hkcu, crashes, name, 3, data);
    }
    // The flag Microsoft's inventory scripts read: the add-in's, of any case, set to 1.
    os.registry.SetDword(hkcu, crashes, "KESTRINSOFTWARE.CONNECT", 1);
    const std::string oldCrashes = kOffice + "15.0\\Outlook\\Resiliency\\CrashingAddinList";
    os.registry.SetDword(hkcu, oldCrashes, "KestrinSoftware.Connect", 0);
    os.registry.SetDword(hkcu, oldCrashes, "Other.Connect", 1);
    os.registry.SetText(hkcu, oldCrashes, "KestrinSoftware.Connect.", "1");

    ClickReset();

    std::vector<std::string> removed = os.registry.deletes;
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::string>{"KESTRINSOFTWARE.CONNECT", "byName", "byPath", "crashAtEnd",
                                                 "crashOurs", "last", "mixed", "nameCase", "short", "slashes"}));
    EXPECT_EQ(os.registry.Key(hkcu, oldCrashes)->values.size(), 3u) << "a flag of 0, another's, a text";
    for (const std::string& path : os.kernel.fileSystemPaths) {
        EXPECT_EQ(path.find("host"), std::string::npos) << path;
    }
    for (const auto& [name, data] : otherCrashes) {
        EXPECT_EQ(os.registry.Key(hkcu, crashes)->values.at(name).data, data) << name << " stays byte for byte";
    }
    const auto& left = os.registry.Key(hkcu, kOffice + "16.0" + kDisabled)->values;
    ASSERT_EQ(left.size(), others.size() + 2);
    EXPECT_EQ(left.at("twin\x01").data, pathOnly);
    EXPECT_EQ(left.at("twin").data, Record(u"c:\\other\\twin.dll", u"Twin"));
    for (const auto& [name, value] : others) {
        EXPECT_EQ(left.at(name).type, value.type) << name;
        EXPECT_EQ(left.at(name).data, value.data) << name << " stays byte for byte";
    }
    EXPECT_EQ(os.registry.Key(hkcu, kOffice + "16.0\\Word\\Resiliency\\DisabledItems")->values.size(), 1u);
    EXPECT_EQ(os.registry.Key(hkcu, kOffice + "14.0\\Outlook"), nullptr) << "no key is created";
    EXPECT_EQ(os.registry.openHandles(), 0);
    EXPECT_EQ(Count("box " + kTitle + ": " + kNotFullyReset +
                    "\r\n- Outlook's record of the disabled add-in could not be removed" + kRunAsAdministrator +
                    kReasonsHeading + kMadeOutlookStopLine + "\r\n" +
                    "Outlook last stopped while the add-in was running; it may turn the add-in off at its next start." +
                    kWriteToSupport),
              1)
        << "the record that collided stayed";
}

// What keeps Outlook from loading the add-in that no reset can change is
// told in a block of its own; only what the reset itself failed at asks for
// an administrator. The Wine test has the plain cases; these are the edges.
TEST_F(OutlookLoadCheckTest, WhatKeepsOutlookFromLoadingTheAddinIsTold)
{
    struct Setting {
        platform::Handle root;
        std::string path;
        std::string name;
        std::uint32_t type;
        std::string text; // a REG_SZ's text, or the 4 bytes of a REG_DWORD
    };
    struct Case {
        const char* what;
        std::vector<Setting> before = {}; // the reset
        std::vector<Setting> after = {};  // the registration, before the check
        int library;                      // the machine of KROutlook.dll's header: 32, 64, or 0 for a cut one
        std::string box;                  // empty for success
        // A whole image with an import table and a manifest, where it names libraries.
        std::vector<std::string> imports = {};
        bool isSigned = false;
        std::uint32_t registration = 0; // regsvr32's exit code for KROutlook.dll
        std::string undeletable = {};   // a key of the user's own class that cannot be deleted
        bool userClassStays = false;
        bool x64 = false;            // a 64-bit Outlook, and the x64 edition
        std::uint32_t windows = 100; // major * 10 + minor: 40 for NT 4, 61 for 7, 100 for 10
        std::map<std::string, std::vector<fakes::FakeEntry>> files = {}; // more files, by folder
        bool otherUser = false; // run by an administrator for alice, the signed-in user
        std::vector<std::string> exports = {"DllRegisterServer"}; // KROutlook.dll's, where it is a whole image
        // A check's exit code after the reset: 0 unless the case changed the
        // registration after it, or regsvr32 fails where no check can tell.
        int checkAfter = 0;
    };
    const std::string policies = "Software\\Policies\\Microsoft\\Office";
    const std::string cloudPolicies = "Software\\Policies\\Microsoft\\Cloud\\Office";
    const std::string policy = policies + "\\16.0\\Outlook\\Resiliency";
    const std::string cloud = cloudPolicies + "\\16.0\\Outlook\\Resiliency";
    const platform::Handle hkcu = platform::kHkeyCurrentUser;
    const platform::Handle hkcu64 = fakes::FakeRegistry::kCurrentUser64;
    const platform::Handle hklm64 = fakes::FakeRegistry::kLocalMachine64;
    const platform::Handle hklm32 = platform::kHkeyLocalMachine;
    const platform::Handle machine = platform::kHkeyLocalMachine;
    const std::string alice = "S-1-5-21-1-1001";
    const std::string classes = "Software\\Classes\\";
    const std::string clsid = fakes::FakeLaunch::kClsid;
    const std::string other = "{0E5A1F20-7C55-4B9E-8E3B-2D5F4A6C8B10}";
    const Setting newOutlook = {hkcu, kOffice + "16.0\\Outlook\\Preferences", "UseNewOutlook", 4, {1, 0, 0, 0}};
    const std::string willNot = "Kestrin Software add-ins were reset, but Outlook will not load them:\r\n";
    const std::string newOutlookLine = "- Outlook is set to use the new Outlook, which cannot load this add-in; switch "
                                       "the new Outlook off to use it";
    const std::string contact = "\r\n\r\nPlease contact support@kestrinsoftware.com about this problem.";
    const auto needs = [](const std::string& name) {
        return "- the add-in needs " + name + ", which is not on this computer";
    };
    const auto leadsTo = [](const std::string& path) {
        return "\r\n- the add-in's component KestrinSoftware.Connect leads to " + path +
               ", not to the add-in's own library";
    };
    const std::string security = "\\16.0\\Outlook\\Security";
    const std::string trustCenter =
        "- Outlook's Trust Center blocks add-ins that are not signed by a trusted publisher; "
        "please ask your administrator";
    const std::string trustCenterAll = "- Outlook's Trust Center disables all add-ins; please ask your administrator";
    const std::string refused = "\r\n- KROutlook.dll refused to register (error 5)";
    const auto userClass = [&](const std::string& server, platform::Handle root = platform::kHkeyCurrentUser,
                               std::uint32_t type = 1) {
        return std::vector<Setting>{{root, classes + "KestrinSoftware.Connect\\CLSID", "", 1, clsid},
                                    {root, classes + "CLSID\\" + clsid + "\\InprocServer32", "", type, server}};
    };
    const auto level = [&](const std::string& base, std::uint8_t trust, std::uint8_t n) {
        return std::vector<Setting>{
            {hkcu, base + security, "DontTrustInstalledFiles", 4, {static_cast<char>(trust), 0, 0, 0}},
            {hkcu, base + security, "Level", 4, {static_cast<char>(n), 0, 0, 0}}};
    };
    const auto plain = [](std::uint16_t machineType, const std::vector<std::string>& imports = {}) {
        return fakes::PeImageImporting(machineType, imports, false, {}, {});
    };
    const std::string sxs64 = "amd64_microsoft.vc90.crt_1fc8b3b9a1e18e3b_9.0.30729.9635_none_508ff41ecbe6ab7f";
    const std::vector<Case> cases = {
        {"the name's case differs", {{hkcu, policy + "\\AddinList", "kestrinsoftware.connect", 1, "0"}}, {}, 32, ""},
        {"restricted by a text", {{hkcu, policy, "restricttolist", 1, "1"}}, {}, 32, ""},
        {"cloud policy",
         {{hkcu, cloud + "\\AddinList", kProgId, 1, "0"}},
         {},
         32,
         willNot + "- your organization's policy keeps the add-in disabled; please ask your administrator" + contact},
        {"32-bit Outlook",
         {{hklm32, kOffice + "16.0\\Outlook\\InstallRoot", "Path", 1, "C:\\Office16"},
          {hklm64, kOffice + "ClickToRun\\Configuration", "Platform", 1, "x86"}},
         {},
         64,
         willNot + "- Outlook is 32-bit and cannot load this 64-bit add-in" + contact},
        {"a Bitness left by an Office without Outlook",
         {{hklm64, kOffice + "16.0\\Outlook", "Bitness", 1, "x64"}},
         {},
         32,
         ""},
        {"a cut library",
         {{hklm32, kOffice + "15.0\\Outlook\\InstallRoot", "Path", 1, "C:\\Office15"},
          {hklm32, kOffice + "15.0\\Outlook", "Bitness", 1, "x86"}},
         {},
         0,
         ""},
        {"server path to expand",
         {},
         {{machine, classes + "CLSID\\" + clsid + "\\InprocServer32", "", 2,
           "%CommonProgramFiles%\\Kestrin Software\\KROutlook.dll"}},
         32,
         ""},
        {.what = "the x64 edition's server path, expanded as a 64-bit Outlook does",
         .after = {{hklm64, classes + "CLSID\\" + clsid + "\\InprocServer32", "", 2,
                    "%CommonProgramFiles%\\Kestrin Software\\KROutlook.dll"}},
         .library = 64,
         .box = "",
         .x64 = true},
        {.what = "the class in its 8.3 form",
         .after = {{machine, classes + "CLSID\\" + clsid + "\\InprocServer32", "", 1,
                    "C:\\PROGRA~2\\COMMON~1\\KESTRI~1\\KROUTL~1.DLL"}},
         .library = 32,
         .box = ""},
        {.what = "a class left leading to a backup copy",
         .after = {{machine, classes + "CLSID\\" + clsid + "\\InprocServer32", "", 1,
                    kAddinFolder + "\\KROutlook.dll_old"}},
         .library = 32,
         .box = kNotFullyReset + leadsTo(kAddinFolder + "\\KROutlook.dll_old") + kRunAsAdministrator,
         .checkAfter = 1},
        {.what = "a CLSID that is no GUID, and the new Outlook",
         .before = {newOutlook},
         .after = {{machine, classes + "KestrinSoftware.Connect\\CLSID", "", 1, "..\\..\\x"}},
         .library = 32,
         .box = kNotFullyReset + kNoClass + "\r\n\r\n" + willNot + newOutlookLine + kRunAsAdministrator,
         .checkAfter = 1},
        {.what = "run-times missing, one of them in a library of the folder, beside what Windows supplies",
         .library = 32,
         .box = willNot + needs("VCRUNTIME140.dll") + "\r\n" + needs("MSVCP140.dll") + contact,
         .imports = {"KERNEL32.dll", "api-ms-win-crt-runtime-l1-1-0.dll", "KnownLib.dll", "InPath.dll", "InWindows.dll",
                     "VCRUNTIME140.dll", "Helper.dll", "msvcr90.dll"}},
        {.what = "Windows 7: the Universal C Runtime is an update's files, API sets are names",
         .library = 32,
         .box = willNot + needs("api-ms-win-crt-heap-l1-1-0.dll") + contact,
         .imports = {"api-ms-win-core-synch-l1-2-0.dll", "api-ms-win-crt-runtime-l1-1-0.dll",
                     "api-ms-win-crt-heap-l1-1-0.dll"},
         .windows = 61,
         .files = {{"C:\\WINDOWS\\SysWOW64", {{"api-ms-win-crt-runtime-l1-1-0.dll"}}}}},
        {.what = "Vista names no API set",
         .library = 32,
         .box = willNot + needs("api-ms-win-core-synch-l1-2-0.dll") + contact,
         .imports = {"api-ms-win-core-synch-l1-2-0.dll"},
         .windows = 60},
        {.what = "a library Windows does not find: in no folder it searches, or a folder of that name",
         .library = 32,
         .box = willNot + needs("Elsewhere.dll") + "\r\n" + needs("Folder.dll") + contact,
         .imports = {"Elsewhere.dll", "Folder.dll"},
         .files = {{"C:\\Other", {{"Elsewhere.dll"}}}, {"C:\\WINDOWS", {{"Folder.dll", 0x10}}}}},
        {.what = "a library of the folder met first one level down",
         .library = 32,
         .box = willNot + needs("MSVCP140.dll") + contact,
         .imports = {"KRUtil.dll", "KRCore.dll"},
         .files = {{kAddinFolder,
                    {{"KRUtil.dll", 0x20, plain(0x014C, {"KRCore.dll"})},
                     {"KRCore.dll", 0x20, plain(0x014C, {"MSVCP140.dll"})}}}}},
        {.what = "x64: the system folder on PATH is the 32-bit one, an x86 assembly and library do not count",
         .library = 64,
         .box = willNot + needs("VCRUNTIME140.dll") + "\r\n" + needs("msvcr90.dll") + "\r\n" + needs("x86only.dll") +
                contact,
         .imports = {"VCRUNTIME140.dll", "msvcr90.dll", "x86only.dll", "amd64.dll"},
         .x64 = true,
         .files = {{"C:\\WINDOWS\\system32", {{"VCRUNTIME140.dll"}}},
                   {"C:\\WINDOWS",
                    {{"x86only.dll", 0x20, fakes::PeImage(0x014C)}, {"amd64.dll", 0x20, fakes::PeImage(0x8664)}}}}},
        {.what = "x64: an amd64 assembly counts",
         .library = 64,
         .box = "",
         .imports = {"msvcr90.dll"},
         .x64 = true,
         .files = {{"C:\\WINDOWS\\WinSxS", {{sxs64, 0x10}}}, {"C:\\WINDOWS\\WinSxS\\" + sxs64, {{"msvcr90.dll"}}}}},
        {.what = "a library that does not load for lack of a run-time: no administrator can help",
         .before = {{machine, classes + "KestrinSoftware.Connect\\CLSID", "", 1, clsid},
                    {machine, classes + "CLSID\\" + clsid + "\\InprocServer32", "", 1,
                     kAddinFolder + "\\KROutlook.dll"}},
         .library = 32,
         .box = kNotFullyReset + "\r\n- KROutlook.dll could not be loaded (error 3)\r\n\r\n" + willNot +
                needs("VCRUNTIME140.dll") + contact,
         .imports = {"VCRUNTIME140.dll"},
         .registration = 3},
        {.what = "a fresh install whose library lacks a run-time: its class was never registered",
         .library = 32,
         .box = kNotFullyReset + "\r\n- KROutlook.dll could not be loaded (error 3)" + kNoClass + "\r\n\r\n" + willNot +
                needs("VCRUNTIME140.dll") + contact,
         .imports = {"VCRUNTIME140.dll"},
         .registration = 3},
        {.what = "a library of the other processor",
         .library = 64,
         .box = kNotFullyReset + "\r\n- KROutlook.dll could not be loaded (error 3)" + kNoClass + kRunAsAdministrator,
         .registration = 3},
        {.what = "a library without DllRegisterServer is still handed to regsvr32",
         .library = 32,
         .box = kNotFullyReset + "\r\n- KROutlook.dll has no registration entry point (error 4)" + kNoClass +
                kRunAsAdministrator,
         .registration = 4,
         .exports = {}},
        {.what = "the Trust Center at level 4 disables every add-in",
         .before = level(policies, 1, 4),
         .library = 32,
         .box = willNot + trustCenterAll + contact,
         .imports = {"KERNEL32.dll"}},
        {.what = "level 4, a signed library",
         .before = level(policies, 1, 4),
         .library = 32,
         .box = willNot + trustCenterAll + contact,
         .imports = {"KERNEL32.dll"},
         .isSigned = true},
        {.what = "level 3 and a signed library: only Outlook knows the publisher",
         .before = level(policies, 1, 3),
         .library = 32,
         .box = "",
         .imports = {"KERNEL32.dll"},
         .isSigned = true},
        {.what = "level 3 unsigned, in the user's own Office settings",
         .before = level("Software\\Microsoft\\Office", 1, 3),
         .library = 32,
         .box = willNot + trustCenter + contact,
         .imports = {"KERNEL32.dll"}},
        {.what = "level 3 unsigned, where a policy's 0 outweighs Office's own 1",
         .before = {{hkcu, policies + security, "DontTrustInstalledFiles", 4, {0, 0, 0, 0}},
                    {hkcu, kOffice + "16.0\\Outlook\\Security", "DontTrustInstalledFiles", 4, {1, 0, 0, 0}},
                    {hkcu, kOffice + "16.0\\Outlook\\Security", "Level", 4, {3, 0, 0, 0}}},
         .library = 32,
         .box = "",
         .imports = {"KERNEL32.dll"}},
        {.what = "level 3 unsigned, in the Cloud policy",
         .before = level(cloudPolicies, 1, 3),
         .library = 32,
         .box = willNot + trustCenter + contact,
         .imports = {"KERNEL32.dll"}},
        {"the user's own class, leading to a file gone, goes", userClass("C:\\Old\\KROutlook.dll"), {}, 32, ""},
        {.what = "the user's own 64-bit class, leading to a file gone, goes from the 64-bit view",
         .before = userClass("C:\\Old\\KROutlook.dll", hkcu64),
         .library = 64,
         .box = "",
         .x64 = true},
        {.what = "the user's own class leading to another file goes where the machine's leads to the library",
         .before = userClass("C:\\Tools\\InPath.dll"),
         .library = 32,
         .box = ""},
        {.what = "the user's ProgID naming a class nothing serves goes",
         .before = {{hkcu, classes + "KestrinSoftware.Connect\\CLSID", "", 1, other}},
         .library = 32,
         .box = ""},
        {.what = "the user's class of another ProgID stays",
         .before = {{hkcu, classes + "KestrinSoftware.Connect\\CLSID", "", 1, other},
                    {hkcu, classes + "CLSID\\" + other + "\\InprocServer32", "", 1, "C:\\Tools\\InPath.dll"},
                    {hkcu, classes + "CLSID\\" + other + "\\ProgID", "", 1, "Other.Component"}},
         .library = 32,
         .box = "",
         .userClassStays = true},
        {.what = "NT 4's COM reads no user's classes",
         .before = userClass("C:\\Old\\KROutlook.dll"),
         .library = 32,
         .box = "",
         .userClassStays = true,
         .windows = 40},
        {.what = "the user's own class on a network path is not looked at",
         .before = userClass("\\\\host\\share\\KROutlook.dll"),
         .library = 32,
         .box = kNotFullyReset + refused + leadsTo("\\\\host\\share\\KROutlook.dll") + kRunAsAdministrator,
         .registration = 5,
         .userClassStays = true,
         .checkAfter = 1},
        {.what = "the user's own class cannot be removed",
         .before = userClass("C:\\Old\\KROutlook.dll"),
         .library = 32,
         .box = kNotFullyReset + "\r\n- an old registration of the add-in for this user could not be removed" +
                kRunAsAdministrator,
         .undeletable = "InprocServer32",
         .userClassStays = true,
         .checkAfter = 1},
        {.what = "the user's own ProgID cannot be removed",
         .before = userClass("C:\\Old\\KROutlook.dll"),
         .library = 32,
         .box = kNotFullyReset + "\r\n- an old registration of the add-in for this user could not be removed" +
                kRunAsAdministrator,
         .undeletable = "KestrinSoftware.Connect",
         .userClassStays = true},
        {.what = "another user's class in her own LOCALAPPDATA exists",
         .before = userClass("%LOCALAPPDATA%\\Kestrin\\KROutlook.dll", hkcu, 2),
         .library = 32,
         .box = kNotFullyReset + refused + leadsTo("C:\\Users\\alice\\AppData\\Local\\Kestrin\\KROutlook.dll") +
                kRunAsAdministrator,
         .registration = 5,
         .userClassStays = true,
         .files = {{"C:\\Users\\alice\\AppData\\Local\\Kestrin", {{"KROutlook.dll"}}}},
         .otherUser = true,
         .checkAfter = 1},
        {.what = "another user's class in her own TEMP, which her USERPROFILE names",
         .before = userClass("%TEMP%\\Kestrin\\KROutlook.dll", hkcu, 2),
         .library = 32,
         .box = kNotFullyReset + refused + leadsTo("C:\\Users\\alice\\AppData\\Local\\Temp\\Kestrin\\KROutlook.dll") +
                kRunAsAdministrator,
         .registration = 5,
         .userClassStays = true,
         .files = {{"C:\\Users\\alice\\AppData\\Local\\Temp\\Kestrin", {{"KROutlook.dll"}}}},
         .otherUser = true,
         .checkAfter = 1},
        {.what = "another user's class in a folder only she could name",
         .before = userClass("%OneDrive%\\Kestrin\\KROutlook.dll", hkcu, 2),
         .library = 32,
         .box = kNotFullyReset + refused + leadsTo("%OneDrive%\\Kestrin\\KROutlook.dll") + kRunAsAdministrator,
         .registration = 5,
         .userClassStays = true,
         .otherUser = true,
         .checkAfter = 1},
    };
    for (const Case& c : cases) {
        Computer pc;
        // A 32-bit program's environment on 64-bit Windows, as the administrator's.
        pc.os.launch.environment["CommonProgramFiles(x86)"] = kCommonFiles;
        pc.os.launch.environment["LOCALAPPDATA"] = "C:\\Users\\admin\\AppData\\Local";
        pc.os.launch.environment["OneDrive"] = "C:\\Users\\admin\\OneDrive";
        pc.os.kernel.windows64 = true;
        pc.os.kernel.majorVersion = c.windows / 10;
        pc.os.kernel.minorVersion = c.windows % 10;
        pc.os.kernel.shortPaths[kAddinFolder] = "C:\\PROGRA~2\\COMMON~1\\KESTRI~1";
        pc.os.kernel.shortPaths[kAddinFolder + "\\KROutlook.dll"] = "C:\\PROGRA~2\\COMMON~1\\KESTRI~1\\KROUTL~1.DLL";
        const std::uint16_t machineType = c.library == 64 ? 0x8664 : 0x014C;
        std::vector<fakes::FakeEntry> addinFiles = {
            {"KROutlook.dll", 0x20,
             c.imports.empty() && !c.isSigned && c.registration == 0
                 ? fakes::PeImage(machineType, c.library == 0)
                 : fakes::PeImageImporting(machineType, c.imports, c.isSigned, {"Microsoft.VC90.CRT"}, c.exports)},
            {"Helper.dll", 0x20, fakes::PeImageImporting(machineType, {"MSVCP140.dll", "VCRUNTIME140.dll"})}};
        if (c.x64) {
            StartedOutlookIs64Bit(pc.os, std::move(addinFiles));
        } else {
            pc.os.kernel.folders[kAddinFolder] = std::move(addinFiles);
        }
        // Where Windows finds libraries: the system and Windows folders, PATH,
        // the known DLLs, the folder of an assembly the manifest names.
        const std::string vc90 = "x86_microsoft.vc90.crt_1fc8b3b9a1e18e3b_9.0.30729.9635_none_508ff41ecbe6ab7f";
        pc.os.kernel.folders["C:\\WINDOWS\\SysWOW64"] = {{"kernel32.dll"}};
        pc.os.kernel.folders["C:\\WINDOWS"] = {{"InWindows.dll"}};
        pc.os.kernel.folders["C:\\WINDOWS\\WinSxS"] = {{vc90, 0x10}};
        pc.os.kernel.folders["C:\\WINDOWS\\WinSxS\\" + vc90] = {{"msvcr90.dll"}};
        pc.os.kernel.folders["C:\\Tools"] = {{"InPath.dll"}};
        for (const auto& [where, entries] : c.files) {
            auto& in = pc.os.kernel.folders[where];
            in.insert(in.end(), entries.begin(), entries.end());
        }
        pc.os.launch.environment["PATH"] = "D:\\Gone;C:\\Tools\\;C:\\WINDOWS\\system32";
        pc.os.registry.SetText(machine, "System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", "known",
                               "KnownLib.dll");
        pc.os.launch.outcomes["KROutlook.dll"] = {true, 50, c.registration};
        if (!c.undeletable.empty()) {
            pc.os.registry.deniedKeyDeletes.insert(c.undeletable);
        }
        // The signed-in user's hive, where the administrator runs the tool for her.
        const auto mapped = [&](platform::Handle root, const std::string& path) {
            if (!c.otherUser || (root != hkcu && root != hkcu64)) {
                return std::pair(root, path);
            }
            return std::pair(root == hkcu ? platform::kHkeyUsers : fakes::FakeRegistry::kUsers64, alice + "\\" + path);
        };
        if (c.otherUser) {
            pc.os.windowing.shellWindow = 0x30000;
            pc.os.windowing.shellProcessId = 4;
            pc.os.security.users[4] = alice;
            pc.os.security.accounts[alice] = {"CORP", "alice"};
            pc.os.registry.SetText(platform::kHkeyUsers, alice + "\\Volatile Environment", "LOCALAPPDATA",
                                   "C:\\Users\\alice\\AppData\\Local");
            pc.os.registry.SetText(platform::kHkeyUsers, alice + "\\Volatile Environment", "USERPROFILE",
                                   "C:\\Users\\alice");
            const std::string temp = "%USERPROFILE%\\AppData\\Local\\Temp";
            pc.os.registry.SetValue(platform::kHkeyUsers, alice + "\\Environment", "TEMP", 2,
                                    std::vector<std::uint8_t>(temp.c_str(), temp.c_str() + temp.size() + 1));
        }
        const auto apply = [&](const std::vector<Setting>& settings) {
            for (const Setting& setting : settings) {
                std::vector<std::uint8_t> data(setting.text.begin(), setting.text.end());
                if (setting.type != 4) {
                    data.push_back(0);
                }
                const auto [root, path] = mapped(setting.root, setting.path);
                pc.os.registry.SetValue(root, path, setting.name, setting.type, data);
            }
        };
        apply(c.before);
        pc.os.windowing.onPump = [&] {
            if (pc.os.windowing.texts[frmMain::kLblProgress] == "Checking whether Outlook can load the add-in...") {
                apply(c.after);
            }
        };
        pc.ClickReset();
        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u) << c.what;
        const std::string forAlice =
            c.otherUser ? "\r\n\r\nOutlook's settings were repaired for the signed-in user CORP\\alice." : "";
        EXPECT_EQ(pc.os.windowing.boxes[0].text, (c.box.empty() ? kSuccess : c.box) + forAlice) << c.what;
        const std::string label = c.box.empty() ? kSuccess
                                  : c.box.starts_with(kNotFullyReset)
                                      ? "Reset finished with errors."
                                      : "Reset finished, but Outlook will not load the add-in.";
        EXPECT_EQ(pc.os.windowing.texts[frmMain::kLblProgress], label) << c.what;
        EXPECT_EQ(pc.os.registry.writes.size(), 4u) << c.what << ": the check writes nothing";
        EXPECT_EQ(pc.os.registry.createdKeys, std::vector<std::string>{kAddinKey + "\\"})
            << c.what << ": no key made but the registration";
        for (const std::string& path : pc.os.kernel.fileSystemPaths) {
            EXPECT_EQ(path.find("host"), std::string::npos) << c.what << ": " << path;
        }
        const platform::Handle userRoot = c.x64 ? hkcu64 : hkcu;
        const auto [progIdRoot, progId] = mapped(userRoot, classes + "KestrinSoftware.Connect");
        const auto [classRoot, classKey] =
            mapped(userRoot, classes + "CLSID\\" + (c.before.empty() || c.before[0].text != other ? clsid : other));
        const bool userClassGone =
            pc.os.registry.Key(progIdRoot, progId) == nullptr && pc.os.registry.Key(classRoot, classKey) == nullptr;
        EXPECT_EQ(userClassGone, !c.userClassStays) << c.what;
        // A check asks for a reset only where one could change its answer.
        pc.os.console.output.clear();
        EXPECT_EQ(ConsoleProgram({"check"}).Run(), c.checkAfter) << c.what << ", checked after the reset:\n"
                                                                 << pc.os.console.output;
        pc.os.registry.Restart();
        EXPECT_NE(pc.os.registry.Key(c.x64 ? hklm64 : hklm32, kAddinKey), nullptr)
            << c.what << ": the registration outlives a restart";
    }
}

// Run under another account ("Run as administrator" with an administrator's
// credentials), the per-user repairs go to the signed-in user's hive, and the
// box says whose. Wherever that user or hive cannot be had, HKEY_CURRENT_USER.
TEST_F(UserHiveTest, PerUserSettingsAreRepairedForTheSignedInUser)
{
    const std::string alice = "S-1-5-21-1-1001";
    struct Case {
        const char* what;
        std::string shellUser;   // empty: no shell window
        bool loaded = true;      // alice's hive
        bool readable = true;    // the shell's token
        bool named = true;       // alice's account
        bool hklmDenied = false; // the fallback writes the per-user key whole
        std::string line = {};   // the box's last line; empty when HKEY_CURRENT_USER was repaired
        std::uint32_t platformId = 2;
    };
    const std::string repaired = "\r\n\r\nOutlook's settings were repaired for the signed-in user ";
    const std::vector<Case> cases = {
        {"the same user", "S-1-5-21-1-1000"},
        {"another user", alice, true, true, true, false, repaired + "CORP\\alice."},
        {"an account without a name", alice, true, true, false, false, repaired + alice + "."},
        {"another user, HKLM denied", alice, true, true, true, true, repaired + "CORP\\alice."},
        {"a hive not loaded", alice, false},
        {"no shell window", ""},
        {"a token that cannot be read", alice, true, false},
        {"the 9x line", alice, true, true, true, false, "", 1},
    };
    for (const Case& c : cases) {
        Computer pc;
        pc.os.windowing.shellWindow = c.shellUser.empty() ? 0 : 0x30000;
        pc.os.windowing.shellProcessId = 4;
        pc.os.security.users[4] = c.shellUser;
        pc.os.kernel.platformId = c.platformId;
        if (!c.readable) {
            pc.os.security.unreadableTokens.insert(4);
        }
        if (c.named) {
            pc.os.security.accounts[alice] = {"CORP", "alice"};
        }
        if (c.hklmDenied) {
            pc.os.registry.deniedRoots.insert(platform::kHkeyLocalMachine);
        }
        // The shell user's hive is loaded too when that user is the tool's own.
        const std::string shellHive = (c.shellUser.empty() ? alice : c.shellUser) + "\\";
        const std::vector<std::pair<platform::Handle, std::string>> hives = {{platform::kHkeyCurrentUser, ""},
                                                                             {platform::kHkeyUsers, shellHive}};
        for (const auto& [root, prefix] : hives) {
            if (root == platform::kHkeyCurrentUser || c.loaded) {
                pc.os.registry.SetDword(root, prefix + kAddinKey, "LoadBehavior", 2);
                pc.os.registry.SetValue(root, prefix + kOffice + "16.0" + kDisabled, "byPath", 3,
                                        Record(kOurPath, u"x"));
            }
        }
        // Outlook's reasons are read from the hive repaired alone: the signed-in user's slow starts.
        if (c.loaded) {
            pc.os.registry.SetValue(platform::kHkeyUsers, shellHive + kOffice + "16.0\\Outlook\\AddInLoadTimes",
                                    kProgId, 3, LoadTimes(5, {900, 1204, 1300, 1100, 2000}));
        }
        pc.ClickReset();

        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u) << c.what;
        const std::string slowStarts =
            c.line.empty() ? "" : "\r\nIts last 5 starts took 1,204 ms in the middle: Outlook may turn it off again.";
        EXPECT_EQ(pc.os.windowing.boxes[0].text,
                  kSuccess + kReasonsHeading + kMadeOutlookStopLine + slowStarts + kWriteToSupport + c.line)
            << c.what;
        for (const auto& [root, prefix] : hives) {
            const bool repairedHere = (root == platform::kHkeyUsers) == !c.line.empty();
            const fakes::FakeKey* key = pc.os.registry.Key(root, prefix + kAddinKey);
            if (key == nullptr) {
                EXPECT_TRUE(root == platform::kHkeyUsers && !c.loaded) << c.what;
                continue;
            }
            EXPECT_EQ(key->values.at("LoadBehavior").data[0], repairedHere ? 3 : 2) << c.what;
            EXPECT_EQ(key->values.size(), repairedHere && c.hklmDenied ? 4u : 1u) << c.what;
            EXPECT_EQ(pc.os.registry.Key(root, prefix + kOffice + "16.0" + kDisabled)->values.count("byPath"),
                      repairedHere ? 0u : 1u)
                << c.what;
        }
        EXPECT_EQ(pc.os.kernel.OpenHandleCount(), 0) << c.what;
        EXPECT_EQ(pc.os.registry.openHandles(), 0) << c.what;
    }
}

TEST_F(OutlookResiliencyTest, NoOfficeKeyMeansNothingToRemove)
{
    ClickReset();
    EXPECT_EQ(os.registry.Key(platform::kHkeyCurrentUser, "Software\\Microsoft"), nullptr);
    EXPECT_EQ(SuccessBoxes(), 1);
}

// A version the registry cannot name cuts the listing short: what it may
// hide is reported, not passed over.
TEST_F(OutlookResiliencyTest, AListingCutShortIsReported)
{
    os.registry.MakeKey(platform::kHkeyCurrentUser, kOffice + "0" + std::string(300, 'v'));
    os.registry.SetValue(platform::kHkeyCurrentUser, kOffice + "16.0" + kDisabled, "byPath", 3, Record(kOurPath, u"x"));
    ClickReset();
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].text, kNotFullyReset +
                                              "\r\n- Outlook's record of the disabled add-in could not be removed" +
                                              kRunAsAdministrator);
}

// Without "CommonProgramFiles" the folder has no drive; a record is this
// add-in's only for the whole folder, as in either list.
TEST_F(OutlookResiliencyTest, AFolderWithoutADriveMatchesOnlyItself)
{
    os.launch.environment.clear();
    const std::u16string backup = u"D:\\Backup\\Kestrin Software\\KROutlook.dll";
    const std::string crashes = kOffice + "16.0\\Outlook\\Resiliency\\CrashingAddinList";
    os.registry.SetValue(platform::kHkeyCurrentUser, crashes, "backup", 3, Utf16(backup, {7, 0}));
    os.registry.SetValue(platform::kHkeyCurrentUser, crashes, "ours", 3,
                         Utf16(u"\\Kestrin Software\\KROutlook.dll", {7, 0}));
    os.registry.SetValue(platform::kHkeyCurrentUser, kOffice + "16.0" + kDisabled, "backup", 3, Record(backup, u"x"));
    ClickReset();
    EXPECT_EQ(os.registry.deletes, std::vector<std::string>{"ours"});
}

TEST_F(Regsvr32RunsTest, EachRegistrationFailureHasItsLineInOneBox)
{
    // A plain library beside the add-in, its run-time, exports no DllRegisterServer: no component, never started.
    os.kernel.folders[kAddinFolder] = {
        {"KROutlook.dll"}, {"Broken.dll"},
        {"Slow.dll"},      {"Hung.dll"},
        {"Gone.dll"},      {"Odd.dll"},
        {"NoEntry.dll"},   {"msvcp140.dll", 0x20, fakes::PeImageImporting(0x014C, {}, false, {}, {})},
        {"Stuck.dll"},     {"Late.dll"},
        {"Grid.ocx"}};
    os.launch.outcomes["Broken.dll"] = {true, 50, 3};
    os.launch.outcomes["Slow.dll"] = {true, 20000, 0};
    os.launch.outcomes["Hung.dll"] = {true, std::nullopt, 0};
    os.launch.outcomes["Gone.dll"] = {false, 0, 0};
    os.launch.outcomes["Odd.dll"] = {true, 50, 7};
    os.launch.outcomes["NoEntry.dll"] = {true, 50, 4};
    os.launch.outcomes["msvcp140.dll"] = {true, 50, 4};
    os.launch.outcomes["Grid.ocx"] = {true, 5000, 5};
    // Unregistrations still running when the registering would begin: one ends in the wait, one never does.
    os.launch.unregisterOutcomes["Late.dll"] = {true, 2500, 0};
    os.launch.unregisterOutcomes["Stuck.dll"] = {true, std::nullopt, 0};
    os.windowing.eventsDuringWaits = 1;
    ClickReset();

    const std::string text =
        kNotFullyReset + "\r\n- Broken.dll could not be loaded (error 3)" +
        "\r\n- Hung.dll did not finish registering\r\n- Gone.dll could not be started" +
        "\r\n- Odd.dll could not be registered (error 7)\r\n- NoEntry.dll has no registration entry point (error 4)" +
        "\r\n- Stuck.dll did not finish unregistering" + "\r\n- Grid.ocx refused to register (error 5)" +
        kRunAsAdministrator;
    EXPECT_EQ(os.windowing.texts[frmMain::kLblProgress], "Reset finished with errors.");
    EXPECT_LT(Position("unblock shutdown"), Position("caption 103 Reset finished with errors."));
    const std::vector<std::string> ending = {"box " + kTitle + ": " + text, "destroy", "quit 2"};
    ASSERT_GE(os.windowing.log.size(), ending.size());
    EXPECT_EQ(std::vector<std::string>(os.windowing.log.end() - 3, os.windowing.log.end()), ending);
    EXPECT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].type, 0u);
    EXPECT_EQ(os.windowing.boxes[0].owner, fakes::FakeWindowing::kForm);
    EXPECT_EQ(Count("launch regsvr32 /u /s \"" + kAddinFolder + "\\Gone.dll\""), 1)
        << "the unregister pass is not judged";
    EXPECT_EQ(Count("launch regsvr32 /s \"" + kAddinFolder + "\\Stuck.dll\""), 0) << "it would be undone";
    // The unregistrations are awaited before the first registration, and the
    // event that came during that wait was handled like any other in a run.
    const int firstWait = Position("wait 2");
    ASSERT_GE(firstWait, 0);
    EXPECT_EQ(os.windowing.log[static_cast<std::size_t>(firstWait) + 1], "pump");
    EXPECT_LT(firstWait, Position("launch regsvr32 /s \"" + kAddinFolder + "\\KROutlook.dll\""));
    EXPECT_EQ(Count("launch regsvr32 /u /s \"" + kAddinFolder + "\\msvcp140.dll\""), 0);
    EXPECT_EQ(os.kernel.now - 5000u, 19 * Regsvr32Runs::kPauseMilliseconds + 2 * Regsvr32Runs::kWaitMilliseconds)
        << "ten pauses, the wait for the unregistrations, nine pauses, the wait for the registrations";
    EXPECT_EQ(os.kernel.OpenHandleCount(), 0) << "the hung processes' handles too";
}

// Registrations that end while the window is in a long modal loop, or beyond
// the 63 handles one wait holds, are seen ended by a last look.
// Where a wait fails at once, as before XP with a wake mask the system did
// not know, the runs are looked at in short steps for as long as a wait
// would have lasted: a late unregistration is still awaited and the file
// registered, and one that never ends is still named.
TEST_F(Regsvr32RunsTest, AFailingWaitGoesOnByPolling)
{
    os.windowing.waitsFail = true;
    os.launch.unregisterOutcomes["Engine.dll"] = {true, 2500, 0};
    os.launch.outcomes["Grid.ocx"] = {true, std::nullopt, 0};
    ClickReset();
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].text,
              kNotFullyReset + "\r\n- Grid.ocx did not finish registering" + kRunAsAdministrator);
    EXPECT_EQ(Count("launch regsvr32 /s \"" + kAddinFolder + "\\Engine.dll\""), 1);
    EXPECT_GT(Count("sleep " + std::to_string(Regsvr32Runs::kPollMilliseconds)), 0);
    EXPECT_LE(os.kernel.now - 5000u, 6 * Regsvr32Runs::kPauseMilliseconds + 2 * Regsvr32Runs::kWaitMilliseconds);
}

TEST_F(Regsvr32RunsTest, RegistrationsTheWaitCouldNotSeeEndAreJudgedByALastLook)
{
    for (const bool modalLoop : {true, false}) {
        Computer pc;
        auto& folder = pc.os.kernel.folders[kAddinFolder];
        folder = {{"KROutlook.dll"}};
        for (int i = 0; !modalLoop && i < 64; ++i) {
            folder.push_back({"Hung" + std::to_string(i) + ".dll"});
            pc.os.launch.outcomes[folder.back().name] = {true, std::nullopt, 0};
        }
        folder.push_back({"Late.dll"});
        pc.os.launch.outcomes["Late.dll"] = {true, 5000, 0};
        if (modalLoop) {
            // A drag of the window that outlasts the wait's 30 seconds.
            pc.os.windowing.eventsDuringWaits = 1;
            pc.os.windowing.onPump = [&] {
                if (pc.os.windowing.log.size() > 1 && pc.os.windowing.log[pc.os.windowing.log.size() - 2] == "wait 1") {
                    pc.os.kernel.now += 40000;
                }
            };
        }
        pc.ClickReset();
        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u);
        EXPECT_EQ(pc.os.windowing.boxes[0].text.find("Late.dll"), std::string::npos) << pc.os.windowing.boxes[0].text;
        EXPECT_EQ(pc.os.windowing.boxes[0].text == kSuccess, modalLoop);
    }
}

TEST_F(FormTest, RegistrationRecordAndSystemFolderFailuresAreReported)
{
    os.registry.deniedRoots.insert(platform::kHkeyLocalMachine);
    os.registry.deniedWrites.insert("LoadBehavior");
    os.registry.SetValue(platform::kHkeyCurrentUser, kOffice + "16.0" + kDisabled, "byPath", 3, Record(kOurPath, u"x"));
    os.registry.deniedWrites.insert("byPath");
    os.kernel.systemDirectory.clear();
    ClickReset();
    EXPECT_TRUE(os.launch.launches.empty()) << "regsvr32 is never looked for elsewhere";
    ASSERT_EQ(os.windowing.boxes.size(), 1u);
    EXPECT_EQ(os.windowing.boxes[0].text,
              kNotFullyReset + "\r\n- the add-in's registration could not be written" +
                  "\r\n- Outlook's record of the disabled add-in could not be removed" +
                  "\r\n- KROutlook.dll could not be started" + "\r\n- Engine.dll could not be started" +
                  "\r\n- Grid.ocx could not be started" + kNoClass + kRunAsAdministrator + kMadeOutlookStop);
    EXPECT_EQ(os.registry.Key(platform::kHkeyCurrentUser, kOffice + "16.0" + kDisabled)->values.size(), 1u);
}

// Only a key that is not there holds nothing: one that cannot be opened may
// hold what the reset had to change.
// A key that cannot be opened, and a record that changes between being
// judged and being deleted, which then stays.
TEST_F(OutlookResiliencyTest, KeysThatCannotBeOpenedOrChangeAreReported)
{
    const std::string registration = "- the add-in's registration could not be written";
    const std::string record = "- Outlook's record of the disabled add-in could not be removed";
    const std::string changes = "a record that changes";
    for (const auto& [path, line] : std::vector<std::pair<std::string, std::string>>{
             {kAddinKey + "\\", registration},
             {kOffice + "ClickToRun\\REGISTRY\\MACHINE\\Software\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware."
                        "Connect",
              registration},
             // Each key of a user's hive is opened on the way to the next: the user's registration is below it too.
             {kOffice, registration + "\r\n" + record},
             {kOffice + "16.0" + kDisabled, record},
             {changes, record}}) {
        Computer pc;
        pc.os.registry.MakeKey(platform::kHkeyCurrentUser, kOffice + "16.0" + kDisabled);
        pc.os.registry.MakeKey(platform::kHkeyCurrentUser, kAddinKey);
        pc.os.registry.openStatus[path] = 5;
        if (path == changes) {
            pc.os.registry.SetValue(platform::kHkeyCurrentUser, kOffice + "16.0" + kDisabled, "ours", 3,
                                    Record(kOurPath, u"x"));
            pc.os.registry.betweenReads = [](fakes::FakeValue& value) { value.data.back() ^= value.type == 3 ? 1 : 0; };
        }
        pc.ClickReset();
        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u);
        EXPECT_EQ(pc.os.windowing.boxes[0].text,
                  kNotFullyReset + "\r\n" + line + kRunAsAdministrator + (path == changes ? kMadeOutlookStop : ""))
            << path;
    }
}

// The final box, its label and the exit code, from the report alone.
TEST(OutcomeTest, TheFinalBoxIsMadeFromTheReportAlone)
{
    struct Case {
        std::vector<Text> problems;
        std::vector<Text> blockers;
        Text signedInUser;
        std::string box;
        std::string label;
        int exitCode;
    };
    const std::string willNot = "Kestrin Software add-ins were reset, but Outlook will not load them:";
    const std::string contact = "\r\n\r\nPlease contact support@kestrinsoftware.com about this problem.";
    const std::string alice = "\r\n\r\nOutlook's settings were repaired for the signed-in user CORP\\alice.";
    const std::string errors = "Reset finished with errors.";
    const std::vector<Case> cases = {
        {{}, {}, u"", kSuccess, kSuccess, 0},
        {{}, {}, u"CORP\\alice", kSuccess + alice, kSuccess, 0},
        {{u"- a", u"- b"}, {}, u"", kNotFullyReset + "\r\n- a\r\n- b" + kRunAsAdministrator, errors, 2},
        {{},
         {u"- c"},
         u"CORP\\alice",
         willNot + "\r\n- c" + contact + alice,
         "Reset finished, but Outlook will not load the add-in.",
         3},
        {{u"- a"},
         {u"- c"},
         u"",
         kNotFullyReset + "\r\n- a\r\n\r\n" + willNot + "\r\n- c" + kRunAsAdministrator,
         errors,
         2},
    };
    for (const Case& c : cases) {
        RunReport report(c.signedInUser);
        for (const Text& line : c.problems) {
            report.AddProblem({line, "problem"});
        }
        for (const Text& line : c.blockers) {
            report.AddBlocker({line, "blocker"});
        }
        const Outcome outcome = OutcomeOf(report);
        EXPECT_EQ(AsciiOf(outcome.box), c.box);
        EXPECT_EQ(AsciiOf(outcome.label), c.label);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
    }
}

// The administrators' program as a fleet tool runs it: LocalSystem, no
// desktop, the hives of whoever is signed in loaded under HKEY_USERS. Each
// person's settings are checked and repaired and named; a service's hive,
// the "_Classes" hives and one that cannot be opened are not repaired.
TEST(ConsoleTest, AsLocalSystemEveryLoadedUserIsCheckedAndReset)
{
    const std::string alice = "S-1-5-21-7-1001";
    const std::string bob = "S-1-12-1-4089-2117-3318-3305";
    const std::string carol = "S-1-5-21-7-1003";
    struct Case {
        const char* what;
        std::vector<std::string> hives; // loaded; carol's cannot be opened
        bool bobNamed = true;
        std::string check;
        int checkExit;
        std::string reset;
        int resetExit;
        std::set<std::string> clean = {}; // hives that hold nothing of the add-in
        bool machineDenied = false;
    };
    const std::string dave = "S-1-5-21-7-1004";
    const std::string notFully = "Kestrin Software add-ins were not fully reset:\r\n";
    const std::string admin =
        "Please run this program as an administrator, or contact support@kestrinsoftware.com about this problem.";
    // The registry lists the hives in its order: the Entra account's first. A
    // line the same for several users is one, naming them.
    const auto namesOf = [](const std::vector<std::string>& who) {
        std::string names;
        for (std::size_t i = 0; i < who.size(); ++i) {
            names += (i == 0 ? "" : i + 1 == who.size() ? " and " : ", ") + who[i];
        }
        return names;
    };
    const auto disabled = [&](const std::vector<std::string>& who) {
        std::string lines;
        for (const char* what :
             {"- a per-user registration gives the add-in LoadBehavior 2 (", "- Outlook has disabled the add-in ("}) {
            lines += what + namesOf(who) + ")\r\n";
        }
        return lines;
    };
    // Outlook's reason, of those users alone whose hive holds its record.
    const auto reason = [&](const std::vector<std::string>& who) {
        return kReasonsHeading.substr(4) + kMadeOutlookStopLine + " (" + namesOf(who) + ")" + kWriteToSupport + "\r\n";
    };
    const std::vector<Case> cases = {
        {"a domain account, an Entra account, one that cannot be opened",
         {alice, bob, carol, "S-1-5-18", ".DEFAULT", alice + "_Classes"},
         true,
         "- the settings of the user " + carol + " could not be opened\r\n" +
             disabled({"AzureAD\\bob", "CORP\\alice"}) + reason({"AzureAD\\bob", "CORP\\alice"}) +
             "Outlook's settings were checked for the users AzureAD\\bob and CORP\\alice.\r\n"
             "A reset of Kestrin Software add-ins is needed.\r\n",
         1,
         notFully + "- the settings of the user " + carol + " could not be opened\r\n\r\n" + admin + "\r\n\r\n" +
             reason({"AzureAD\\bob", "CORP\\alice"}) +
             "\r\nOutlook's settings were repaired for the users AzureAD\\bob and CORP\\alice.\r\n",
         2},
        {"a name that cannot be looked up",
         {bob},
         false,
         disabled({bob}) + reason({bob}) + "Outlook's settings were checked for the user " + bob +
             ".\r\nA reset of Kestrin Software add-ins is needed.\r\n",
         1,
         kSuccess + "\r\n\r\n" + reason({bob}) + "\r\nOutlook's settings were repaired for the user " + bob + ".\r\n",
         0},
        {"no user signed in",
         {"S-1-5-18", "S-1-5-19"},
         true,
         "No user is signed in: only this computer's settings were checked.\r\nKestrin Software add-ins need no "
         "reset.\r\n",
         0,
         kSuccess + "\r\n\r\nNo user is signed in: only this computer's settings were repaired.\r\n",
         0},
        {"users who differ, one hive between them that cannot be opened",
         {alice, carol, dave},
         true,
         "- the settings of the user " + carol + " could not be opened\r\n" + disabled({"CORP\\alice"}) +
             reason({"CORP\\alice"}) +
             "Outlook's settings were checked for the users CORP\\alice and CORP\\dave.\r\nA reset of Kestrin "
             "Software add-ins is needed.\r\n",
         1,
         notFully + "- the settings of the user " + carol + " could not be opened\r\n\r\n" + admin + "\r\n\r\n" +
             reason({"CORP\\alice"}) +
             "\r\nOutlook's settings were repaired for the users CORP\\alice and CORP\\dave.\r\n",
         2,
         {dave}},
        {"no hive that can be opened",
         {carol},
         true,
         "- the settings of the user " + carol +
             " could not be opened\r\nNo user's settings could be checked: only this computer's settings were "
             "checked.\r\nNo reset would change what the lines above say.\r\n",
         0,
         notFully + "- the settings of the user " + carol + " could not be opened\r\n\r\n" + admin +
             "\r\n\r\nNo user's settings could be repaired: only this computer's settings were repaired.\r\n",
         2},
        {"no user signed in, and no right to the computer's registration",
         {"S-1-5-18"},
         true,
         "No user is signed in: only this computer's settings were checked.\r\nKestrin Software add-ins need no "
         "reset.\r\n",
         0,
         notFully + "- the add-in's registration could not be written\r\n\r\n" + admin +
             "\r\n\r\nNo user is signed in: only this computer's settings were repaired.\r\n",
         2,
         {},
         true},
    };
    for (const Case& c : cases) {
        fakes::FakePlatform os;
        os.security.ownUser = "S-1-5-18";
        os.security.accounts[alice] = {"CORP", "alice"};
        os.security.accounts[dave] = {"CORP", "dave"};
        if (c.bobNamed) {
            os.security.accounts[bob] = {"AzureAD", "bob"};
        }
        os.launch.environment["CommonProgramFiles"] = kCommonFiles;
        os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}};
        // Registered and enabled for the computer, disabled for each person.
        os.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "CommandLineSafe", 0);
        os.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 3);
        os.registry.SetText(platform::kHkeyLocalMachine, kAddinKey, "FriendlyName", "Kestrin Software Add-In Engine");
        os.registry.SetText(platform::kHkeyLocalMachine, kAddinKey, "Description", "Kestrin Software Add-In Engine");
        os.registry.SetText(platform::kHkeyLocalMachine, "Software\\Classes\\KestrinSoftware.Connect\\CLSID", "",
                            fakes::FakeLaunch::kClsid);
        os.registry.SetText(platform::kHkeyLocalMachine,
                            std::string("Software\\Classes\\CLSID\\") + fakes::FakeLaunch::kClsid + "\\InprocServer32",
                            "", kAddinFolder + "\\KROutlook.dll");
        for (const std::string& hive : c.hives) {
            if (c.clean.contains(hive)) {
                os.registry.MakeKey(platform::kHkeyUsers, hive + "\\Software");
                continue;
            }
            os.registry.SetDword(platform::kHkeyUsers, hive + "\\" + kAddinKey, "LoadBehavior", 2);
            os.registry.SetValue(platform::kHkeyUsers, hive + "\\" + kOffice + "16.0" + kDisabled, "byPath", 3,
                                 Record(kOurPath, u"x"));
        }
        os.registry.openStatus[carol] = 5;
        if (c.machineDenied) {
            os.registry.deniedRoots.insert(platform::kHkeyLocalMachine);
        }

        EXPECT_EQ(ConsoleProgram({"check"}).Run(), c.checkExit) << c.what;
        EXPECT_EQ(os.console.output, c.check) << c.what;
        EXPECT_TRUE(os.registry.writes.empty() && os.registry.deletes.empty() && os.launch.launches.empty())
            << c.what << ": a check changes nothing";
        os.console.output.clear();

        EXPECT_EQ(ConsoleProgram({"reset"}).Run(), c.resetExit) << c.what;
        EXPECT_EQ(os.console.output, c.reset) << c.what;
        for (const std::string& hive : c.hives) {
            if (c.clean.contains(hive)) {
                EXPECT_EQ(os.registry.Key(platform::kHkeyUsers, hive + "\\" + kAddinKey), nullptr) << c.what;
                continue;
            }
            const bool person = hive == alice || hive == bob;
            EXPECT_EQ(os.registry.Key(platform::kHkeyUsers, hive + "\\" + kAddinKey)->values.at("LoadBehavior").data[0],
                      person ? 3 : 2)
                << c.what << ": " << hive;
        }
        EXPECT_NE(os.console.error.find("Unregistering KROutlook.dll\r\n"), std::string::npos) << "progress";
        os.console.output.clear();
        EXPECT_EQ(ConsoleProgram({"check"}).Run(), 0) << c.what << ": nothing left that a reset would change";
        EXPECT_EQ(os.kernel.OpenHandleCount(), 0) << c.what;
        EXPECT_EQ(os.registry.openHandles(), 0) << c.what;
    }
}

// A check reads; each thing a reset would change makes exit code 1, and
// what no reset changes is told with exit code 0, so that a fleet does not
// reset every day for nothing.
TEST(ConsoleTest, CheckTellsWhatAResetWouldChange)
{
    const std::string classes = "Software\\Classes\\";
    const std::string server = classes + "CLSID\\" + fakes::FakeLaunch::kClsid + "\\InprocServer32";
    const std::string clickToRun = kOffice + "ClickToRun\\REGISTRY\\MACHINE\\Software\\Microsoft\\Office\\Outlook\\"
                                             "Addins\\KestrinSoftware.Connect";
    const std::string needed = "A reset of Kestrin Software add-ins is needed.\r\n";
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> arrange;
        std::string output;
        int exitCode;
        bool x64 = false; // a 64-bit Outlook, and the x64 edition in the 64-bit view
    };
    const platform::Handle hklm64 = fakes::FakeRegistry::kLocalMachine64;
    const std::vector<Case> cases = {
        {"all as a reset leaves it", [](auto&) {}, "Kestrin Software add-ins need no reset.\r\n", 0},
        {"x64: a disabled registration of the 32-bit view is another edition's",
         [](auto& p) { p.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 2); },
         "Kestrin Software add-ins need no reset.\r\n", 0, true},
        {"x64: disabled in the 64-bit view",
         [&](auto& p) { p.registry.SetDword(hklm64, kAddinKey, "LoadBehavior", 2); },
         "- the add-in's registration has LoadBehavior 2\r\n" + needed, 1, true},
        {"no registration", [](auto& p) { p.registry.Key(platform::kHkeyLocalMachine, kAddinKey)->values.clear(); },
         "- the add-in's registration has no LoadBehavior\r\n" + needed, 1},
        {"disabled", [](auto& p) { p.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 2); },
         "- the add-in's registration has LoadBehavior 2\r\n" + needed, 1},
        {"the add-in's own values beside LoadBehavior 3",
         [](auto& p) {
             p.registry.Key(platform::kHkeyLocalMachine, kAddinKey)->values.erase("CommandLineSafe");
             p.registry.SetText(platform::kHkeyLocalMachine, kAddinKey, "FriendlyName", "Kestrin");
             p.registry.SetText(platform::kHkeyLocalMachine, kAddinKey, "Description", "Outlook add-in");
         },
         "Kestrin Software add-ins need no reset.\r\n", 0},
        {"a crash record",
         [](auto& p) {
             p.registry.SetValue(platform::kHkeyCurrentUser, kOffice + "16.0\\Outlook\\Resiliency\\CrashingAddinList",
                                 "crash", 3, Utf16(kOurPath));
         },
         "- Outlook has a record of the add-in crashing\r\n" + kReasonsHeading.substr(4) +
             "Outlook last stopped while the add-in was running; it may turn the add-in off at its next start." +
             kWriteToSupport + "\r\n" + needed,
         1},
        {"Click-to-Run's copy disabled",
         [&](auto& p) { p.registry.SetDword(platform::kHkeyLocalMachine, clickToRun, "LoadBehavior", 2); },
         "- Click-to-Run's copy of the add-in's registration has LoadBehavior 2\r\n" + needed, 1},
        {"a class leading elsewhere",
         [&](auto& p) { p.registry.SetText(platform::kHkeyLocalMachine, server, "", "C:\\Old\\KROutlook.dll"); },
         "- the add-in's component KestrinSoftware.Connect leads to C:\\Old\\KROutlook.dll, not to the add-in's "
         "own library\r\n" +
             needed,
         1},
        {"a user's class that outweighs the machine's, which stays",
         [&](auto& p) {
             p.registry.SetText(platform::kHkeyCurrentUser, classes + "KestrinSoftware.Connect\\CLSID", "",
                                fakes::FakeLaunch::kClsid);
             p.registry.SetText(platform::kHkeyCurrentUser, server, "", "C:\\Tools\\Other.dll");
         },
         "- an old registration of the add-in for this user outweighs the computer's; a reset removes it\r\n" + needed,
         1},
        {"no library: what no reset changes",
         [](auto& p) {
             p.kernel.folders.erase(kAddinFolder);
             p.registry.SetText(platform::kHkeyCurrentUser,
                                "Software\\Policies\\Microsoft\\Office\\16.0\\Outlook\\"
                                "Resiliency\\AddinList",
                                kProgId, "0");
         },
         "- KROutlook.dll was not found in " + kAddinFolder + "\r\n" +
             "- the add-in's component KestrinSoftware.Connect is not registered\r\n"
             "What keeps Outlook from loading the add-in, which no reset changes:\r\n"
             "- your organization's policy keeps the add-in disabled; please ask your administrator\r\n"
             "No reset would change what the lines above say.\r\n",
         0},
    };
    for (const Case& c : cases) {
        fakes::FakePlatform os;
        os.launch.environment["CommonProgramFiles"] = kCommonFiles;
        os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}};
        os.kernel.folders["C:\\Tools"] = {{"Other.dll"}};
        if (c.x64) {
            StartedOutlookIs64Bit(os, {{"KROutlook.dll", 0x20, fakes::PeImage(0x8664)}});
        }
        EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0) << c.what;
        c.arrange(os);
        os.registry.writes.clear();
        os.console.output.clear();
        const auto registry = os.registry.writes.size() + os.registry.keyDeletes.size() + os.registry.deletes.size();
        EXPECT_EQ(ConsoleProgram({"check"}).Run(), c.exitCode) << c.what;
        EXPECT_EQ(os.console.output, c.output) << c.what;
        EXPECT_EQ(os.registry.writes.size() + os.registry.keyDeletes.size() + os.registry.deletes.size(), registry)
            << c.what << ": nothing changed";
    }
}

// Help on standard output; any other argument, or none, the usage on
// standard error and the system's "invalid parameter", with nothing done.
// A reset whose output a pipe stops reading is still done whole, with its code.
TEST(ConsoleTest, ArgumentsAndOutputThatGoesAway)
{
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        bool usageOnOutput;
        bool usageOnError;
    };
    for (const Case& c : std::vector<Case>{{{"/?"}, 0, true, false},
                                           {{"-h"}, 0, true, false},
                                           {{"--HELP"}, 0, true, false},
                                           {{"help"}, 0, true, false},
                                           {{}, 87, false, true},
                                           {{"reset", "now"}, 87, false, true},
                                           {{"/reset"}, 87, false, true}}) {
        fakes::FakePlatform os;
        EXPECT_EQ(ConsoleProgram(c.arguments).Run(), c.exitCode);
        const std::string usage = AsciiOf(ConsoleProgram::Usage());
        EXPECT_EQ(os.console.output.starts_with(usage.substr(0, 40)), c.usageOnOutput);
        EXPECT_EQ(os.console.error.starts_with(usage.substr(0, 40)), c.usageOnError);
        EXPECT_TRUE(os.registry.accesses.empty() && os.registry.opens.empty() && os.kernel.openedIds.empty());
    }
    for (const bool errorIsConsole : {true, false}) {
        fakes::FakePlatform os;
        os.launch.environment["CommonProgramFiles"] = kCommonFiles;
        os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}};
        os.console.outputClosesAfter = 10;
        os.console.errorIsConsole = errorIsConsole;
        EXPECT_EQ(ConsoleProgram({"RESET"}).Run(), 0);
        EXPECT_EQ(os.console.output, kSuccess.substr(0, 10));
        EXPECT_EQ(os.registry.Key(platform::kHkeyLocalMachine, kAddinKey)->values.size(), 4u);
        EXPECT_EQ(os.console.error.empty(), !errorIsConsole) << "progress only for a console";
    }
}

} // namespace
