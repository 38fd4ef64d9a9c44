// What a reset leaves on the computer: the log an administrator's viewer
// reads, and the .reg file that puts back what the reset changed.
#include "AsLocalSystem.h"
#include "common/RuntimeError.h"
#include "console/ConsoleProgram.h"
#include "fakes/FakePlatform.h"
#include "files/CmTraceLog.h"
#include "registry/RegistryJournal.h"
#include "window/frmMain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

namespace {

using namespace aslocalsystem;

// A reset of the administrators' program: every change in the log with its
// old data, the regsvr32 runs, the outcome and the exit code; the .reg file
// holds each value and key as it was, in the order the reset reached them.
TEST(RecordTest, EveryResetLeavesALogAndABackupThatPutsBackWhatItChanged)
{
    fakes::FakePlatform os;
    Arrange(os);
    EXPECT_EQ(ConsoleProgram({"reset", "--json"}).Run(), 0);
    EXPECT_NE(os.console.output.find(R"("log":"C:\\ProgramData\\Kestrin Software\\Add-Ins Reset\\AddinsReset.log")"),
              std::string::npos)
        << os.console.output;
    const std::string wow = "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Office\\Outlook\\Addins\\"
                            "KestrinSoftware.Connect";
    const std::string hers = "HKEY_USERS\\" + kAlice + "\\";
    const std::string classKey = hers + "Software\\Classes\\Wow6432Node\\CLSID\\" + fakes::FakeLaunch::kClsid;
    const std::string backup = kRecordFolder + "\\AddinsReset-20261209-084705.reg";
    const std::vector<std::string> expected = {
        "AddinsResetCmd.exe 1.0.0.0 resets Kestrin Software add-ins.",
        "Run as NT AUTHORITY\\SYSTEM, elevated, on Windows NT 5.1 build 2600, 64-bit",
        "The x86 edition, in " + kAddinFolder,
        "The settings of CORP\\alice",
        "What the reset changes in the registry is saved, as it was, in " + backup +
            "; importing it with regedit puts it back",
        "Set " + wow + "\\CommandLineSafe to 0 (it was not there)",
        "Set " + wow + "\\LoadBehavior to 3 (it was 2)",
        "Set " + wow + "\\FriendlyName to \"Kestrin Software Add-In Engine\" (it was \"Kestrin \"1\" C:\\x\")",
        "Set " + wow + "\\Description to \"Kestrin Software Add-In Engine\" (it was not there)",
        "Set " + hers + kAddinKey + "\\LoadBehavior to 3 (it was 2)",
        "Deleted " + hers + kDisabled +
            "\\ours, which was 01 00 00 00 12 00 00 00 3e 00 00 00 64 00 3a 00 5c 00 78 "
            "00 2e 00 64 00 6c 00 6c 00 00 00 4b 00 65 00 73 00 74 00 72 00 69 00 6e 00 "
            "20 00 53 00 6f 00 66 00 74 00 77 00 61 00 72 00 65 00 20 00 ... (92 bytes)",
        "regsvr32 /u /s \"" + kAddinFolder + "\\KROutlook.dll\": exit code 0",
        "regsvr32 /s \"" + kAddinFolder + "\\KROutlook.dll\": exit code 0",
        "The key HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\" + std::string(fakes::FakeLaunch::kClsid) +
            " was made by a component: the backup's import deletes it",
        "Deleted the key " + classKey + "\\InprocServer32, which held (default)=\"C:\\Old\\KROutlook.dll\"",
        "Deleted the key " + classKey + ", which held no values",
        "Deleted the key " + hers + "Software\\Classes\\KestrinSoftware.Connect\\CLSID, which held (default)=\"" +
            fakes::FakeLaunch::kClsid + "\"",
        "Deleted the key " + hers + "Software\\Classes\\KestrinSoftware.Connect, which held no values",
        "Successfully reset Kestrin Software add-ins.",
        "What Outlook's own records say of the add-in:",
        "Outlook had turned the add-in off because it made Outlook stop. (CORP\\alice)",
        "Please write to support@kestrinsoftware.com with these lines.",
        "Outlook's settings were repaired for the user CORP\\alice.",
        "Exit code 0",
    };
    EXPECT_EQ(Entries(os.kernel.Contents(kLog).value_or("")), expected);
    // The keys the components may change, saved whole before the first change; the class a component made deleted.
    const std::string c2r = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\"
                            "Software\\Wow6432Node\\" +
                            kAddinKey.substr(std::string("Software\\").size());
    const std::string progId = "Software\\Classes\\KestrinSoftware.Connect";
    EXPECT_EQ(BackupText(os.kernel.Contents(backup).value_or("")),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[-" +
                  wow +
                  "]\r\n\r\n"
                  "[" +
                  wow +
                  "]\r\n\"FriendlyName\"=\"Kestrin \\\"1\\\" C:\\\\x\"\r\n\"LoadBehavior\"=dword:00000002\r\n\r\n"
                  "[-" +
                  c2r +
                  "]\r\n\r\n"
                  "[-" +
                  hers + kAddinKey +
                  "]\r\n\r\n"
                  "[" +
                  hers + kAddinKey +
                  "]\r\n\"LoadBehavior\"=dword:00000002\r\n\r\n"
                  "[-HKEY_LOCAL_MACHINE\\" +
                  progId +
                  "]\r\n\r\n"
                  "[-" +
                  hers + progId +
                  "]\r\n\r\n"
                  "[" +
                  hers + progId +
                  "]\r\n\r\n"
                  "[" +
                  hers + progId + "\\CLSID]\r\n@=\"" + fakes::FakeLaunch::kClsid +
                  "\"\r\n\r\n"
                  "[-" +
                  classKey +
                  "]\r\n\r\n"
                  "[" +
                  classKey +
                  "]\r\n\r\n"
                  "[" +
                  classKey +
                  "\\InprocServer32]\r\n@=\"C:\\\\Old\\\\KROutlook.dll\"\r\n\r\n"
                  "[" +
                  hers + kDisabled +
                  "]\r\n"
                  "\"ours\"=hex:01,00,00,00,12,00,00,00,3e,00,00,00,64,00,3a,00,5c,00,78,00,2e,\\\r\n"
                  "  00,64,00,6c,00,6c,00,00,00,4b,00,65,00,73,00,74,00,72,00,69,00,6e,00,20,\\\r\n"
                  "  00,53,00,6f,00,66,00,74,00,77,00,61,00,72,00,65,00,20,00,41,00,64,00,64,\\\r\n"
                  "  00,2d,00,49,00,6e,00,20,00,45,00,6e,00,67,00,69,00,6e,00,65,00,00,00\r\n\r\n"
                  "[-HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\" +
                  fakes::FakeLaunch::kClsid + "]\r\n\r\n");
    EXPECT_EQ(os.kernel.OpenHandleCount(), 0);
    EXPECT_EQ(os.registry.openHandles(), 0);
}

// The window's reset of a fresh install: the key it makes, the highest of
// its parents that were not there and the class regsvr32 made are deleted
// by the backup's import, and the log names the window's program.
TEST(RecordTest, AKeyTheResetMadeIsDeletedByTheImport)
{
    fakes::FakePlatform os;
    os.launch.environment["CommonProgramFiles"] = kCommonFiles;
    os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}};
    frmMain form;
    form.Show();
    os.windowing.Click(frmMain::kCmdReset);
    ASSERT_EQ(os.windowing.exitCode, 0);
    const std::string key = "HKEY_LOCAL_MACHINE\\" + kAddinKey;
    const std::vector<std::string> entries = Entries(os.kernel.Contents(kLog).value_or(""), "AddinsReset");
    ASSERT_GE(entries.size(), 6u);
    EXPECT_EQ(entries[0], "AddinsReset.exe 1.0.0.0 resets Kestrin Software add-ins.");
    EXPECT_EQ(entries[5], "Created the key " + key);
    EXPECT_EQ(entries[6], "Set " + key + "\\CommandLineSafe to 0 (it was not there)");
    EXPECT_EQ(BackupText(os.kernel.Contents(kRecordFolder + "\\AddinsReset-20261209-084705.reg").value_or("")),
              "Windows Registry Editor Version 5.00\r\n\r\n[-" + key +
                  "]\r\n\r\n"
                  "[-HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\" +
                  kAddinKey +
                  "]\r\n\r\n"
                  "[-HKEY_CURRENT_USER\\" +
                  kAddinKey +
                  "]\r\n\r\n"
                  "[-HKEY_LOCAL_MACHINE\\Software\\Classes\\KestrinSoftware.Connect]\r\n\r\n"
                  "[-HKEY_CURRENT_USER\\Software\\Classes\\KestrinSoftware.Connect]\r\n\r\n"
                  "[-HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Office]\r\n\r\n"
                  "[-HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\" +
                  fakes::FakeLaunch::kClsid + "]\r\n\r\n");
}

// Each regsvr32 run in the log with how it ended, what failed of type 2.
// Each run is told as it ends, so that a reset cut short shows how far it came.
TEST(RecordTest, EachRegsvr32RunIsLoggedWithHowItEnded)
{
    fakes::FakePlatform os;
    Arrange(os);
    os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}, {"Slow.dll"}, {"Gone.dll"}, {"Grid.ocx"}};
    os.launch.outcomes["Slow.dll"] = {true, std::nullopt, 0};
    os.launch.outcomes["Gone.dll"] = {false};
    os.launch.outcomes["Grid.ocx"] = {true, 50, 5};
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 2);
    std::vector<std::string> runs;
    for (const std::string& entry : Entries(os.kernel.Contents(kLog).value_or(""))) {
        if (entry.find("regsvr32 ") != std::string::npos) {
            runs.push_back(entry);
        }
    }
    const auto run = [](const std::string& command, const std::string& file, const std::string& how) {
        return command + " \"" + kAddinFolder + "\\" + file + "\": " + how;
    };
    EXPECT_EQ(runs, (std::vector<std::string>{
                        run("regsvr32 /u /s", "KROutlook.dll", "exit code 0"),
                        run("regsvr32 /u /s", "Slow.dll", "exit code 0"),
                        run("regsvr32 /u /s", "Gone.dll", "exit code 0"),
                        run("regsvr32 /u /s", "Grid.ocx", "exit code 0"),
                        run("regsvr32 /s", "KROutlook.dll", "exit code 0"),
                        run("[2] regsvr32 /s", "Gone.dll", "could not be started"),
                        run("[2] regsvr32 /s", "Grid.ocx", "exit code 5"),
                        run("[2] regsvr32 /s", "Slow.dll", "had not ended after 30 seconds"),
                    }));

    // A file whose unregistration never ends is not registered, and the log says so.
    fakes::FakePlatform stuck;
    Arrange(stuck);
    stuck.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}, {"Stuck.dll"}};
    stuck.launch.unregisterOutcomes["Stuck.dll"] = {true, std::nullopt, 0};
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 2);
    const std::vector<std::string> told = Entries(stuck.kernel.Contents(kLog).value_or(""));
    EXPECT_NE(std::find(told.begin(), told.end(), "[2] Stuck.dll was not registered: its unregistration had not ended"),
              told.end());

    fakes::FakePlatform cut;
    Arrange(cut);
    cut.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}, {"Grid.dll"}, {"Last.dll"}};
    cut.launch.onLaunch = [](const std::string& commandLine) {
        if (commandLine.find("/u /s") != std::string::npos && commandLine.ends_with("Last.dll\"")) {
            throw RuntimeError(6, u"Overflow");
        }
    };
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 6);
    const std::string log = cut.kernel.Contents(kLog).value_or("");
    EXPECT_NE(log.find(run("regsvr32 /u /s", "Grid.dll", "exit code 0")), std::string::npos) << log;
}

// The log's folder: for an administrator's run the common application
// data folder alone, with a line that says why where there is no log; for
// a standard user's run her %TEMP%, the common folder left alone; on the
// 9x line the common folder, %TEMP% with a line naming the one that
// failed. A check and a computer without the add-in leave nothing.
TEST(RecordTest, TheLogGoesWhereItCanBeWrittenAndNeverStopsAReset)
{
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> arrange;
        std::vector<std::string> arguments;
        int exitCode;
        std::string log;       // where the log is; empty where none is written
        std::string firstLine; // its first entry after the program's
        bool backup = true;
        std::string noLog = {}; // the reset's last line where it kept no log
    };
    const std::string second = "Run as NT AUTHORITY\\SYSTEM, elevated, on Windows NT 5.1 build 2600, 64-bit";
    const std::string nine = "Run on Windows 4.10 build 2600, 64-bit, which has no accounts";
    const auto ninetyEight = [](fakes::FakePlatform& p) {
        p.kernel.platformId = 1, p.kernel.majorVersion = 4, p.kernel.minorVersion = 10;
    };
    const std::vector<Case> cases = {
        {"ProgramData", [](auto&) {}, {"reset"}, 0, kLog, second},
        {"ProgramData as the environment names it",
         [](auto& p) { p.launch.environment["ProgramData"] = "C:\\Users\\admin\\AppData\\Local\\Temp"; },
         {"reset"},
         0,
         kTemp + "\\Kestrin Software\\Add-Ins Reset\\AddinsReset.log",
         second},
        {"ProgramData cannot be written, and the system never falls back to a shared folder",
         [](auto& p) { p.kernel.readOnlyFolders = {"C:\\ProgramData"}; },
         {"reset"},
         0,
         "",
         "",
         false,
         "No log was kept: C:\\ProgramData\\Kestrin Software could not be made."},
        {"a standard user's run",
         [](auto& p) {
             p.security.ownUser = kAlice;
             p.security.AsStandardUser();
         },
         {"reset"},
         0,
         kTemp + "\\AddinsReset.log",
         "Run as CORP\\alice, not elevated, on Windows NT 5.1 build 2600, 64-bit"},
        {"Windows 98 without a common folder, nor appends of its own",
         [&](auto& p) {
             ninetyEight(p);
             p.windowing.commonAppData = std::nullopt;
         },
         {"reset"},
         0,
         kTemp + "\\AddinsReset.log",
         nine},
        {"Windows 98 whose common folder cannot be written",
         [&](auto& p) {
             ninetyEight(p);
             p.kernel.readOnlyFolders = {"C:\\ProgramData"};
         },
         {"reset"},
         0,
         kTemp + "\\AddinsReset.log",
         "[2] The log could not be written in " + kRecordFolder + "; it is kept here instead."},
        {"a standard user's %TEMP% cannot be written",
         [](auto& p) {
             p.security.ownUser = kAlice;
             p.security.AsStandardUser();
             p.kernel.readOnlyFolders = {kTemp};
         },
         {"reset"},
         0,
         "",
         "",
         false,
         "No log was kept: it could not be written in " + kTemp + "."},
        {"a check", [](auto&) {}, {"check"}, 1, "", "", false},
        {"no add-in",
         [](auto& p) {
             p.kernel.folders.erase(kAddinFolder);
             p.registry = fakes::FakeRegistry();
         },
         {"reset"},
         6,
         "",
         "",
         false},
        {"Outlook runs",
         [](auto& p) { p.kernel.AddProcess(40, "C:\\Office\\OUTLOOK.EXE"); },
         {"reset"},
         1,
         kLog,
         second,
         false},
        {"a run-time error",
         [](auto& p) {
             for (std::uint32_t id = 1; id <= 32768; ++id) {
                 p.kernel.AddProcess(1000 + id, "C:\\p.exe");
             }
         },
         {"reset"},
         6,
         kLog,
         second,
         false},
    };
    for (const Case& c : cases) {
        fakes::FakePlatform os;
        Arrange(os);
        c.arrange(os);
        EXPECT_EQ(ConsoleProgram(c.arguments).Run(), c.exitCode) << c.what;
        const auto log = c.log.empty() ? std::nullopt : os.kernel.Contents(c.log);
        EXPECT_EQ(log.has_value(), !c.log.empty()) << c.what;
        const std::string logFolder = c.log.substr(0, c.log.rfind('\\') + 1);
        for (const std::string& folder : {kRecordFolder, kTemp, kTemp + "\\Kestrin Software\\Add-Ins Reset"}) {
            const auto* files = os.kernel.FolderAt(folder);
            const bool any = files != nullptr && std::any_of(files->begin(), files->end(),
                                                             [](const auto& e) { return e.name.ends_with(".reg"); });
            EXPECT_EQ(any, c.backup && folder + "\\" == logFolder) << c.what << ": a backup in " << folder;
        }
        EXPECT_EQ(os.console.output.ends_with(c.noLog + "\r\n"), true) << c.what << ": " << os.console.output;
        if (c.log.starts_with(kTemp + "\\AddinsReset")) {
            EXPECT_EQ(os.kernel.FolderAt("C:\\ProgramData\\Kestrin Software"), nullptr)
                << c.what << ": the common folder is left alone";
        }
        if (!log) {
            continue;
        }
        std::vector<std::string> entries = Entries(*log);
        ASSERT_GE(entries.size(), 3u) << c.what;
        EXPECT_EQ(entries[1], c.firstLine) << c.what;
        // The 9x line says last that it keeps no event log.
        const bool noEventLog = std::string(c.what).starts_with("Windows 98");
        EXPECT_EQ(entries.back() == "This Windows keeps no event log: the run wrote no event", noEventLog) << c.what;
        if (noEventLog) {
            entries.pop_back();
        }
        EXPECT_EQ(entries.back(), c.exitCode == 6   ? "[3] Run-time error '6': Overflow"
                                  : c.exitCode == 0 ? "Exit code 0"
                                                    : "[2] Exit code " + std::to_string(c.exitCode))
            << c.what;
    }
}

// At 1 MiB the log turns into ".lo_", and of the backups the first and the
// last ten stay, besides the run's own, which stays even where the clock was turned back;
// what only looks like one of the tool's names stays too, and so does a link.
TEST(RecordTest, TheLogTurnsAtOneMebibyteAndTheLastTenBackupsStay)
{
    fakes::FakePlatform os;
    Arrange(os);
    std::vector<fakes::FakeEntry>& folder = os.kernel.folders[kRecordFolder];
    folder.push_back({"AddinsReset.log", 0x20, std::vector<std::uint8_t>(1048576, 'x')});
    folder.push_back({"AddinsReset.lo_", 0x20, {'o', 'l', 'd'}});
    for (int day = 10; day < 21; ++day) {
        folder.push_back({"AddinsReset-202611" + std::to_string(day) + "-120000.reg"});
    }
    // One from this very second: the reset's own is numbered.
    folder.insert(
        folder.end(),
        {{"AddinsReset-notes.reg"}, {"AddinsReset-20261101-120000.reg.txt"}, {"AddinsReset-20261209-084705.reg"}});
    const std::vector<std::string> others = {"AddinsReset-20261111-120000 - Copy.reg",
                                             "AddinsReset-20261111-120000-1.reg", "AddinsReset-20261111-12000a.reg",
                                             "AddinsReset-20261111-120000.REG"};
    for (const std::string& name : others) {
        folder.push_back({name});
    }
    folder.push_back({.name = "AddinsReset-20261101-120001.reg", .attributes = 0x420, .linkTo = "C:\\WINDOWS"});
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    EXPECT_EQ(os.kernel.Contents(kRecordFolder + "\\AddinsReset.lo_")->size(), 1048576u);
    EXPECT_TRUE(os.kernel.Contents(kLog)->starts_with("<![LOG[AddinsResetCmd.exe 1.0.0.0 resets"));
    std::vector<std::string> names;
    for (const fakes::FakeEntry& entry : *os.kernel.FolderAt(kRecordFolder)) {
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    // One byte short of 1 MiB, the next entry still goes to its end, and the one after turns it.
    os.kernel.EntryAt(kLog)->contents.assign(1048575, 'y');
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    const std::string older = os.kernel.Contents(kRecordFolder + "\\AddinsReset.lo_").value_or("");
    EXPECT_EQ(older.find("<![LOG[AddinsResetCmd.exe 1.0.0.0 resets"), 1048575u);
    EXPECT_EQ(older.find("<![LOG[", 1048576), std::string::npos) << "one entry past the mebibyte";
    // The first backup there is holds the state before the tool first changed the computer: it stays.
    std::vector<std::string> kept = {"AddinsReset-20261101-120000.reg.txt", "AddinsReset-20261101-120001.reg",
                                     "AddinsReset-20261110-120000.reg"};
    kept.insert(kept.end(), others.begin(), others.end());
    for (int day = 13; day < 21; ++day) {
        kept.push_back("AddinsReset-202611" + std::to_string(day) + "-120000.reg");
    }
    kept.insert(kept.end(), {"AddinsReset-20261209-084705-2.reg", "AddinsReset-20261209-084705.reg",
                             "AddinsReset-notes.reg", "AddinsReset.lo_", "AddinsReset.log"});
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(names, kept);

    // Ten from a later year: the run's own is the oldest by its name, and stays all the same.
    fakes::FakePlatform later;
    Arrange(later);
    for (int day = 10; day < 21; ++day) {
        later.kernel.folders[kRecordFolder].push_back({"AddinsReset-202711" + std::to_string(day) + "-120000.reg"});
    }
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    EXPECT_TRUE(later.kernel.Contents(kRecordFolder + "\\AddinsReset-20261209-084705.reg"));
    EXPECT_EQ(later.kernel.FolderAt(kRecordFolder)->size(), 12u) << "the first, the last ten and the log";
}

// Keys as regedit names them, values as either form of a .reg file holds
// them (texts in UTF-16, or in the code page), and an entry as the log
// viewers read it.
TEST(RecordTest, NamesLinesAndEntriesAsTheirReadersExpect)
{
    const fakes::FakePlatform os; // the code page of the entry's text
    const platform::Handle hklm = platform::kHkeyLocalMachine;
    const std::string classes = "Software\\Classes\\";
    struct Name {
        platform::Handle root;
        std::string path;
        std::uint32_t view;
        bool windows64;
        std::string name;
        bool classesApart = false;
    };
    for (const Name& c : std::vector<Name>{
             {hklm, "Software\\Microsoft\\Office\\", 0x200, true,
              "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Office"},
             {hklm, "Software\\Microsoft", 0x200, false, "HKEY_LOCAL_MACHINE\\Software\\Microsoft"},
             {hklm, "Software\\Microsoft", 0x100, true, "HKEY_LOCAL_MACHINE\\Software\\Microsoft"},
             {hklm, "SOFTWARE", 0x200, true, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node"},
             {hklm, classes + "CLSID\\{1}", 0x200, true,
              "HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\{1}"},
             {hklm, classes + "KestrinSoftware.Connect", 0x200, true,
              "HKEY_LOCAL_MACHINE\\Software\\Classes\\KestrinSoftware.Connect"},
             {platform::kHkeyUsers, "S-1-5-21-1\\" + classes + "CLSID\\{1}", 0x200, true,
              "HKEY_USERS\\S-1-5-21-1\\Software\\Classes\\Wow6432Node\\CLSID\\{1}"},
             {platform::kHkeyUsers, "S-1-5-21-1\\Software\\Microsoft", 0x200, true,
              "HKEY_USERS\\S-1-5-21-1\\Software\\Microsoft"},
             {platform::kHkeyCurrentUser, classes + "CLSID", 0x200, true,
              "HKEY_CURRENT_USER\\Software\\Classes\\Wow6432Node\\CLSID"},
             // Where the 32-bit view's classes are a tree of their own, every key of them is named by the node.
             {hklm, classes + "KestrinSoftware.Connect", 0x200, true,
              "HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\KestrinSoftware.Connect", true},
             {platform::kHkeyUsers, "S-1-5-21-1\\" + classes + "TypeLib\\{2}", 0x200, true,
              "HKEY_USERS\\S-1-5-21-1\\Software\\Classes\\Wow6432Node\\TypeLib\\{2}", true},
             {hklm, "Software\\Classes", 0x200, true, "HKEY_LOCAL_MACHINE\\Software\\Classes", true},
             {hklm, classes + "KestrinSoftware.Connect", 0x100, true,
              "HKEY_LOCAL_MACHINE\\Software\\Classes\\KestrinSoftware.Connect", true},
             {hklm, classes + "KestrinSoftware.Connect", 0x200, false,
              "HKEY_LOCAL_MACHINE\\Software\\Classes\\KestrinSoftware.Connect", true},
         }) {
        EXPECT_EQ(RegistryJournal::NameOf(c.root, TextOfAscii(c.path), c.view, c.windows64, c.classesApart),
                  TextOfAscii(c.name))
            << c.path;
    }
    using Format = RegistryJournal::Format;
    const auto line = [](Format format, const char* name, std::uint32_t type, std::vector<std::uint8_t> data) {
        return AsciiOf(RegistryJournal::RegLine(format, TextOfAscii(name), type, data));
    };
    for (const Format format : {Format::Regedit4, Format::Regedit5}) {
        EXPECT_EQ(line(format, "", 1, {'a', 0, '\\', 0, '"', 0, 0, 0}), R"(@="a\\\"")");
        // A text with more than its closing NUL, or without it, only the hex form holds exactly.
        EXPECT_EQ(line(format, "", 1, {'a', 0, 0, 0, 'z', 0}),
                  format == Format::Regedit4 ? R"(@=hex(1):61,00,7a)" : R"(@=hex(1):61,00,00,00,7a,00)");
        EXPECT_EQ(line(format, "u", 1, {'a', 0}),
                  format == Format::Regedit4 ? R"("u"=hex(1):61)" : R"("u"=hex(1):61,00)");
        EXPECT_EQ(line(format, "n\"", 4, {10, 0, 0, 0x80}), R"("n\""=dword:8000000a)");
        EXPECT_EQ(line(format, "b", 3, {}), R"("b"=hex:)");
        EXPECT_EQ(line(format, "d", 4, {1, 2}), R"("d"=hex(4):01,02)");
        EXPECT_EQ(line(format, "t", 1, {'a', 0, '\n', 0, 0, 0}),
                  format == Format::Regedit4 ? R"("t"=hex(1):61,0a,00)" : R"("t"=hex(1):61,00,0a,00,00,00)");
    }
    EXPECT_EQ(line(Format::Regedit4, "e", 2, {'%', 0, 'x', 0, 0, 0}), R"("e"=hex(2):25,78,00)");
    EXPECT_EQ(line(Format::Regedit5, "e", 2, {'%', 0, 'x', 0, 0, 0}), R"("e"=hex(2):25,00,78,00,00,00)");
    // A text outside the code page: exactly in UTF-16, as the code page has it in REGEDIT4.
    EXPECT_EQ(RegistryJournal::RegLine(Format::Regedit5, u"n", 1, {0x71, 0x67, 0xAC, 0x4E, 0, 0}), u"\"n\"=\"東京\"");
    EXPECT_EQ(RegistryJournal::DataText(3, std::vector<std::uint8_t>(65, 0xAB)).substr(189), u"ab ... (65 bytes)");
    EXPECT_EQ(
        CmTraceLog::Entry(u"a\r\nb", "AddinsReset", CmTraceLog::Type::Warning, {2027, 1, 5, 2, 3, 4, 5, 6}, 300, 9),
        R"(<![LOG[a  b]LOG]!><time="03:04:05.006+300" date="01-02-2027" component="AddinsReset" context="" )"
        R"(type="2" thread="9" file="">)");
}

} // namespace
