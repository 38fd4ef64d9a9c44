// A reset's backup read back and put back by the administrators' program,
// and the add-in's settings that survive a component that takes them.
#include "AsLocalSystem.h"
#include "common/RuntimeError.h"
#include "console/ConsoleProgram.h"
#include "fakes/FakePlatform.h"
#include "platform/SystemCodes.h"
#include "registry/RegFile.h"
#include "registry/RegistryJournal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

using namespace aslocalsystem;

const std::string kBackup = kRecordFolder + "\\AddinsReset-20261209-084705.reg";
const std::string kWowAddinKey = "Software\\Wow6432Node\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";

std::vector<std::uint8_t> Wide(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    }
    return bytes;
}

// A text as the registry keeps it, with its closing NUL.
std::vector<std::uint8_t> Z(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes = Wide(text);
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::string Utf16File(std::u16string_view text)
{
    const std::vector<std::uint8_t> bytes = Wide(text);
    return "\xFF\xFE" + std::string(bytes.begin(), bytes.end());
}

// Every key and value of every root and view, as the wide calls read them.
void Dump(const fakes::FakeKey& key, const std::string& path, std::map<std::string, std::string>& into)
{
    into[path] = "";
    for (const auto& [name, value] : key.values) {
        const auto data = fakes::FakeRegistry::DataAs(value, true);
        into[path + " = " + name] = std::to_string(value.type) + ":" + std::string(data.begin(), data.end());
    }
    for (const auto& [name, subkey] : key.subkeys) {
        Dump(*subkey, path + "\\" + name, into);
    }
}

std::map<std::string, std::string> Snapshot(fakes::FakeRegistry& registry)
{
    std::map<std::string, std::string> all;
    for (const platform::Handle root :
         {platform::kHkeyLocalMachine, fakes::FakeRegistry::kLocalMachine64, platform::kHkeyUsers,
          fakes::FakeRegistry::kUsers64, platform::kHkeyCurrentUser, fakes::FakeRegistry::kCurrentUser64}) {
        if (const fakes::FakeKey* key = registry.Key(root, "")) {
            Dump(*key, std::to_string(root), all);
        }
    }
    return all;
}

// What differs between two snapshots, a line each.
std::string Differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& after)
{
    std::string lines;
    for (const auto& [key, value] : before) {
        const auto found = after.find(key);
        if (found == after.end()) {
            lines += "gone: " + key + "\n";
        } else if (found->second != value) {
            lines += "changed: " + key + " from " + value + " to " + found->second + "\n";
        }
    }
    for (const auto& [key, value] : after) {
        if (!before.contains(key)) {
            lines += "new: " + key + "\n";
        }
    }
    return lines;
}

// The text of the value "Mark" of a key; "none" where there is none.
std::string MarkOf(fakes::FakeRegistry& registry, platform::Handle root, const std::string& path)
{
    const fakes::FakeKey* key = registry.Key(root, path);
    if (key == nullptr || !key->values.contains("Mark")) {
        return "none";
    }
    const auto data = fakes::FakeRegistry::DataAs(key->values.at("Mark"), false);
    return std::string(data.begin(), std::find(data.begin(), data.end(), '\0'));
}

// The add-in's own settings in every type, with texts no code page holds
// and line breaks, a subkey of them, and a component that deletes the
// whole registration key when it unregisters and writes back its own
// three values only. For the x64 edition, a 64-bit Outlook and the add-in
// in the 64-bit folder, its registration in the 64-bit view.
void ArrangeSettingsAndAGreedyComponent(fakes::FakePlatform& os, bool x64 = false)
{
    Arrange(os);
    const platform::Handle hklm = x64 ? fakes::FakeRegistry::kLocalMachine64 : platform::kHkeyLocalMachine;
    if (x64) {
        const std::string office = "C:\\Program Files\\Microsoft Office\\root\\Office16";
        os.launch.environment["CommonProgramW6432"] = "C:\\Program Files\\Common Files";
        os.registry.SetText(hklm, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE", "",
                            office + "\\OUTLOOK.EXE");
        os.kernel.folders[office] = {{"OUTLOOK.EXE", 0x20, fakes::PeImage(0x8664)}};
        os.kernel.folders["C:\\WINDOWS\\Sysnative"] = {{"regsvr32.exe"}, {"kernel32.dll"}};
        os.kernel.folders["C:\\Program Files\\Common Files\\Kestrin Software"] = {
            {"KROutlook.dll", 0x20, fakes::PeImage(0x8664)}};
        os.registry.SetDword(hklm, kAddinKey, "LoadBehavior", 2);
    }
    fakes::FakeKey& key = os.registry.MakeKey(hklm, kAddinKey);
    key.values["ServerName"] = {platform::kRegSz, Z(u"\u6771\u4eac \"mail\" C:\\x"), true};
    key.values["Banner"] = {platform::kRegSz, Z(u"two\r\nlines"), true};
    key.values["Paths"] = {7, Wide(std::u16string(u"a\0\u00e9\0\0", 5)), true};
    key.values["Home"] = {platform::kRegExpandSz, Z(u"%APPDATA%\\K"), true};
    os.registry.SetValue(hklm, kAddinKey, "Blob", platform::kRegBinary, std::vector<std::uint8_t>(100, 0xAB));
    os.registry.SetValue(hklm, kAddinKey, "Big", 11, {1, 2, 3, 4, 5, 6, 7, 8});
    os.registry.SetDword(hklm, kAddinKey, "SyncMinutes", 15);
    os.registry.SetText(hklm, kAddinKey + "\\Profiles\\Default", "Colour", "blue");
    os.launch.onLaunch = [&os, hklm](const std::string& commandLine) {
        if (commandLine.find(" /u ") != std::string::npos) {
            os.registry.MakeKey(hklm, "Software\\Microsoft\\Office\\Outlook\\Addins")
                .subkeys.erase("KestrinSoftware.Connect");
        } else {
            os.registry.SetDword(hklm, kAddinKey, "LoadBehavior", 3);
            os.registry.SetText(hklm, kAddinKey, "FriendlyName", "Kestrin");
            os.registry.SetText(hklm, kAddinKey, "Description", "Kestrin's own");
        }
    };
}

} // namespace

// Every value a backup holds comes back exactly from either form, and a
// line of anything else refuses the whole file, at that line.
TEST(RestoreTest, ABackupReadsBackExactlyAndAnythingElseIsRefusedWhole)
{
    fakes::FakePlatform os;
    using Format = RegistryJournal::Format;
    struct Value {
        std::u16string name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };
    const std::vector<Value> values = {
        {u"", platform::kRegSz, Z(u"C:\\Program Files\\\"K\"")},
        {u"Two \"lines\"", platform::kRegSz, Z(u"a\r\nb")},
        {u"\u6771\u4eac", platform::kRegExpandSz, Z(u"%TEMP%\\\u6771")},
        {u"multi", 7, Wide(std::u16string(u"a\0b\0\0", 5))},
        {u"n", platform::kRegDword, {0x78, 0x56, 0x34, 0x12}},
        {u"long", platform::kRegBinary, std::vector<std::uint8_t>(200, 0x5A)},
        {u"none", platform::kRegBinary, {}},
        {u"qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Format format : {Format::Regedit4, Format::Regedit5}) {
        std::u16string text =
            format == Format::Regedit4 ? u"REGEDIT4\r\n\r\n" : u"Windows Registry Editor Version 5.00\r\n\r\n";
        text += u"[-HKEY_LOCAL_MACHINE\\Software\\Gone]\r\n\r\n[HKEY_USERS\\S-1-5-21-7-1001\\Software\\K]\r\n";
        for (const Value& value : values) {
            text += RegistryJournal::RegLine(format, value.name, value.type, value.data) + u"\r\n";
        }
        text += u"\"absent\"=-\r\n; \"x\" could not be read (error 5): the import leaves it as it is\r\n";
        std::size_t bad = 99;
        const auto file = RegFile::Parse(text, bad);
        ASSERT_TRUE(file) << "line " << bad;
        ASSERT_EQ(file->blocks.size(), 2u);
        EXPECT_TRUE(file->blocks[0].remove);
        EXPECT_EQ(file->blocks[0].key, u"HKEY_LOCAL_MACHINE\\Software\\Gone");
        const auto& entries = file->blocks[1].entries;
        ASSERT_EQ(entries.size(), values.size() + 1);
        for (std::size_t i = 0; i < values.size(); ++i) {
            // REGEDIT4 holds the code page alone: the fakes' is Latin-1.
            const bool lossy = format == Format::Regedit4 && values[i].name == u"\u6771\u4eac";
            if (!lossy) {
                EXPECT_EQ(entries[i].name, values[i].name) << i;
                EXPECT_EQ(entries[i].type, values[i].type) << i;
                EXPECT_EQ(entries[i].data, values[i].data) << i;
            }
            EXPECT_FALSE(entries[i].remove);
        }
        EXPECT_TRUE(entries.back().remove);
        EXPECT_EQ(entries.back().name, u"absent");
    }

    const std::u16string head = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\K]\r\n";
    for (const auto& [text, line] : std::vector<std::pair<std::u16string, std::size_t>>{
             {u"[HKEY_LOCAL_MACHINE\\Software\\K]\r\n", 1},
             {u"REGEDIT5\r\n", 1},
             {u"", 1},
             {u"REGEDIT4\r\n\"a\"=\"b\"\r\n", 2},
             {head + u"\"a\"=\"b\r\n", 4},
             {head + u"\"a\"=\"b\" x\r\n", 4},
             {head + u"\"a\"=\"b\\q\"\r\n", 4},
             {head + u"\"a\"=dword:1234567\r\n", 4},
             {head + u"\"a\"=dword:123456789\r\n", 4},
             {head + u"\"a\"=hex:0g\r\n", 4},
             {head + u"\"a\"=hex:01,\r\n", 4},
             {head + u"\"a\"=hex:001\r\n", 4},
             {head + u"\"a\"=hex(7:00\r\n", 4},
             {head + u"\"a\"=hex(123456789):00\r\n", 4},
             {head + u"\"a\"=text\r\n", 4},
             {head + u"a=\"b\"\r\n", 4},
             {head + u"\"a\"\"b\"\r\n", 4},
             {head + u"\"b\"=hex:01,\\\r\n  zz\r\n", 4},
             {head + u"[HKEY_LOCAL_MACHINE\\Software\\K\r\n", 4},
             {head + u"[]\r\n", 4},
             {head + u"[-HKEY_LOCAL_MACHINE\\Software\\K]\r\n\"a\"=-\r\n", 5},
         }) {
        std::size_t bad = 0;
        EXPECT_FALSE(RegFile::Parse(text, bad)) << AsciiOf(text);
        EXPECT_EQ(bad, line) << AsciiOf(text);
    }
    std::size_t bad = 0;
    // Blanks after a line's end, as an editor may leave them, change nothing.
    const auto blank =
        RegFile::Parse(head + u"\"a\"=dword:00000001  \t\r\n[-HKEY_LOCAL_MACHINE\\Software\\K2] \r\n", bad);
    ASSERT_TRUE(blank) << bad;
    EXPECT_EQ(blank->blocks.size(), 2u);
    EXPECT_EQ(blank->blocks[1].key, u"HKEY_LOCAL_MACHINE\\Software\\K2");
    const auto wrapped = RegFile::Parse(head + u"\"b\"=hex:01,\\\r\n  02,\\\r\n  03\r\n@=\"\"\r\n", bad);
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(wrapped->blocks[0].entries[0].data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(wrapped->blocks[0].entries[1].data, (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(RegFile::TextOf(Utf16File(u"W\u6771")), u"W\u6771");
    EXPECT_EQ(RegFile::TextOf("REGEDIT4"), u"REGEDIT4");
}

// A component that deletes the registration key as it unregisters: every
// value and subkey of it is back, the four the reset writes as it writes
// them, one the component changed as the component left it.
TEST(RestoreTest, TheAddinsSettingsSurviveAComponentThatDeletesItsKey)
{
    fakes::FakePlatform os;
    ArrangeSettingsAndAGreedyComponent(os);
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0) << os.console.output;
    const fakes::FakeKey* key = os.registry.Key(platform::kHkeyLocalMachine, kAddinKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(fakes::FakeRegistry::DataAs(key->values.at("ServerName"), true), Z(u"\u6771\u4eac \"mail\" C:\\x"));
    EXPECT_EQ(fakes::FakeRegistry::DataAs(key->values.at("Banner"), true), Z(u"two\r\nlines"));
    EXPECT_EQ(key->values.at("Blob").data, std::vector<std::uint8_t>(100, 0xAB));
    EXPECT_EQ(key->values.at("Big").type, 11u);
    EXPECT_EQ(key->values.at("Paths").type, 7u);
    EXPECT_EQ(key->values.at("LoadBehavior").data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(key->values.at("CommandLineSafe").data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(fakes::FakeRegistry::DataAs(key->values.at("FriendlyName"), false),
              (std::vector<std::uint8_t>{'K', 'e', 's', 't', 'r', 'i', 'n', ' ', 'S', 'o', 'f', 't', 'w', 'a', 'r', 'e',
                                         ' ', 'A', 'd', 'd', '-', 'I', 'n', ' ', 'E', 'n', 'g', 'i', 'n', 'e', 0}));
    EXPECT_NE(os.registry.Key(platform::kHkeyLocalMachine, kAddinKey + "\\Profiles\\Default"), nullptr);
    const std::string log = os.kernel.Contents(kLog).value_or("");
    const std::string wow = "HKEY_LOCAL_MACHINE\\" + kWowAddinKey;
    EXPECT_NE(log.find("Put back SyncMinutes of " + kAddinKey + ", which a component had removed"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Put back Colour of " + kAddinKey + "\\Profiles\\Default, which a component had removed"),
              std::string::npos);
    EXPECT_NE(log.find("Set back FriendlyName of " + kAddinKey + ", which a component had changed to \"Kestrin\""),
              std::string::npos);

    // Where a value cannot be put back, the reset says so, and is not a success.
    fakes::FakePlatform denied;
    ArrangeSettingsAndAGreedyComponent(denied);
    denied.registry.deniedWrites.insert("SyncMinutes");
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 2);
    EXPECT_NE(denied.console.output.find("- the add-in's setting SyncMinutes could not be put back"), std::string::npos)
        << denied.console.output;
}

// A reset, then a restore of its backup: the registry is as it was before
// the reset, in every view; the restore saved what it changed first. (The
// x64 edition's: the fakes keep the 32-bit view's ProgIDs apart, which
// Windows shares between the views.)
TEST(RestoreTest, ARestoreOfAResetsBackupLeavesTheRegistryAsItWas)
{
    fakes::FakePlatform os;
    ArrangeSettingsAndAGreedyComponent(os, true);
    // Click-to-Run's copy, and a user's class of the add-in's.
    os.registry.SetDword(fakes::FakeRegistry::kLocalMachine64,
                         "Software\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\" + kAddinKey, "LoadBehavior", 0);
    os.registry.SetText(fakes::FakeRegistry::kUsers64,
                        kAlice + "\\Software\\Classes\\CLSID\\" + fakes::FakeLaunch::kClsid + "\\InprocServer32", "",
                        "C:\\Old\\KROutlook.dll");
    // As every Windows has them.
    os.registry.MakeKey(fakes::FakeRegistry::kLocalMachine64, "Software\\Classes\\CLSID");
    const auto before = Snapshot(os.registry);
    ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0) << os.console.output;
    ASSERT_NE(Differences(before, Snapshot(os.registry)), "");
    os.console.output.clear();
    EXPECT_EQ(ConsoleProgram({"restore", "--json"}).Run(), 0) << os.console.output;
    EXPECT_EQ(Differences(before, Snapshot(os.registry)), "");
    EXPECT_NE(os.console.output.find(R"({"command":"restore","exitCode":0)"), std::string::npos) << os.console.output;
    EXPECT_NE(os.kernel.Contents(kRecordFolder + "\\AddinsReset-20261209-084705-2.reg"), std::nullopt)
        << "the restore's own backup";
    EXPECT_EQ(os.registry.openHandles(), 0);
    EXPECT_EQ(os.kernel.OpenHandleCount(), 0);
}

// Each key goes into the view its name gives, on 64-bit Windows, whatever
// the edition; only the add-in's keys are written, a key above them that
// a reset made is deleted only where nothing else is beneath it.
TEST(RestoreTest, EachKeyGoesWhereItsNameSaysAndOnlyTheAddinsKeysAreWritten)
{
    const std::string clsid = fakes::FakeLaunch::kClsid;
    const std::string name = "AddinsReset-20261209-090000.reg";
    const std::u16string hers = u"[HKEY_USERS\\S-1-5-21-7-1001\\Software\\";
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[-HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Office]\r\n\r\n"
        u"[-HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Office]\r\n\r\n"
        u"[-HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID]\r\n\r\n"
        u"[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect]\r\n"
        u"\"Mark\"=\"32\"\r\n\"LoadBehavior\"=-\r\n\r\n" +
        hers + u"Classes\\Wow6432Node\\CLSID\\{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}]\r\n\"Mark\"=\"32\"\r\n\r\n" +
        hers + u"Classes\\CLSID\\{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}]\r\n\"Mark\"=\"64\"\r\n\r\n" + hers +
        u"Microsoft\\Office\\16.0\\Outlook\\Resiliency]\r\n\"x\"=\"y\"\r\n\r\n"
        u"[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"Evil\"=\"evil.exe\"\r\n\r\n"
        u"[HKEY_USERS\\S-1-5-21-9-9999\\Software\\Classes\\KestrinSoftware.Connect]\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\not-a-guid]\r\n\r\n";
    const std::string file = Utf16File(text);

    fakes::FakePlatform os;
    Arrange(os);
    ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    const platform::Handle hklm64 = fakes::FakeRegistry::kLocalMachine64;
    // Her hive is one in either view, as the fakes keep it apart.
    os.registry.MakeKey(fakes::FakeRegistry::kUsers64, kAlice);
    os.registry.SetDword(hklm64, kAddinKey, "LoadBehavior", 3);
    os.registry.SetText(hklm64, "Software\\Classes\\CLSID\\{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}", "", "another's");
    os.registry.SetDword(platform::kHkeyLocalMachine, "Software\\Microsoft\\Office\\Outlook\\Addins\\Other",
                         "LoadBehavior", 3);
    os.kernel.folders[kRecordFolder].push_back({name, 0x20, std::vector<std::uint8_t>(file.begin(), file.end())});
    os.console.output.clear();
    EXPECT_EQ(ConsoleProgram({"restore", "--json"}).Run(), 2);
    const std::string& out = os.console.output;
    for (
        const std::string code :
        {R"("code":"keyNotRestorable","file":"HKEY_USERS\\S-1-5-21-7-1001\\Software\\Microsoft\\Office\\16.0\\Outlook\\Resiliency")",
         R"("code":"keyNotRestorable","file":"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run")",
         R"("code":"hiveNotLoaded","file":"HKEY_USERS\\S-1-5-21-9-9999\\Software\\Classes\\KestrinSoftware.Connect")",
         R"("code":"keyNotRestorable","file":"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\not-a-guid")"}) {
        EXPECT_NE(out.find(code), std::string::npos) << code << "\n" << out;
    }
    EXPECT_EQ(os.registry.Key(hklm64, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"), nullptr);
    EXPECT_EQ(
        os.registry.Key(platform::kHkeyUsers, kAlice + "\\Software\\Microsoft\\Office\\16.0\\Outlook\\Resiliency\\x"),
        nullptr);
    EXPECT_NE(os.registry.Key(platform::kHkeyUsers, kAlice + "\\" + kDisabled), nullptr);
    // Only the add-in's were under the 64-bit view's Office: all of it went, Software\Microsoft stays.
    EXPECT_EQ(os.registry.Key(hklm64, "Software\\Microsoft\\Office"), nullptr);
    EXPECT_NE(os.registry.Key(hklm64, "Software\\Microsoft"), nullptr);
    // No class of anyone's goes with a key above the add-in's.
    EXPECT_NE(os.registry.Key(hklm64, "Software\\Classes\\CLSID\\{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}"), nullptr);
    // Another add-in keeps the 32-bit view's; the add-in's own comes back as the backup holds it.
    EXPECT_NE(os.registry.Key(platform::kHkeyLocalMachine, "Software\\Microsoft\\Office\\Outlook\\Addins\\Other"),
              nullptr);
    const fakes::FakeKey* ours = os.registry.Key(platform::kHkeyLocalMachine, kAddinKey);
    ASSERT_NE(ours, nullptr);
    EXPECT_EQ(ours->values.size(), 1u);
    EXPECT_EQ(MarkOf(os.registry, platform::kHkeyLocalMachine, kAddinKey), "32");
    const std::string classKey = kAlice + "\\Software\\Classes\\CLSID\\" + clsid;
    EXPECT_EQ(MarkOf(os.registry, platform::kHkeyUsers, classKey), "32");
    EXPECT_EQ(MarkOf(os.registry, fakes::FakeRegistry::kUsers64, classKey), "64");
    EXPECT_NE(os.kernel.Contents(kLog).value_or("").find(
                  "Kept HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Office, which holds more than the "
                  "add-in's keys"),
              std::string::npos);

    // On 32-bit Windows there is one view, and a Wow6432Node path is no key of the add-in's.
    fakes::FakePlatform x86;
    x86.launch.environment["CommonProgramFiles"] = kCommonFiles;
    x86.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}};
    ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    x86.kernel.folders[kRecordFolder].push_back({name, 0x20, std::vector<std::uint8_t>(file.begin(), file.end())});
    x86.console.output.clear();
    EXPECT_EQ(ConsoleProgram({"restore", name}).Run(), 2);
    EXPECT_NE(
        x86.console.output.find("- HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Office\\Outlook\\Addins\\"
                                "KestrinSoftware.Connect is no key a reset backs up; it was left as it is"),
        std::string::npos)
        << x86.console.output;
}

// Nothing is written from a file that is not one of the record folder's
// backups, nor from one that does not parse, nor while Outlook runs.
TEST(RestoreTest, ARestoreRefusesWhatIsNoBackupOfTheRecordFolder)
{
    const std::u16string valid =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\"
        u"Office\\Outlook\\Addins\\KestrinSoftware.Connect]\r\n\"Mark\"=\"1\"\r\n";
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::string name; // the file put in the record folder
        std::u16string text;
        int exitCode;
        std::string line;
    };
    const std::string stamp = "AddinsReset-20261209-090000.reg";
    for (const Case& c : std::vector<Case>{
             {"a path elsewhere",
              {"restore", "C:\\Users\\Public\\" + stamp},
              stamp,
              valid,
              87,
              "- C:\\Users\\Public\\" + stamp + " is none of the backups in " + kRecordFolder +
                  "; nothing was changed."},
             {"an administrator's own copy",
              {"restore", "AddinsReset-20261209-090000 - Copy.reg"},
              "AddinsReset-20261209-090000 - Copy.reg",
              valid,
              87,
              ""},
             {"a name with the folder's path",
              {"restore", kRecordFolder + "\\" + stamp},
              stamp,
              valid,
              0,
              "Restored 1 key as the backup " + stamp + " holds them."},
             {"the ninth backup of a second",
              {"restore", "AddinsReset-20261209-090000-9.reg"},
              "AddinsReset-20261209-090000-9.reg",
              valid,
              0,
              ""},
             {"a number the tool never gives",
              {"restore", "AddinsReset-20261209-090000-1.reg"},
              "AddinsReset-20261209-090000-1.reg",
              valid,
              87,
              ""},
             {"a line of something else",
              {"restore"},
              stamp,
              valid + u"\"Evil\"=evil\r\n",
              13,
              "- " + kRecordFolder + "\\" + stamp + " is no backup a reset wrote (line 5); nothing was changed."},
             {"no header", {"restore"}, stamp, u"[HKEY_LOCAL_MACHINE\\Software]\r\n", 13, ""},
         }) {
        SCOPED_TRACE(c.what);
        fakes::FakePlatform os;
        Arrange(os);
        os.kernel.folders["C:\\Users\\Public"] = {{stamp, 0x20, {'x'}}};
        ASSERT_EQ(ConsoleProgram({"check"}).Run(), 1);
        // A first run makes the record folder as the tool makes it.
        ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0);
        const std::string file = Utf16File(c.text);
        os.kernel.folders[kRecordFolder].push_back({c.name, 0x20, std::vector<std::uint8_t>(file.begin(), file.end())});
        const auto before = Snapshot(os.registry);
        os.console.output.clear();
        EXPECT_EQ(ConsoleProgram(c.arguments).Run(), c.exitCode) << os.console.output;
        EXPECT_EQ(Differences(before, Snapshot(os.registry)) == "", c.exitCode != 0) << os.console.output;
        if (!c.line.empty()) {
            EXPECT_NE(os.console.output.find(c.line), std::string::npos) << os.console.output;
        }
    }

    fakes::FakePlatform none;
    Arrange(none);
    EXPECT_EQ(ConsoleProgram({"restore"}).Run(), 2);
    EXPECT_EQ(none.console.output, "No reset's backup was found in " + kRecordFolder + ".\r\n");

    fakes::FakePlatform os;
    Arrange(os);
    ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    os.kernel.AddProcess(12, "C:\\Program Files\\Microsoft Office\\Office16\\OUTLOOK.EXE");
    const auto before = Snapshot(os.registry);
    EXPECT_EQ(ConsoleProgram({"restore"}).Run(), 1);
    EXPECT_EQ(Differences(before, Snapshot(os.registry)), "");
}

// Where a 32-bit program's classes are a tree of their own (Wine, and the
// 64-bit Windows before 7), the backup names the add-in's ProgID of the
// x86 edition by the node, and the restore puts it back in that view; where
// they are shared, by the name both views share. A user's classes are
// reached through Windows' own link from her Software\Classes.
TEST(RestoreTest, AClassOfTheThirtyTwoBitViewComesBackToItsOwnView)
{
    const std::string progId = "Software\\Classes\\KestrinSoftware.Connect";
    for (const bool apart : {true, false}) {
        SCOPED_TRACE(apart ? "classes apart" : "classes shared");
        fakes::FakePlatform os;
        Arrange(os);
        os.registry.SetText(platform::kHkeyLocalMachine, progId + "\\CLSID", "", "{old}");
        os.registry.MakeKey(platform::kHkeyLocalMachine, "Software\\Classes\\.txt");
        os.registry.MakeKey(platform::kHkeyLocalMachine, "Software\\Classes\\CLSID");
        os.registry.MakeKey(fakes::FakeRegistry::kLocalMachine64, "Software\\Classes\\Wow6432Node\\CLSID");
        if (apart) {
            for (const char* name : {".txt", "CLSID", "KestrinSoftware.Connect"}) {
                os.registry.MakeKey(fakes::FakeRegistry::kLocalMachine64,
                                    std::string("Software\\Classes\\Wow6432Node\\") + name);
            }
        }
        // Her classes in a hive of their own, behind the link Windows makes.
        const std::string herClasses = kAlice + "_Classes";
        os.registry.SetText(platform::kHkeyUsers, herClasses + "\\KestrinSoftware.Connect\\CLSID", "", "{hers}");
        os.registry.Key(platform::kHkeyUsers, kAlice + "\\Software")->subkeys.erase("Classes");
        os.registry.MakeLink(platform::kHkeyUsers, kAlice + "\\Software\\Classes", platform::kHkeyUsers, herClasses);
        // Shared by both views, as her ProgIDs are on Windows.
        os.registry.MakeLink(fakes::FakeRegistry::kUsers64, kAlice + "\\Software\\Classes", platform::kHkeyUsers,
                             herClasses);
        ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0) << os.console.output;
        const std::string backup = BackupText(os.kernel.Contents(kBackup).value_or(""));
        const std::string node = apart ? "Wow6432Node\\" : "";
        EXPECT_NE(backup.find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\" + node +
                              "KestrinSoftware.Connect\\CLSID]\r\n"
                              "@=\"{old}\""),
                  std::string::npos)
            << backup;
        EXPECT_NE(backup.find("[HKEY_USERS\\" + kAlice + "\\" + progId + "\\CLSID]\r\n@=\"{hers}\""), std::string::npos)
            << "her class, read through the link: " << backup;
        if (apart) {
            os.registry.SetText(platform::kHkeyLocalMachine, progId + "\\CLSID", "", "{changed}");
            EXPECT_EQ(ConsoleProgram({"restore"}).Run(), 0) << os.console.output;
            const fakes::FakeKey* clsid = os.registry.Key(platform::kHkeyLocalMachine, progId + "\\CLSID");
            ASSERT_NE(clsid, nullptr);
            EXPECT_EQ(fakes::FakeRegistry::DataAs(clsid->values.at(""), true), Z(u"{old}"));
            EXPECT_EQ(os.registry.Key(fakes::FakeRegistry::kLocalMachine64, progId), nullptr);
        }
    }
}

// One Application log event for each reset and restore, through the tool's
// own source: its number says how the run ended, its type whether it needs
// a look, its strings the text and the JSON line; a check writes none, and
// an event that cannot be written stops nothing.
TEST(RestoreTest, EveryResetAndRestoreLeavesOneEventAndACheckNone)
{
    using platform::kEventlogErrorType;
    using platform::kEventlogInformationType;
    using platform::kEventlogWarningType;
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> arrange;
        std::vector<std::string> arguments;
        int exitCode;
        std::uint32_t id;
        std::uint16_t type;
    };
    const auto outlook = [](fakes::FakePlatform& p) {
        p.kernel.AddProcess(12, "C:\\Program Files\\Microsoft Office\\Office16\\OUTLOOK.EXE");
    };
    const auto resetFirst = [](fakes::FakePlatform& p) {
        // Her hive is one in either view, as the fakes keep it apart.
        p.registry.MakeKey(fakes::FakeRegistry::kUsers64, kAlice);
        ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0);
        p.eventLog.events.clear();
    };
    for (const Case& c : std::vector<Case>{
             {"a reset", [](auto&) {}, {"reset", "--json"}, 0, 1000, kEventlogInformationType},
             {"a reset while Outlook runs", outlook, {"reset"}, 1, 1001, kEventlogWarningType},
             {"a reset that cannot write the registration",
              [](auto& p) { p.registry.deniedWrites.insert("LoadBehavior"); },
              {"reset"},
              2,
              1002,
              kEventlogErrorType},
             {"a restore", resetFirst, {"restore"}, 0, 1100, kEventlogInformationType},
             {"a restore while Outlook runs",
              [&](auto& p) {
                  resetFirst(p);
                  outlook(p);
              },
              {"restore"},
              1,
              1101,
              kEventlogWarningType},
             {"a restore of a file elsewhere", resetFirst, {"restore", "C:\\x.reg"}, 87, 1187, kEventlogErrorType},
             {"a run-time error",
              [](auto& p) { p.launch.onLaunch = [](const std::string&) { throw RuntimeError(6, u"Overflow"); }; },
              {"reset"},
              6,
              1999,
              kEventlogErrorType},
         }) {
        SCOPED_TRACE(c.what);
        fakes::FakePlatform os;
        Arrange(os);
        c.arrange(os);
        os.console.output.clear();
        EXPECT_EQ(ConsoleProgram(c.arguments).Run(), c.exitCode) << os.console.output;
        ASSERT_EQ(os.eventLog.events.size(), 1u);
        const auto& event = os.eventLog.events.front();
        EXPECT_EQ(event.source, "Kestrin Software Add-Ins Reset");
        EXPECT_EQ(event.id, c.id);
        EXPECT_EQ(event.type, c.type);
        ASSERT_EQ(event.strings.size(), 2u);
        const std::string command = c.arguments.front();
        EXPECT_EQ(
            event.strings[1].rfind("{\"command\":\"" + command + "\",\"exitCode\":" + std::to_string(c.exitCode), 0),
            0u)
            << event.strings[1];
        if (c.arguments.back() == "--json") {
            EXPECT_EQ(event.strings[1] + "\r\n", os.console.output);
        } else if (c.id != 1999) {
            // The text a user of the console read, line for line.
            const std::string first = aslocalsystem::LinesOf(os.console.output + "\r\n").front();
            EXPECT_EQ(event.strings[0].substr(0, first.size()), first);
        } else {
            EXPECT_EQ(event.strings[0], "Run-time error '6': Overflow");
        }
        EXPECT_EQ(os.eventLog.openSources, 0);
    }

    fakes::FakePlatform os;
    Arrange(os);
    EXPECT_EQ(ConsoleProgram({"check", "--json"}).Run(), 1);
    EXPECT_TRUE(os.eventLog.events.empty()) << "a check writes nothing";
    os.eventLog.registrationFails = true;
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    const auto entries = Entries(os.kernel.Contents(kLog).value_or(""));
    EXPECT_NE(
        std::find(entries.begin(), entries.end(), "[2] The Application log could not be opened for this run's event"),
        entries.end())
        << "named in the log, as a warning";
    os.eventLog.registrationFails = false;
    os.eventLog.reportFails = true;
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    EXPECT_NE(os.kernel.Contents(kLog).value_or("").find("This run's event could not be written"), std::string::npos);
    EXPECT_EQ(os.eventLog.openSources, 0);
}

// The type library the add-in's class names is saved whole with it; a
// value that is no library's identifier names none.
TEST(RestoreTest, TheTypeLibraryOfTheAddinsClassIsInTheBackup)
{
    const std::string library = "{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}";
    for (const std::string& named : {library, library + "x"}) {
        fakes::FakePlatform os;
        Arrange(os);
        const std::string clsid = fakes::FakeLaunch::kClsid;
        os.registry.SetText(platform::kHkeyLocalMachine, "Software\\Classes\\KestrinSoftware.Connect\\CLSID", "",
                            clsid);
        os.registry.SetText(platform::kHkeyLocalMachine, "Software\\Classes\\CLSID\\" + clsid + "\\TypeLib", "", named);
        os.registry.SetText(platform::kHkeyLocalMachine, "Software\\Classes\\TypeLib\\" + library + "\\1.0", "",
                            "Kestrin");
        ASSERT_EQ(ConsoleProgram({"reset"}).Run(), 0);
        const std::string backup = BackupText(os.kernel.Contents(kBackup).value_or(""));
        const bool saved = backup.find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\" + library +
                                       "\\1.0]\r\n@=\"Kestrin\"") != std::string::npos;
        EXPECT_EQ(saved, named == library) << backup;
    }
}

// A value the journal cannot read before it changes (larger than any of the
// add-in's, 1 MiB) is left out of the backup with a comment, and the log's
// line of it is a failure; one of exactly 1 MiB is saved.
TEST(RestoreTest, AValueTooLargeToReadIsNamedNotSaved)
{
    struct Told final : RegistryJournal::Listener {
        std::u16string before;
        std::vector<std::pair<std::u16string, bool>> after;
        void Before(const Text& lines) override { before += lines; }
        void After(const Text& line, bool failed) override { after.emplace_back(line, failed); }
    };
    for (const std::size_t size : {std::size_t{1024 * 1024}, std::size_t{1024 * 1024 + 1}}) {
        fakes::FakePlatform os;
        os.registry.SetValue(platform::kHkeyLocalMachine, "Software\\K", "Big", platform::kRegBinary,
                             std::vector<std::uint8_t>(size, 1));
        Told told;
        RegistryJournal journal(os.registry, told, false, RegistryJournal::Format::Regedit5);
        platform::Handle key = 0;
        ASSERT_EQ(journal.RegOpenKeyExW(platform::kHkeyLocalMachine, u"Software\\K", 0, platform::kKeySetValue, key),
                  0);
        const std::uint8_t one = 1;
        journal.RegSetValueExW(key, u"Big", platform::kRegBinary, &one, 1);
        journal.RegCloseKey(key);
        const bool tooLarge = size > 1024 * 1024;
        EXPECT_EQ(told.before.find(u"; \"Big\" could not be read (error 234)") != std::u16string::npos, tooLarge);
        EXPECT_EQ(told.before.find(u"\"Big\"=hex:01,01") != std::u16string::npos, !tooLarge);
        ASSERT_FALSE(told.after.empty());
        EXPECT_EQ(told.after.front().second, tooLarge) << AsciiOf(told.after.front().first);
    }
}
