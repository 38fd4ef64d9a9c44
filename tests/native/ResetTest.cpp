#include "app/Outcome.h"
#include "app/Regsvr32Runs.h"
#include "app/frmMain.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

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

// The fixture of every group: a computer whose add-in folder holds two
// libraries, a control and a text file.
class ResetTest : public ::testing::Test {
protected:
    // What one file costs: the launch, its name on the label, the pause.
    static std::vector<std::string> FileEvents(const std::string& command, const std::string& progress,
                                               const std::string& folder, const std::string& name)
    {
        return {"launch " + command + "\"" + folder + "\\" + name + "\"", "caption 103 " + progress + name,
                "repaint 103", "pump", "sleep " + std::to_string(Regsvr32Runs::kPauseMilliseconds)};
    }

    static void Append(std::vector<std::string>& to, const std::vector<std::string>& events)
    {
        to.insert(to.end(), events.begin(), events.end());
    }

    static std::vector<std::string> Progress(const std::string& text)
    {
        return {"caption 103 " + text, "repaint 103", "pump"};
    }

    int Position(const std::string& entry) const { return computer.Position(entry); }
    int Count(const std::string& entry) const { return computer.Count(entry); }
    int SuccessBoxes() const { return Count("box " + kTitle + ": " + kSuccess); }
    void StartOutlook() { os.kernel.AddProcess(40, "C:\\Program Files\\Microsoft Office\\OUTLOOK.EXE"); }
    void ClickReset() { computer.ClickReset(); }

    Computer computer{{{"KROutlook.dll"}, {"Engine.dll"}, {"Grid.ocx"}, {"readme.txt"}}};
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

TEST_F(FormTest, ResetRunsEveryStepInOrderAndUnloads)
{
    ClickReset();
    std::vector<std::string> expected = {kBlockShutdown};
    Append(expected, Progress("Checking HKLM registry keys..."));
    Append(expected, Progress("Checking Outlook's disabled add-ins..."));
    const std::string u = "regsvr32 /u /s ";
    const std::string r = "regsvr32 /s ";
    Append(expected, Progress("Unregistering files..."));
    Append(expected, FileEvents(u, "Unregistering ", kAddinFolder, "KROutlook.dll"));
    Append(expected, FileEvents(u, "Unregistering ", kAddinFolder, "Engine.dll"));
    Append(expected, FileEvents(u, "Unregistering ", kAddinFolder, "Grid.ocx"));
    Append(expected, Progress("Registering files..."));
    Append(expected, FileEvents(r, "Registering ", kAddinFolder, "KROutlook.dll"));
    Append(expected, FileEvents(r, "Registering ", kAddinFolder, "Engine.dll"));
    Append(expected, FileEvents(r, "Registering ", kAddinFolder, "Grid.ocx"));
    Append(expected, Progress("Checking whether Outlook can load the add-in..."));
    // The last step is over: the box only waits for OK, and a log-off may end the session.
    Append(expected, {"unblock shutdown"});
    Append(expected, Progress(kSuccess));
    Append(expected, {"box " + kTitle + ": " + kSuccess, "destroy", "quit 0"});
    EXPECT_EQ(os.windowing.log, expected);
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
        {"no right to a global name", [&](auto& p) { p.kernel.deniedMutexes = {global}; },
         "box " + kTitle + ": " + kSuccess, 0},
    };
    for (const Case& c : cases) {
        Computer pc;
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
    EXPECT_EQ(os.kernel.findPatterns.front(), "\\Kestrin Software\\\\*.dll");
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
    const platform::ScopedServices withoutPsapi({&os.kernel, &noPsapi, &os.registry, &os.windowing, &os.launch});
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
    EXPECT_EQ(SuccessBoxes(), 1);
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

    ClickReset();

    EXPECT_EQ(os.registry.deletes, (std::vector<std::string>{"byName", "mixed", "nameCase", "short", "slashes",
                                                             "byPath", "crashAtEnd", "crashOurs", "last"}));
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
                    "\r\n- Outlook's record of the disabled add-in could not be removed" + kRunAsAdministrator),
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
        bool undeletable = false;       // the user's own class keys cannot be deleted
        bool userClassStays = false;
    };
    const std::string policies = "Software\\Policies\\Microsoft\\Office";
    const std::string cloudPolicies = "Software\\Policies\\Microsoft\\Cloud\\Office";
    const std::string policy = policies + "\\16.0\\Outlook\\Resiliency";
    const std::string cloud = cloudPolicies + "\\16.0\\Outlook\\Resiliency";
    const platform::Handle hkcu = platform::kHkeyCurrentUser;
    const platform::Handle hklm64 = fakes::FakeRegistry::kLocalMachine64;
    const platform::Handle hklm32 = platform::kHkeyLocalMachine;
    const platform::Handle machine = platform::kHkeyLocalMachine;
    const std::string classes = "Software\\Classes\\";
    const Setting newOutlook = {hkcu, kOffice + "16.0\\Outlook\\Preferences", "UseNewOutlook", 4, {1, 0, 0, 0}};
    const std::string willNot = "Kestrin Software add-ins were reset, but Outlook will not load them:\r\n";
    const std::string newOutlookLine = "- Outlook is set to use the new Outlook, which cannot load this add-in; switch "
                                       "the new Outlook off to use it";
    const std::string contact = "\r\n\r\nPlease contact support@kestrinsoftware.com about this problem.";
    const auto needs = [](const std::string& name) {
        return "- the add-in needs " + name + ", which is not on this computer";
    };
    const std::string security = "\\16.0\\Outlook\\Security";
    const std::string trustCenter =
        "- Outlook's Trust Center blocks add-ins that are not signed by a trusted publisher; "
        "please ask your administrator";
    const std::string userClasses = "Software\\Classes\\";
    const auto userClass = [&](const std::string& server) {
        return std::vector<Setting>{
            {hkcu, userClasses + "KestrinSoftware.Connect\\CLSID", "", 1, fakes::FakeLaunch::kClsid},
            {hkcu, userClasses + "CLSID\\" + fakes::FakeLaunch::kClsid + "\\InprocServer32", "", 1, server}};
    };
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
         {{machine, classes + "CLSID\\" + fakes::FakeLaunch::kClsid + "\\InprocServer32", "", 2,
           "%CommonProgramFiles%\\Kestrin Software\\KROutlook.dll"}},
         32,
         ""},
        {"a class left leading to a backup copy",
         {},
         {{machine, classes + "CLSID\\" + fakes::FakeLaunch::kClsid + "\\InprocServer32", "", 1,
           kAddinFolder + "\\KROutlook.dll_old"}},
         32,
         kNotFullyReset + "\r\n- the add-in's component KestrinSoftware.Connect leads to " + kAddinFolder +
             "\\KROutlook.dll_old, not to the add-in's own library" + kRunAsAdministrator},
        {"a CLSID that is no GUID, and the new Outlook",
         {newOutlook},
         {{machine, classes + "KestrinSoftware.Connect\\CLSID", "", 1, "..\\..\\x"}},
         32,
         kNotFullyReset + kNoClass + "\r\n\r\n" + willNot + newOutlookLine + kRunAsAdministrator},
        {.what = "run-times missing, one of them in a library of the folder, beside what Windows supplies",
         .library = 32,
         .box = willNot + needs("VCRUNTIME140.dll") + "\r\n" + needs("MSVCP140.dll") + contact,
         .imports = {"KERNEL32.dll", "api-ms-win-crt-runtime-l1-1-0.dll", "KnownLib.dll", "InPath.dll", "InWindows.dll",
                     "VCRUNTIME140.dll", "Helper.dll", "msvcr90.dll"}},
        {.what = "a library that does not load for lack of a run-time: no administrator can help",
         .before = {{machine, classes + "KestrinSoftware.Connect\\CLSID", "", 1, fakes::FakeLaunch::kClsid},
                    {machine, classes + "CLSID\\" + fakes::FakeLaunch::kClsid + "\\InprocServer32", "", 1,
                     kAddinFolder + "\\KROutlook.dll"}},
         .library = 32,
         .box = kNotFullyReset + "\r\n- KROutlook.dll could not be loaded (error 3)\r\n\r\n" + willNot +
                needs("VCRUNTIME140.dll") + contact,
         .imports = {"VCRUNTIME140.dll"},
         .registration = 3},
        {.what = "the Trust Center at level 4, an unsigned library",
         .before = {{hkcu, policies + security, "DontTrustInstalledFiles", 4, {1, 0, 0, 0}},
                    {hkcu, policies + security, "Level", 4, {4, 0, 0, 0}}},
         .library = 32,
         .box = willNot + trustCenter + contact,
         .imports = {"KERNEL32.dll"}},
        {.what = "level 4 and a signed library: only Outlook knows the publisher",
         .before = {{hkcu, policies + security, "DontTrustInstalledFiles", 4, {1, 0, 0, 0}},
                    {hkcu, policies + security, "Level", 4, {4, 0, 0, 0}}},
         .library = 32,
         .box = "",
         .imports = {"KERNEL32.dll"},
         .isSigned = true},
        {.what = "level 3 unsigned, where a policy's 0 outweighs Office's own 1",
         .before = {{hkcu, policies + security, "DontTrustInstalledFiles", 4, {0, 0, 0, 0}},
                    {hkcu, kOffice + "16.0\\Outlook\\Security", "DontTrustInstalledFiles", 4, {1, 0, 0, 0}},
                    {hkcu, kOffice + "16.0\\Outlook\\Security", "Level", 4, {3, 0, 0, 0}}},
         .library = 32,
         .box = "",
         .imports = {"KERNEL32.dll"}},
        {.what = "level 3 unsigned, in the Cloud policy",
         .before = {{hkcu, cloudPolicies + security, "DontTrustInstalledFiles", 4, {1, 0, 0, 0}},
                    {hkcu, cloudPolicies + security, "Level", 4, {3, 0, 0, 0}}},
         .library = 32,
         .box = willNot + trustCenter + contact,
         .imports = {"KERNEL32.dll"}},
        {"the user's own class, leading to a file gone, goes", userClass("C:\\Old\\KROutlook.dll"), {}, 32, ""},
        {.what = "the user's own class on a network path is not looked at",
         .before = userClass("\\\\host\\share\\KROutlook.dll"),
         .library = 32,
         .box = kNotFullyReset +
                "\r\n- the add-in's component KestrinSoftware.Connect leads to \\\\host\\share\\KROutlook.dll, not "
                "to the add-in's own library" +
                kRunAsAdministrator,
         .userClassStays = true},
        {.what = "the user's own class cannot be removed",
         .before = userClass("C:\\Old\\KROutlook.dll"),
         .library = 32,
         .box = kNotFullyReset + "\r\n- an old registration of the add-in for this user could not be removed" +
                kRunAsAdministrator,
         .undeletable = true,
         .userClassStays = true},
    };
    const auto apply = [](fakes::FakePlatform& p, const std::vector<Setting>& settings) {
        for (const Setting& setting : settings) {
            std::vector<std::uint8_t> data(setting.text.begin(), setting.text.end());
            if (setting.type != 4) {
                data.push_back(0);
            }
            p.registry.SetValue(setting.root, setting.path, setting.name, setting.type, data);
        }
    };
    for (const Case& c : cases) {
        Computer pc;
        // A 32-bit program's environment on 64-bit Windows.
        pc.os.launch.environment["CommonProgramFiles(x86)"] = kCommonFiles;
        pc.os.kernel.windows64 = true;
        const std::uint16_t machineType = c.library == 64 ? 0x8664 : 0x014C;
        pc.os.kernel.folders[kAddinFolder] = {
            {"KROutlook.dll", 0x20,
             c.imports.empty() && !c.isSigned && c.registration == 0
                 ? fakes::PeImage(machineType, c.library == 0)
                 : fakes::PeImageImporting(machineType, c.imports, c.isSigned, {"Microsoft.VC90.CRT"})},
            {"Helper.dll", 0x20, fakes::PeImageImporting(machineType, {"MSVCP140.dll", "VCRUNTIME140.dll"})}};
        // Where Windows finds libraries: the system and Windows folders, PATH,
        // the known DLLs, the folder of an assembly the manifest names.
        const std::string vc90 = "x86_microsoft.vc90.crt_1fc8b3b9a1e18e3b_9.0.30729.9635_none_508ff41ecbe6ab7f";
        pc.os.kernel.folders["C:\\WINDOWS\\SysWOW64"] = {{"kernel32.dll"}};
        pc.os.kernel.folders["C:\\WINDOWS"] = {{"InWindows.dll"}};
        pc.os.kernel.folders["C:\\WINDOWS\\WinSxS"] = {{vc90, 0x10}};
        pc.os.kernel.folders["C:\\WINDOWS\\WinSxS\\" + vc90] = {{"msvcr90.dll"}};
        pc.os.kernel.folders["C:\\Tools"] = {{"InPath.dll"}};
        pc.os.launch.environment["PATH"] = "D:\\Gone;C:\\Tools\\";
        pc.os.registry.SetText(machine, "System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", "known",
                               "KnownLib.dll");
        pc.os.launch.outcomes["KROutlook.dll"] = {true, 50, c.registration};
        if (c.undeletable) {
            pc.os.registry.deniedKeyDeletes.insert("InprocServer32");
        }
        apply(pc.os, c.before);
        pc.os.windowing.onPump = [&] {
            if (pc.os.windowing.texts[frmMain::kLblProgress] == "Checking whether Outlook can load the add-in...") {
                apply(pc.os, c.after);
            }
        };
        pc.ClickReset();
        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u) << c.what;
        EXPECT_EQ(pc.os.windowing.boxes[0].text, c.box.empty() ? kSuccess : c.box) << c.what;
        const std::string label = c.box.empty() ? kSuccess
                                  : c.box.starts_with(kNotFullyReset)
                                      ? "Reset finished with errors."
                                      : "Reset finished, but Outlook will not load the add-in.";
        EXPECT_EQ(pc.os.windowing.texts[frmMain::kLblProgress], label) << c.what;
        EXPECT_EQ(pc.os.registry.writes.size(), 4u) << c.what << ": the check writes nothing";
        EXPECT_EQ(pc.os.registry.accesses.size(), 1u) << c.what << ": and creates no key";
        for (const std::string& path : pc.os.kernel.fileSystemPaths) {
            EXPECT_EQ(path.find("host"), std::string::npos) << c.what << ": " << path;
        }
        const bool userClassGone =
            pc.os.registry.Key(hkcu, userClasses + "KestrinSoftware.Connect") == nullptr &&
            pc.os.registry.Key(hkcu, userClasses + "CLSID\\" + fakes::FakeLaunch::kClsid) == nullptr;
        EXPECT_EQ(userClassGone, !c.userClassStays) << c.what;
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
        pc.ClickReset();

        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u) << c.what;
        EXPECT_EQ(pc.os.windowing.boxes[0].text, kSuccess + c.line) << c.what;
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
    os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}, {"Broken.dll"}, {"Slow.dll"}, {"Hung.dll"}, {"Gone.dll"},
                                       {"Odd.dll"},       {"Stuck.dll"},  {"Late.dll"}, {"Grid.ocx"}};
    os.launch.outcomes["Broken.dll"] = {true, 50, 3};
    os.launch.outcomes["Slow.dll"] = {true, 20000, 0};
    os.launch.outcomes["Hung.dll"] = {true, std::nullopt, 0};
    os.launch.outcomes["Gone.dll"] = {false, 0, 0};
    os.launch.outcomes["Odd.dll"] = {true, 50, 7};
    os.launch.outcomes["Grid.ocx"] = {true, 5000, 5};
    // Unregistrations still running when the registering would begin: one ends in the wait, one never does.
    os.launch.unregisterOutcomes["Late.dll"] = {true, 2500, 0};
    os.launch.unregisterOutcomes["Stuck.dll"] = {true, std::nullopt, 0};
    os.windowing.eventsDuringWaits = 1;
    ClickReset();

    const std::string text =
        kNotFullyReset + "\r\n- Broken.dll could not be loaded (error 3)" +
        "\r\n- Hung.dll did not finish registering\r\n- Gone.dll could not be started" +
        "\r\n- Odd.dll could not be registered (error 7)\r\n- Stuck.dll did not finish unregistering" +
        "\r\n- Grid.ocx refused to register (error 5)" + kRunAsAdministrator;
    const std::vector<std::string> ending = {"unblock shutdown",
                                             "caption 103 Reset finished with errors.",
                                             "repaint 103",
                                             "pump",
                                             "box " + kTitle + ": " + text,
                                             "destroy",
                                             "quit 2"};
    ASSERT_GE(os.windowing.log.size(), ending.size());
    EXPECT_EQ(std::vector<std::string>(os.windowing.log.end() - 7, os.windowing.log.end()), ending);
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
    EXPECT_EQ(os.kernel.now - 5000u, 17 * Regsvr32Runs::kPauseMilliseconds + 2 * Regsvr32Runs::kWaitMilliseconds)
        << "nine pauses, the wait for the unregistrations, eight pauses, the wait for the registrations";
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
    EXPECT_EQ(os.windowing.boxes[0].text, kNotFullyReset + "\r\n- the add-in's registration could not be written" +
                                              "\r\n- Outlook's record of the disabled add-in could not be removed" +
                                              "\r\n- KROutlook.dll could not be started" +
                                              "\r\n- Engine.dll could not be started" +
                                              "\r\n- Grid.ocx could not be started" + kNoClass + kRunAsAdministrator);
    EXPECT_EQ(os.registry.Key(platform::kHkeyCurrentUser, kOffice + "16.0" + kDisabled)->values.size(), 1u);
}

// Only a key that is not there holds nothing: one that cannot be opened may
// hold what the reset had to change.
TEST_F(OutlookResiliencyTest, KeysThatCannotBeOpenedAreReported)
{
    const std::string registration = "- the add-in's registration could not be written";
    const std::string record = "- Outlook's record of the disabled add-in could not be removed";
    for (const auto& [path, line] : std::vector<std::pair<std::string, std::string>>{
             {kAddinKey + "\\", registration}, {kOffice, record}, {kOffice + "16.0" + kDisabled, record}}) {
        Computer pc;
        pc.os.registry.MakeKey(platform::kHkeyCurrentUser, kOffice + "16.0\\Outlook");
        pc.os.registry.openStatus[path] = 5;
        pc.ClickReset();
        ASSERT_EQ(pc.os.windowing.boxes.size(), 1u);
        EXPECT_EQ(pc.os.windowing.boxes[0].text, kNotFullyReset + "\r\n" + line + kRunAsAdministrator) << path;
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
            report.AddProblem(line);
        }
        for (const Text& line : c.blockers) {
            report.AddBlocker(line);
        }
        const Outcome outcome = OutcomeOf(report);
        EXPECT_EQ(AsciiOf(outcome.box), c.box);
        EXPECT_EQ(AsciiOf(outcome.label), c.label);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
    }
}

} // namespace
