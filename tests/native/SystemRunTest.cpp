// A run as LocalSystem beside a standard user who prepares the computer
// against it: her folders, links and names, her hive's keys, links and
// values. What she must never get: a file written, renamed or deleted where
// she chose, a key changed outside the add-in's own, a reset that never
// runs, another user's data she can read.
#include "AsLocalSystem.h"
#include "console/ConsoleProgram.h"
#include "files/CmTraceLog.h"
#include "registry/RegistryJournal.h"
#include "scope/PathExpansion.h"
#include "trust/SecurityDescriptor.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace aslocalsystem;

using Ace = SecurityDescriptor::Ace;
const std::string kAbove = "C:\\ProgramData\\Kestrin Software";
const std::string kSystem32 = "C:\\WINDOWS\\system32";
const std::string kUsers = "S-1-5-32-545";
const std::string kAside = kRecordFolder + "-unsafe-20261209-084705";
const std::string kHers = kAlice + "\\Software\\Classes\\";
const std::string kClsidKey = kHers + "CLSID\\" + fakes::FakeLaunch::kClsid;

platform::DescriptorBytes Descriptor(const std::string& owner, std::vector<Ace> aces = {})
{
    aces.insert(aces.begin(), {SecurityDescriptor::kAccessAllowed, 3, SecurityDescriptor::kFullControl, "S-1-5-18"});
    return SecurityDescriptor::Make(owner, aces, false);
}

// A folder of ProgramData as someone left it, with what is in it.
void Plant(fakes::FakePlatform& os, const std::string& folder, platform::DescriptorBytes security,
           std::vector<fakes::FakeEntry> inside = {})
{
    const std::size_t separator = folder.rfind('\\');
    os.kernel.folders[folder.substr(0, separator)].push_back(
        {.name = folder.substr(separator + 1), .attributes = 0x10, .security = std::move(security)});
    os.kernel.folders[folder] = std::move(inside);
}

// A junction that leads into the system's folder, where a file the system needs lies.
void PlantLink(fakes::FakePlatform& os, const std::string& folder)
{
    const std::size_t separator = folder.rfind('\\');
    os.kernel.folders[folder.substr(0, separator)].push_back(
        {.name = folder.substr(separator + 1), .attributes = 0x410, .linkTo = kSystem32});
    os.kernel.folders[kSystem32] = {{"AddinsReset.log", 0x20, {'o', 's'}}, {"AddinsReset.lo_", 0x20, {'o', 's'}}};
}

std::string OutputOf(fakes::FakePlatform& os, std::vector<std::string> arguments)
{
    os.console.output.clear();
    ConsoleProgram(std::move(arguments)).Run();
    return os.console.output;
}

// The folders of the record: made for the administrators alone where they
// are not there; used where no one the run does not trust owns them, made
// either a link, or may change them; the record's own put aside and made
// again where it is unsafe, the one above never moved; no record, and why,
// where no safe folder can be had.
TEST(SystemRunTest, TheRecordIsKeptOnlyInAFolderNoUserCanTurnAgainstTheSystem)
{
    const std::string admins = "S-1-5-32-544";
    const auto usersMay = [&](std::uint32_t mask) {
        return Descriptor(admins, {{SecurityDescriptor::kAccessAllowed, 0, mask, kUsers}});
    };
    const std::string unsafe = "No log was kept: " + kAbove + " is not safe for it, as ";
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> arrange;
        bool kept;
        std::string noLog = {};
        bool putAside = false;
        bool madeOwn = true;
        bool madeAbove = false;
    };
    const std::vector<Case> cases = {
        {"neither folder there", [](auto&) {}, true, "", false, true, true},
        {"the one above a user's", [&](auto& p) { Plant(p, kAbove, Descriptor(kAlice)); }, false,
         unsafe + "it is owned by CORP\\alice."},
        {"the one above a link into the system's folder", [&](auto& p) { PlantLink(p, kAbove); }, false,
         unsafe + "it is a link."},
        {"the one above users may delete", [&](auto& p) { Plant(p, kAbove, usersMay(0x10000)); }, false,
         unsafe + "BUILTIN\\Users may change it."},
        {"the one above users may add to, as ProgramData passes on", [&](auto& p) { Plant(p, kAbove, usersMay(0x6)); },
         true},
        {"the record's own a user's",
         [&](auto& p) {
             Plant(p, kAbove, Descriptor(admins));
             Plant(p, kRecordFolder, Descriptor(kAlice), {{"AddinsReset.log", 0x20, {'h', 'e', 'r', 's'}}});
         },
         true, "", true},
        {"the record's own a link into the system's folder",
         [&](auto& p) {
             Plant(p, kAbove, Descriptor(admins));
             PlantLink(p, kRecordFolder);
         },
         true, "", true},
        {"the record's own users may make files in, as an earlier version left it",
         [&](auto& p) {
             Plant(p, kAbove, Descriptor(admins));
             Plant(p, kRecordFolder, usersMay(0x2));
         },
         true, "", true},
        {"the record's own users may read",
         [&](auto& p) {
             Plant(p, kAbove, Descriptor(admins));
             Plant(p, kRecordFolder, usersMay(0x1200A9));
         },
         true, "", false, false},
        {"the record's own unsafe, and the name to put it aside taken",
         [&](auto& p) {
             Plant(p, kAbove, Descriptor(admins));
             Plant(p, kRecordFolder, Descriptor(kAlice));
             Plant(p, kAside, Descriptor(kAlice));
         },
         false, "No log was kept: " + kRecordFolder + " is not safe for it, as it is owned by CORP\\alice."},
    };
    for (const Case& c : cases) {
        fakes::FakePlatform os;
        Arrange(os);
        os.security.accounts[kUsers] = {"BUILTIN", "Users"};
        c.arrange(os);
        const std::string json = OutputOf(os, {"reset", "--json"});
        EXPECT_NE(json.find(R"("exitCode":0,)"), std::string::npos) << c.what << ": " << json;
        EXPECT_EQ(os.kernel.Contents(kLog).has_value(), c.kept) << c.what;
        EXPECT_EQ(json.find(R"("log":null,"logMissing":{"code":"recordFolderUnsafe")") != std::string::npos, !c.kept)
            << c.what << ": " << json;
        if (const auto* system = os.kernel.FolderAt(kSystem32)) {
            EXPECT_EQ(os.kernel.Contents(kSystem32 + "\\AddinsReset.log"), "os") << c.what;
            EXPECT_EQ(os.kernel.Contents(kSystem32 + "\\AddinsReset.lo_"), "os") << c.what;
            EXPECT_EQ(system->size(), 2u) << c.what << ": nothing made in the system's folder";
        }
        EXPECT_EQ(os.kernel.GetFileAttributesA(kAside) != platform::kInvalidFileAttributes,
                  c.putAside || (!c.noLog.empty() && c.noLog.find(kRecordFolder + " ") != std::string::npos))
            << c.what;
        if (!c.kept) {
            EXPECT_TRUE(OutputOf(os, {"reset"}).ends_with("\r\n\r\n" + c.noLog + "\r\n")) << c.what;
            EXPECT_EQ(os.kernel.GetFileAttributesA(kAbove) & 0x10, 0x10u) << c.what << ": the one above never moves";
            continue;
        }
        // What the run made, the administrators' alone; what it found, as it was.
        for (const std::string& folder : {kAbove, kRecordFolder}) {
            const fakes::FakeEntry* entry = os.kernel.EntryAt(folder);
            ASSERT_NE(entry, nullptr) << c.what;
            const bool made = entry->security == SecurityDescriptor::ForAdministrators(true, true);
            EXPECT_EQ(made, folder == kAbove ? c.madeAbove : c.madeOwn) << c.what << ": " << folder;
        }
        const std::vector<std::string> entries = Entries(*os.kernel.Contents(kLog));
        EXPECT_EQ(entries[1].starts_with("[2] The record's folder " + kRecordFolder + " was put aside as " + kAside),
                  c.putAside)
            << c.what << ": " << entries[1];
    }
}

// Every file the record opens is no link and has one name only; the log's
// turn checks the older file first and replaces it in one move, and keeps
// it where that fails.
TEST(SystemRunTest, TheRecordWritesNoFileThatLeadsElsewhere)
{
    const std::string older = kRecordFolder + "\\AddinsReset.lo_";
    const std::vector<std::uint8_t> full(1048576, 'x');
    struct Case {
        const char* what;
        std::vector<fakes::FakeEntry> files;
        std::string logNow;   // the start of the log after the reset, all of it where never written; empty where none
        std::string olderNow; // the older log's contents after
    };
    const std::string started = "<![LOG[AddinsResetCmd.exe";
    for (const Case& c : std::vector<Case>{
             {"the log with a second name", {{.name = "AddinsReset.log", .contents = {'s'}, .links = 2}}, "s", ""},
             {"the log a link to a file of the system",
              {{.name = "AddinsReset.log", .attributes = 0x420, .linkTo = kSystem32 + "\\config.sys"}},
              "",
              ""},
             {"a full log turns in one move",
              {{"AddinsReset.log", 0x20, full}, {"AddinsReset.lo_", 0x20, {'o'}}},
              started,
              std::string(full.begin(), full.end())},
             {"a full log whose older file has a second name",
              {{"AddinsReset.log", 0x20, full}, {.name = "AddinsReset.lo_", .contents = {'o'}, .links = 2}},
              "xxxx",
              "o"},
             {"a full log whose older file is a folder: the move fails, both stay",
              {{"AddinsReset.log", 0x20, full}, {"AddinsReset.lo_", 0x10}},
              "xxxx",
              ""},
             {"a log the system cannot tell the kind of", {{"AddinsReset.log", 0x20, {'s'}}}, "s", ""},
         }) {
        fakes::FakePlatform os;
        Arrange(os);
        os.kernel.folders[kSystem32] = {{"config.sys", 0x20, {'o', 's'}}};
        os.kernel.folders["C:\\ProgramData"] = {{.name = "Kestrin Software", .attributes = 0x10}};
        os.kernel.folders[kAbove] = {{.name = "Add-Ins Reset", .attributes = 0x10}};
        os.kernel.folders[kRecordFolder] = c.files;
        os.kernel.fileInformationFails = c.what == std::string("a log the system cannot tell the kind of");
        EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0) << c.what;
        EXPECT_EQ(os.kernel.Contents(kSystem32 + "\\config.sys"), "os") << c.what;
        const fakes::FakeEntry* log = os.kernel.EntryAt(kLog);
        const std::string now = log == nullptr ? "" : std::string(log->contents.begin(), log->contents.end());
        const bool neverWritten = c.logNow == "s";
        EXPECT_TRUE(c.logNow.empty() ? log == nullptr || log->linkTo.size() > 0
                    : neverWritten   ? now == c.logNow
                                     : now.starts_with(c.logNow))
            << c.what << ": " << now.substr(0, 40);
        if (!c.olderNow.empty()) {
            EXPECT_EQ(os.kernel.Contents(older), c.olderNow) << c.what;
        }
    }
}

// An administrator's reset is stopped only by another administrator's or
// the system's copy, never by a user who took the lock's name first (the
// states of the mutex itself are TrustTest's); a user's own run still waits
// for an administrator's. Nor does a user who holds the log's name slow a
// run: an administrator's run never waits for hers, any other once at most.
TEST(SystemRunTest, NoUserStopsOrSlowsTheResetsOfOthers)
{
    const std::string global = "Global\\KestrinSoftwareAddinsReset";
    const std::string log = "Global\\KestrinSoftwareAddinsResetLog";
    const auto standardUser = [](fakes::FakePlatform& p) {
        p.security.ownUser = kAlice;
        p.security.AsStandardUser();
    };
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> arrange;
        int exitCode;
        std::uint32_t waited = 0; // milliseconds the run waited for the log's mutex
    };
    const auto elapsed = [](const std::function<void(fakes::FakePlatform&)>& arrange, int& exitCode) {
        fakes::FakePlatform os;
        Arrange(os);
        arrange(os);
        const std::uint32_t before = os.kernel.now;
        exitCode = ConsoleProgram({"reset"}).Run();
        EXPECT_EQ(os.kernel.releasesNotHeld, 0);
        return os.kernel.now - before;
    };
    int exitCode = 0;
    const std::uint32_t usual = elapsed([](auto&) {}, exitCode);
    for (const Case& c : std::vector<Case>{
             {"a user took the lock's name first",
              [&](auto& p) {
                  p.kernel.othersMutexes = {global};
                  p.kernel.mutexOwners[global] = kAlice;
              },
              0},
             {"a standard user's run beside an administrator's",
              [&](auto& p) {
                  standardUser(p);
                  p.kernel.othersMutexes = p.kernel.deniedMutexes = {global};
              },
              4},
             {"a user holds the log's name",
              [&](auto& p) {
                  p.kernel.othersMutexes = p.kernel.busyMutexes = {log};
                  p.kernel.mutexOwners[log] = kAlice;
              },
              0},
             {"a user holds the log's name, and a standard user's run logs in her own folder",
              [&](auto& p) {
                  standardUser(p);
                  p.kernel.othersMutexes = p.kernel.busyMutexes = {log};
              },
              0, 2000},
         }) {
        const std::uint32_t took = elapsed(c.arrange, exitCode);
        EXPECT_EQ(exitCode, c.exitCode) << c.what;
        if (c.exitCode == 0) {
            EXPECT_EQ(took, usual + c.waited) << c.what;
        }
    }
}

// Her class with a subkey whose name would close the backup's block and
// open one for the machine's Run key, and a text value that would do the
// same: neither becomes a line of its own; the key is not removed, and the
// text says so. A record of hers whose name holds a line break stays too.
TEST(SystemRunTest, TheBackupHoldsOnlyWhatItRead)
{
    fakes::FakePlatform os;
    Arrange(os);
    // A key's name holds no backslash: the block's path is her keys, one in another.
    const std::string run = "\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
                            "\"Evil\"=\"evil.exe\"";
    os.registry.SetText(platform::kHkeyUsers, kClsidKey + "\\a]" + run, "", "x");
    os.registry.SetText(platform::kHkeyUsers, kClsidKey + "\\InprocServer32", "ThreadingModel", "Both" + run);
    os.registry.SetValue(platform::kHkeyUsers, kAlice + "\\" + kDisabled, "a]" + run, 3, Record());
    const std::string text = OutputOf(os, {"reset"});
    EXPECT_NE(text.find("- an old registration of the add-in for this user could not be removed (CORP\\alice)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("- Outlook's record of the disabled add-in could not be removed (CORP\\alice)"),
              std::string::npos)
        << text;
    EXPECT_NE(os.registry.Key(platform::kHkeyUsers, kClsidKey), nullptr);
    const std::string backup = os.kernel.Contents(kRecordFolder + "\\AddinsReset-20261209-084705.reg").value_or("");
    for (const std::string& line : LinesOf(backup)) {
        EXPECT_TRUE(line.empty() || line.starts_with("[") || line.starts_with("\"") || line.starts_with("@") ||
                    line.starts_with("  ") || line == "REGEDIT4")
            << line;
        EXPECT_FALSE(line.starts_with("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows")) << line;
    }
    EXPECT_EQ(AsciiOf(RegistryJournal::RegLine(RegistryJournal::Format::Regedit5, u"t", 1, {'a', 0, '\t', 0, 0, 0})),
              R"("t"=hex(1):61,00,09,00,00,00)");
}

// Links she makes in her own hive lead the reset nowhere: keys are opened
// one name at a time and a link is never followed, written, deleted or
// backed up through; only Windows' own link from her Software\Classes to
// her classes' hive is followed.
TEST(SystemRunTest, LinksInAUsersHiveLeadTheResetNowhere)
{
    const platform::Handle users = platform::kHkeyUsers;
    const platform::Handle hklm = platform::kHkeyLocalMachine;
    const std::string victim = "Software\\Victim";
    const std::string runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string notRemoved =
        "- an old registration of the add-in for this user could not be removed (CORP\\alice)";
    const std::string notWritten = "- the add-in's registration could not be written (CORP\\alice)";
    struct Case {
        const char* what;
        std::function<void(fakes::FakeRegistry&)> arrange;
        std::string line; // empty where the link only hides what it leads to
    };
    for (const Case& c : std::vector<Case>{
             {"her class a link to a machine's key",
              [&](auto& r) {
                  r.Key(users, kHers + "CLSID")->subkeys.clear();
                  r.MakeLink(users, kClsidKey, hklm, victim);
                  r.SetText(hklm, victim + "\\InprocServer32", "", "C:\\Old\\KROutlook.dll");
              },
              ""},
             {"her ProgID's CLSID a link",
              [&](auto& r) {
                  r.Key(users, kHers + "KestrinSoftware.Connect")->subkeys.clear();
                  r.MakeLink(users, kHers + "KestrinSoftware.Connect\\CLSID", hklm, victim);
              },
              notRemoved},
             {"her add-ins' key a link to the machine's Run key",
              [&](auto& r) {
                  r.Key(users, kAlice + "\\Software\\Microsoft\\Office\\Outlook")->subkeys.clear();
                  r.MakeLink(users, kAlice + "\\Software\\Microsoft\\Office\\Outlook\\Addins", hklm, runKey);
              },
              notWritten},
             {"her Resiliency key a link",
              [&](auto& r) {
                  r.Key(users, kAlice + "\\Software\\Microsoft\\Office\\16.0\\Outlook")->subkeys.clear();
                  r.MakeLink(users, kAlice + "\\Software\\Microsoft\\Office\\16.0\\Outlook\\Resiliency", hklm, victim);
              },
              "- Outlook's record of the disabled add-in could not be removed (CORP\\alice)"},
         }) {
        fakes::FakePlatform os;
        Arrange(os);
        os.registry.SetText(hklm, victim, "", fakes::FakeLaunch::kClsid);
        os.registry.SetDword(hklm, victim, "LoadBehavior", 2);
        os.registry.SetValue(hklm, victim, "record", 3, Record());
        os.registry.SetText(hklm, runKey, "Keep", "C:\\keep.exe");
        c.arrange(os.registry);
        const std::string text = OutputOf(os, {"reset"});
        EXPECT_NE(text.find(c.line), std::string::npos) << c.what << ": " << text;
        const fakes::FakeKey* kept = os.registry.Key(hklm, victim);
        ASSERT_NE(kept, nullptr) << c.what;
        EXPECT_EQ(kept->values.size(), 3u) << c.what;
        EXPECT_EQ(kept->subkeys.size(), c.line.empty() ? 1u : 0u) << c.what;
        EXPECT_EQ(os.registry.Key(hklm, runKey)->values.size(), 1u) << c.what;
        const std::string record = os.kernel.Contents(kLog).value_or("") +
                                   os.kernel.Contents(kRecordFolder + "\\AddinsReset-20261209-084705.reg").value_or("");
        EXPECT_EQ(record.find("Victim"), std::string::npos) << c.what;
        EXPECT_EQ(record.find("\\Run"), std::string::npos) << c.what;
        for (const std::uint32_t access : os.registry.accesses) {
            EXPECT_EQ(access & 0x24, 0u) << c.what << ": no right to make a key or a link in what it writes";
        }
    }

    // Windows' own link: her classes live in a hive of their own, which the reset reaches.
    fakes::FakePlatform os;
    Arrange(os);
    const std::string classes = kAlice + "_Classes";
    os.registry.SetText(users, classes + "\\KestrinSoftware.Connect\\CLSID", "", fakes::FakeLaunch::kClsid);
    os.registry.SetText(users, classes + "\\CLSID\\" + fakes::FakeLaunch::kClsid + "\\InprocServer32", "",
                        "C:\\Old\\KROutlook.dll");
    os.registry.Key(users, kAlice + "\\Software")->subkeys.erase("Classes");
    os.registry.MakeLink(users, kAlice + "\\Software\\Classes", users, classes);
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    EXPECT_EQ(os.registry.Key(users, classes + "\\KestrinSoftware.Connect"), nullptr);
    // The same link to anywhere else is hers.
    fakes::FakePlatform elsewhere;
    Arrange(elsewhere);
    elsewhere.registry.Key(users, kAlice + "\\Software")->subkeys.erase("Classes");
    elsewhere.registry.SetText(hklm, "Software\\Classes\\KestrinSoftware.Connect\\CLSID", "", "{0}");
    elsewhere.registry.MakeLink(users, kAlice + "\\Software\\Classes", hklm, "Software\\Classes");
    ConsoleProgram({"reset"}).Run();
    EXPECT_NE(elsewhere.registry.Key(hklm, "Software\\Classes\\KestrinSoftware.Connect\\CLSID"), nullptr);
}

// Her Resiliency key a link to a machine's key that holds the add-in's
// records: they are neither deleted nor read as hers.
TEST(SystemRunTest, OutlooksRecordsBehindALinkAreNeitherDeletedNorHers)
{
    const platform::Handle users = platform::kHkeyUsers;
    const platform::Handle hklm = platform::kHkeyLocalMachine;
    fakes::FakePlatform os;
    Arrange(os);
    const std::string records = "Software\\Records";
    os.registry.SetValue(hklm, records + "\\DisabledItems", "ours", 3, Record());
    os.registry.SetDword(hklm, records + "\\CrashingAddinList", "KestrinSoftware.Connect", 1);
    os.registry.SetDword(hklm, records + "\\DoNotDisableAddinList", "KestrinSoftware.Connect", 3);
    os.registry.Key(users, kAlice + "\\Software\\Microsoft\\Office\\16.0\\Outlook")->subkeys.clear();
    os.registry.MakeLink(users, kAlice + "\\Software\\Microsoft\\Office\\16.0\\Outlook\\Resiliency", hklm, records);
    const std::string text = OutputOf(os, {"reset"});
    for (const char* list : {"\\DisabledItems", "\\CrashingAddinList", "\\DoNotDisableAddinList"}) {
        EXPECT_EQ(os.registry.Key(hklm, records + list)->values.size(), 1u) << list;
    }
    for (const char* reason : {"made Outlook stop", "last stopped", "always enable"}) {
        EXPECT_EQ(text.find(reason), std::string::npos) << reason << ": " << text;
    }
}

// Her environment cannot make a path of more than 32,767 characters, nor
// one user's values slow the run for the others: a variable of a few
// kilobytes that doubles at each step, and more variables than any
// environment holds.
TEST(SystemRunTest, AUsersEnvironmentNeitherFailsNorSlowsTheRun)
{
    fakes::FakePlatform os;
    Arrange(os);
    const std::string environment = kAlice + "\\Environment";
    os.registry.SetText(platform::kHkeyUsers, environment, "a0", std::string(4000, 'x'));
    for (int i = 1; i < 40; ++i) {
        const std::string twice = "%a" + std::to_string(i - 1) + "%%a" + std::to_string(i - 1) + "%";
        std::vector<std::uint8_t> data(twice.begin(), twice.end());
        data.push_back(0);
        os.registry.SetValue(platform::kHkeyUsers, environment, "a" + std::to_string(i), 2, data);
    }
    for (int i = 0; i < 400; ++i) {
        os.registry.SetText(platform::kHkeyUsers, environment, "z" + std::to_string(i), "%a39%");
    }
    os.registry.SetValue(platform::kHkeyUsers, kClsidKey + "\\InprocServer32", "", 2,
                         {'%', 'a', '3', '9', '%', '\\', 'K', 0});
    const auto started = std::chrono::steady_clock::now();
    const std::string text = OutputOf(os, {"check"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    // The bound to the character: a text of 32,767 is a path, one more none.
    os.launch.environment["Long"] = std::string(32766, 'x');
    EXPECT_EQ(PathExpansion().Expand(u"%Long%y").value_or(Text()).size(), 32767u);
    EXPECT_EQ(PathExpansion().Expand(u"%Long%yz"), std::nullopt);
    // A path with a variable only she could give, which would pass the bound, is never judged missing.
    EXPECT_EQ(text.find("an old registration of the add-in for this user"), std::string::npos) << text;
    EXPECT_EQ(text.find("xxxx"), std::string::npos);
}

// Her path holding the markers of a log entry stays inside its entry.
TEST(SystemRunTest, NoEntryOfTheLogCanBeForged)
{
    const fakes::FakePlatform os; // the code page of the entry's text
    const std::string entry = CmTraceLog::Entry(u"C:\\a]LOG]!><time=\"1\" date=\"2\"><![LOG[\tforged]lOg]!>", "X",
                                                CmTraceLog::Type::Information, {2026, 12, 3, 9, 8, 47, 5, 123}, 0, 1);
    EXPECT_EQ(entry.find("<![LOG["), 0u);
    EXPECT_EQ(entry.find("<![LOG[", 1), std::string::npos) << entry;
    EXPECT_EQ(entry.find("]LOG]!>"), entry.rfind("]LOG]!>")) << entry;
    EXPECT_EQ(entry.substr(0, 69), "<![LOG[C:\\a]LOG] !><time=\"1\" date=\"2\"><! [LOG[ forged]lOg] !>]LOG]!><");
}

// regsvr32, and the libraries KROutlook.dll needs, are looked for in the
// add-in's folder and the system's, never where the tool was started or
// on a PATH of the account that runs it.
TEST(SystemRunTest, Regsvr32LooksForLibrariesInTheAddinsAndTheSystemsFoldersAlone)
{
    fakes::FakePlatform os;
    Arrange(os);
    os.launch.environment["PATH"] = "C:\\Users\\alice\\bin;C:\\WINDOWS\\system32";
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    ASSERT_EQ(os.launch.launches.size(), 2u);
    for (const auto& launched : os.launch.launches) {
        EXPECT_EQ(launched.place.currentFolder, kAddinFolder);
        EXPECT_EQ(launched.place.path, "C:\\WINDOWS\\system32;C:\\WINDOWS");
    }
}

} // namespace

namespace {

// A backup of the record folder's, as a reset names it, in the NT line's form.
void PutBackup(fakes::FakePlatform& os, const std::string& name, const std::u16string& blocks, std::uint32_t links = 1,
               const std::string& linkTo = {})
{
    const std::vector<std::uint8_t> text = Utf16LeBytes(u"Windows Registry Editor Version 5.00\r\n\r\n" + blocks);
    std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
    bytes.insert(bytes.end(), text.begin(), text.end());
    os.kernel.folders[kRecordFolder].push_back({.name = name,
                                                .attributes = linkTo.empty() ? 0x20u : 0x420u,
                                                .contents = bytes,
                                                .linkTo = linkTo,
                                                .links = links});
}

} // namespace

// A restore as the system: a backup that is a link or has a second name is
// no backup, and a user's links in her hive lead its writes and deletions
// nowhere; what they lead to stays as it was, and the text names the keys.
TEST(SystemRunTest, ARestoreWritesNothingThroughWhatAUserPrepared)
{
    const platform::Handle users = platform::kHkeyUsers;
    const platform::Handle hklm = platform::kHkeyLocalMachine;
    const std::string victim = "Software\\Victim";
    const std::string runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::u16string hers = u"HKEY_USERS\\S-1-5-21-7-1001\\Software\\";
    const std::u16string blocks =
        u"[-" + hers + u"Classes\\KestrinSoftware.Connect]\r\n\r\n[" + hers +
        u"Classes\\KestrinSoftware.Connect\\CLSID]\r\n@=\"{x}\"\r\n\r\n[" + hers +
        u"Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect]\r\n\"LoadBehavior\"=dword:00000003\r\n";
    const std::string name = "AddinsReset-20261209-090000.reg";
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> arrange;
        int exitCode;
    };
    for (const Case& c : std::vector<Case>{
             {"her ProgID and her add-ins' key links to the machine's keys",
              [&](auto& os) {
                  // Her classes in the 64-bit view, where a ProgID's name without the node leads.
                  os.registry.MakeLink(fakes::FakeRegistry::kUsers64, kHers + "KestrinSoftware.Connect", hklm, victim);
                  os.registry.Key(users, kAlice + "\\Software\\Microsoft\\Office\\Outlook")->subkeys.clear();
                  os.registry.MakeLink(users, kAlice + "\\Software\\Microsoft\\Office\\Outlook\\Addins", hklm, runKey);
                  PutBackup(os, name, blocks);
              },
              2},
             {"a backup with a second name", [&](auto& os) { PutBackup(os, name, blocks, 2); }, 13},
             {"a backup that is a link to a file of hers",
              [&](auto& os) { PutBackup(os, name, blocks, 1, "C:\\Users\\alice\\evil.reg"); }, 87},
         }) {
        SCOPED_TRACE(c.what);
        fakes::FakePlatform os;
        Arrange(os);
        ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0);
        os.registry.SetText(hklm, victim + "\\CLSID", "", "kept");
        os.registry.SetText(hklm, runKey, "Keep", "C:\\keep.exe");
        c.arrange(os);
        os.console.output.clear();
        EXPECT_EQ(ConsoleProgram({"restore", name}).Run(), c.exitCode) << os.console.output;
        const std::string& text = os.console.output;
        EXPECT_EQ(os.registry.Key(hklm, victim + "\\CLSID")->values.size(), 1u) << text;
        EXPECT_EQ(fakes::FakeRegistry::DataAs(os.registry.Key(hklm, victim + "\\CLSID")->values.at(""), false),
                  (std::vector<std::uint8_t>{'k', 'e', 'p', 't', 0}));
        EXPECT_EQ(os.registry.Key(hklm, runKey)->values.size(), 1u) << text;
        EXPECT_EQ(os.registry.Key(hklm, runKey)->subkeys.size(), 0u) << text;
        if (c.exitCode == 2) {
            EXPECT_NE(text.find("- HKEY_USERS\\S-1-5-21-7-1001\\Software\\Classes\\KestrinSoftware.Connect could not "
                                "be deleted"),
                      std::string::npos)
                << text;
            EXPECT_NE(text.find("Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect could not be written"),
                      std::string::npos)
                << text;
        } else {
            EXPECT_NE(text.find("; nothing was changed."), std::string::npos) << text;
        }
    }
}
