// The administrators' program as a fleet runs it on every computer: the
// answer a script acts on, in text and in one JSON line.
#include "AsLocalSystem.h"
#include "common/RuntimeError.h"
#include "console/ConsoleMessages.h"
#include "console/ConsoleOutput.h"
#include "console/ConsoleProgram.h"
#include "fakes/FakePlatform.h"
#include "run/JsonAnswer.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::string kCommonFiles = "C:\\Program Files (x86)\\Common Files";
const std::string kAddinFolder = kCommonFiles + "\\Kestrin Software";
const std::string kAddinKey = "Software\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";
const std::string kNotInstalled = "Kestrin Software add-ins are not installed on this computer.\r\n";

// A computer without the add-in, or with only what the case leaves of it: a
// check says so and asks for nothing, a reset changes nothing and says 6.
TEST(ConsoleTest, AComputerWithoutTheAddinIsLeftAlone)
{
    const platform::Handle hklm64 = fakes::FakeRegistry::kLocalMachine64;
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> leftOver;
        bool installed;
    };
    const std::vector<Case> cases = {
        {"nothing", [](auto&) {}, false},
        {"another add-in's registration",
         [](auto& p) {
             p.registry.SetDword(platform::kHkeyLocalMachine, "Software\\Microsoft\\Office\\Outlook\\Addins\\Other",
                                 "LoadBehavior", 3);
         },
         false},
        {"the x64 edition's library alone",
         [](auto& p) { p.kernel.folders["C:\\Program Files\\Common Files\\Kestrin Software"] = {{"KROutlook.dll"}}; },
         true},
        {"the machine's registration in the 64-bit view",
         [&](auto& p) { p.registry.SetDword(hklm64, kAddinKey, "LoadBehavior", 2); }, true},
        {"the machine's registration in the 32-bit view",
         [&](auto& p) { p.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 2); }, true},
        {"a user's registration",
         [](auto& p) { p.registry.SetDword(platform::kHkeyUsers, "S-1-5-21-7-1001\\" + kAddinKey, "LoadBehavior", 2); },
         true},
        {"a user's class",
         [](auto& p) {
             p.registry.MakeKey(platform::kHkeyUsers, "S-1-5-21-7-1001\\Software\\Classes\\KestrinSoftware.Connect");
         },
         true},
        {"the machine's class in the 64-bit view",
         [&](auto& p) { p.registry.MakeKey(hklm64, "Software\\Classes\\KestrinSoftware.Connect"); }, true},
        {"a registration that cannot be read",
         [](auto& p) { p.registry.openStatus["Software\\Classes\\KestrinSoftware.Connect"] = 5; }, true},
    };
    for (const Case& c : cases) {
        fakes::FakePlatform os;
        os.kernel.windows64 = true;
        os.security.ownUser = "S-1-5-18";
        os.launch.environment["CommonProgramFiles(x86)"] = kCommonFiles;
        os.launch.environment["CommonProgramW6432"] = "C:\\Program Files\\Common Files";
        os.registry.MakeKey(platform::kHkeyUsers, "S-1-5-21-7-1001\\Software\\Microsoft");
        c.leftOver(os);

        EXPECT_EQ(ConsoleProgram({"check"}).Run(), c.installed ? 1 : 0) << c.what;
        EXPECT_EQ(os.console.output == kNotInstalled, !c.installed) << c.what << ": " << os.console.output;
        os.console.output.clear();
        EXPECT_EQ(ConsoleProgram({"reset"}).Run() == 6, !c.installed) << c.what;
        if (!c.installed) {
            EXPECT_EQ(os.console.output, kNotInstalled) << c.what;
            os.console.output.clear();
            EXPECT_EQ(ConsoleProgram({"check", "--json"}).Run(), 0) << c.what;
            EXPECT_EQ(os.console.output, R"({"command":"check","exitCode":0,"version":"1.0.0.0","edition":"x86",)"
                                         R"("users":["S-1-5-21-7-1001"],"needsReset":false,"log":null,"problems":[],)"
                                         R"("blockers":[{"code":"notInstalled"}],"reasons":[]})"
                                         "\r\n")
                << c.what;
            EXPECT_TRUE(os.registry.accesses.empty() && os.registry.writes.empty() && os.launch.launches.empty())
                << c.what << ": nothing written, nothing started";
        }
        EXPECT_EQ(os.registry.openHandles(), 0) << c.what;
    }
}

// The JSON answer: one line of ASCII, every line of the text an entry with
// its code and what it names, and nothing on standard error.
TEST(ConsoleTest, JsonIsOneLineOfCodesAScriptReads)
{
    fakes::FakePlatform os;
    os.security.ownUser = "S-1-5-18";
    os.security.accounts["S-1-5-21-7-1001"] = {"CORP", "jos\xE9"};
    os.launch.environment["CommonProgramFiles"] = kCommonFiles;
    os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}};
    os.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 2);
    os.registry.SetDword(platform::kHkeyUsers, "S-1-5-21-7-1001\\" + kAddinKey, "LoadBehavior", 2);
    os.registry.SetText(platform::kHkeyUsers,
                        "S-1-5-21-7-1001\\Software\\Policies\\Microsoft\\Office\\16.0\\Outlook\\Resiliency\\AddinList",
                        "KestrinSoftware.Connect", "0");

    EXPECT_EQ(ConsoleProgram({"/JSON", "check"}).Run(), 1);
    EXPECT_EQ(os.console.output,
              "{\"command\":\"check\",\"exitCode\":1,\"version\":\"1.0.0.0\",\"edition\":\"x86\",\"users\":[\"CORP\\\\"
              "jos\\u00e9\"],\"needsReset\":true,\"log\":null,\"problems\":[{\"code\":\"registrationDisabled\","
              "\"loadBehavior\":2},{\"code\":\"userOverride\",\"user\":\"CORP\\\\jos\\u00e9\",\"loadBehavior\":2},"
              "{\"code\":\"classNotRegistered\",\"user\":\"CORP\\\\jos\\u00e9\"}],\"blockers\":[{\"code\":\"policy\","
              "\"user\":\"CORP\\\\jos\\u00e9\"}],\"reasons\":[{\"code\":\"disabledWithoutRecord\",\"user\":"
              "\"CORP\\\\jos\\u00e9\",\"loadBehavior\":2}]}\r\n");
    os.console.output.clear();
    os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}, {"Grid.ocx"}};
    os.launch.outcomes["Grid.ocx"] = {true, 50, 5};
    EXPECT_EQ(ConsoleProgram({"reset", "--json"}).Run(), 2);
    EXPECT_TRUE(os.console.output.starts_with(
        R"({"command":"reset","exitCode":2,"version":"1.0.0.0","edition":"x86","users":["CORP\\jos\u00e9"],)"))
        << os.console.output;
    EXPECT_NE(os.console.output.find(",\"problems\":[{\"code\":\"componentRefused\",\"file\":\"C:\\\\Program Files "
                                     "(x86)\\\\Common Files\\\\Kestrin Software\\\\Grid.ocx\",\"error\":5}]"),
              std::string::npos)
        << os.console.output;
    EXPECT_EQ(os.console.output.find('\n'), os.console.output.size() - 1) << "one line";
    EXPECT_TRUE(os.console.error.empty()) << os.console.error;
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"check", "--json", "--json"}, {"--json"}, {"help", "--json"}, {"reset", "-json"}}) {
        EXPECT_EQ(ConsoleProgram(arguments).Run(), 87) << arguments.size();
    }
    // A run-time error is the one problem of its command's answer.
    for (const std::string command : {"check", "reset"}) {
        struct NoKernel32 : fakes::FakeLaunch {
            using FakeLaunch::FakeLaunch;
            std::optional<std::string> GetEnvironmentVariableA(const std::string&) override
            {
                throw RuntimeError::LibraryNotFound("kernel32.dll");
            }
        } noKernel32{os.kernel, os.registry};
        const platform::ScopedServices withoutKernel32({&os.kernel, &os.processStatus, &os.registry, &os.windowing,
                                                        &noKernel32, &os.security, &os.windowing, &os.windowing,
                                                        &os.console});
        os.console.output.clear();
        EXPECT_EQ(ConsoleProgram({command, "--json"}).Run(), 53) << command;
        EXPECT_EQ(os.console.output, R"({"command":")" + command +
                                         R"(","exitCode":53,"version":"1.0.0.0","edition":null,"users":[],"log":null,)"
                                         R"("problems":[{"code":"runTimeError","error":53,"description":"File not )"
                                         R"(found: kernel32.dll"}],"blockers":[],"reasons":[]})"
                                         "\r\n");
    }
}

// Over the cap, the blockers stay and "more" counts the entries left out.
TEST(ConsoleTest, JsonOverTheCapKeepsEveryBlocker)
{
    Outcome outcome;
    outcome.exitCode = 2;
    for (int i = 0; i < 60; ++i) {
        outcome.problems.push_back({u"- x",
                                    "componentNotLoaded",
                                    u"C:\\Kestrin\\Component" + TextOfAscii(std::to_string(i)) + u".dll",
                                    {},
                                    3});
    }
    outcome.blockers = {{u"- y", "libraryMissing", u"VCRUNTIME140.dll"}, {u"- z", "newOutlook"}};
    for (const std::size_t most : {std::size_t{2048}, std::size_t{400}}) {
        const std::string json = JsonAnswer::Of("reset", outcome, most);
        EXPECT_LE(json.size(), most);
        EXPECT_GT(json.size(), most - 90) << "as many as fit";
        EXPECT_NE(json.find("{\"code\":\"libraryMissing\",\"file\":\"VCRUNTIME140.dll\"},{\"code\":\"newOutlook\"}]"),
                  std::string::npos);
        const std::size_t kept = static_cast<std::size_t>(std::count(json.begin(), json.end(), '{')) - 3;
        EXPECT_TRUE(json.ends_with(",\"more\":" + std::to_string(60 - kept) + "}")) << json;
    }
    EXPECT_EQ(JsonAnswer::Quoted(u"a\"\\\x01\u20ac"), "\"a\\\"\\\\\\u0001\\u20ac\"");
    // An object of exactly 2,048 characters is whole; one more, and an entry goes.
    Outcome edge;
    edge.problems = {{u"- x", "componentRefused", u"C:\\"}, {u"- y", "componentRefused", u"D:\\"}};
    const std::size_t whole = JsonAnswer::Of("reset", edge, 100000).size();
    for (const std::size_t size : {std::size_t{2048}, std::size_t{2049}}) {
        edge.problems[1].file = u"D:\\" + Text(size - whole, u'f');
        EXPECT_EQ(JsonAnswer::Of("reset", edge).find("\"more\":1}") != std::string::npos, size > 2048) << size;
    }
}

// Within 2,048 characters the cause and the verdict stay: the longest run
// of one kind is shortened where it stands, and only where that is not
// enough are lines left out, before the blockers and the advice.
TEST(ConsoleTest, TheTextKeepsItsCauseAndVerdictWithinTheCap)
{
    const auto line = [](const char16_t* text) { return Outcome::TextLine{text, std::string()}; };
    std::vector<Outcome::TextLine> lines;
    const auto text = [&](int components, std::size_t padding) {
        lines = {line(u"Kestrin Software add-ins were not fully reset:"),
                 {u"- " + Text(padding, u'p'), "registrationNotWritten"}};
        for (int i = 0; i < components; ++i) {
            lines.push_back({u"- Component" + TextOfAscii(std::to_string(i)) + u".dll could not be loaded (error 3)",
                             "componentNotLoaded"});
        }
        lines.insert(lines.end(),
                     {line(u""), line(u"Kestrin Software add-ins were reset, but Outlook will not load them:"),
                      line(u"- the add-in needs VCRUNTIME140.dll, which is not on this computer"), line(u""),
                      line(u"Please contact support@kestrinsoftware.com about this problem.")});
        return lines;
    };
    const auto characters = [](const auto& texts, auto size) {
        std::size_t sum = 0;
        for (const auto& one : texts) {
            sum += size(one) + 2;
        }
        return sum;
    };
    struct Case {
        int components;
        std::size_t padding;
        std::size_t whole;     // the text's characters, with its line breaks
        const char16_t* shown; // the line before the blockers' block where lines go; empty where all fit
    };
    for (const Case& c : std::vector<Case>{{35, 77, 2040, u""},
                                           {35, 85, 2048, u""},
                                           {35, 86, 2049, u" more like these"},
                                           {35, 97, 2060, u" more like these"},
                                           {55, 10, 2953, u" more like these"},
                                           {3, 1900, 2302, u" more lines were left out."}}) {
        const std::vector<Text> capped = ConsoleOutput::Capped(text(c.components, c.padding), 2048);
        const std::string what = std::to_string(c.components) + " components, " + std::to_string(c.padding);
        EXPECT_EQ(characters(lines, [](const auto& l) { return l.text.size(); }), c.whole) << what;
        const std::size_t shown = characters(capped, [](const Text& t) { return t.size(); });
        EXPECT_LE(shown, 2048u) << what;
        EXPECT_EQ(capped.front(), lines.front().text) << what;
        EXPECT_EQ(capped.back(), lines.back().text) << what << ": the advice stays";
        EXPECT_EQ(capped.at(capped.size() - 3), lines.at(lines.size() - 3).text) << what << ": the blockers stay";
        if (c.whole <= 2048) {
            EXPECT_EQ(capped.size(), lines.size()) << what;
            continue;
        }
        const Text& told = capped.at(capped.size() - 6);
        EXPECT_TRUE(told.ends_with(c.shown)) << what << ": " << AsciiOf(told);
        if (Text(c.shown) == u" more like these") {
            EXPECT_TRUE(told.starts_with(u"- ... and ")) << what;
            EXPECT_GT(shown, 2048u - 49) << what << ": as many as fit";
        }
    }
}

// At most 2,048 characters, as fleet tools keep: whatever the lines, what is
// kept fits, and the last line counts truly what was left out.
TEST(ConsoleTest, OutputIsCappedAndSaysWhatWasLeftOut)
{
    EXPECT_EQ(ConsoleOutput::Capped(std::vector<Outcome::TextLine>(30, {Text(100, u'y'), "y"}), 2048).back(),
              u"- ... and 11 more like these")
        << "a run of one kind is shortened first";
    for (std::size_t width = 1; width <= 120; width += 7) {
        for (std::size_t count = 10; count <= 60; count += 3) {
            std::vector<Outcome::TextLine> lines;
            for (std::size_t i = 0; i < count; ++i) {
                lines.push_back({Text(width, u'w'), "kind" + std::to_string(i)});
            }
            const std::vector<Text> capped = ConsoleOutput::Capped(lines, 2048);
            std::size_t characters = 0;
            for (const Text& line : capped) {
                characters += line.size() + 2;
            }
            EXPECT_LE(characters, 2048u) << width << " x " << count;
            if (capped.size() == count) {
                continue;
            }
            const std::size_t left = count - (capped.size() - 1);
            EXPECT_EQ(capped.back(), TextOfAscii(std::to_string(left)) +
                                         (left == 1 ? u" more line was left out." : u" more lines were left out."));
            EXPECT_GT(characters + width + 2, 2048u - 2) << width << " x " << count << ": as many as fit";
        }
    }
}

// The shared units' boxes become warnings on standard error, but for --json.
TEST(ConsoleTest, BoxesAreWarningsButWithJson)
{
    for (const bool quiet : {false, true}) {
        fakes::FakePlatform os;
        EXPECT_EQ(ConsoleMessages(quiet).MessageBoxA(0, "Error occurred.", "FileList.ProcessFolder", 0), 1);
        EXPECT_EQ(os.console.error, quiet ? "" : "FileList.ProcessFolder: Error occurred.\r\n");
        EXPECT_EQ(os.console.output, "");
    }
}

// A host with many users: the names they are known by, each user's settings
// asking for a reset (or, with the new Outlook, keeping Outlook from
// loading the add-in).
std::vector<std::string> ArrangeUsers(fakes::FakePlatform& os, int count, bool newOutlook)
{
    using namespace aslocalsystem;
    os.security.ownUser = "S-1-5-18";
    os.launch.environment["CommonProgramFiles"] = kCommonFiles;
    os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}};
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        const std::string sid = "S-1-5-21-7-" + std::to_string(2000 + i);
        const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
        os.security.accounts[sid] = {"CORP", "user" + number};
        names.push_back("CORP\\user" + number);
        if (newOutlook) {
            os.registry.SetDword(platform::kHkeyUsers,
                                 sid + "\\Software\\Microsoft\\Office\\16.0\\Outlook\\Preferences", "UseNewOutlook", 1);
        } else {
            os.registry.SetDword(platform::kHkeyUsers, sid + "\\" + kAddinKey, "LoadBehavior", 2);
            os.registry.SetValue(platform::kHkeyUsers, sid + "\\" + kDisabled, "ours", 3, Record());
        }
    }
    return names;
}

// Sixty users: the JSON line stays within its characters, a line the same
// for every user is one entry naming as many as fit, the problems stay
// ahead of the list of users; the text keeps its verdict last.
TEST(ConsoleTest, AHostWithManyUsersGetsAWholeAnswer)
{
    for (const char* command : {"check", "reset"}) {
        SCOPED_TRACE(command);
        fakes::FakePlatform os;
        ArrangeUsers(os, 60, false);
        ConsoleProgram({command, "--json"}).Run();
        const std::string& json = os.console.output;
        EXPECT_LE(json.size(), JsonAnswer::kMostCharacters + 2) << json;
        EXPECT_EQ(json.find("\"more\":"), std::string::npos) << json;
        if (std::string(command) == "check") {
            EXPECT_NE(json.find("\"usersLeftOut\":"), std::string::npos) << json;
            EXPECT_NE(json.find("\"needsReset\":true"), std::string::npos);
            // Two lines for every user, two entries in all, each naming as many users as fit.
            EXPECT_NE(json.find("\"problems\":[{\"code\""), std::string::npos) << json;
            EXPECT_NE(json.find("\"users\":[\"CORP\\\\user00\""), std::string::npos) << json;
        }
        // Outlook's reason, of every user, is kept before the other entries.
        EXPECT_NE(json.find("\"reasons\":[{\"code\":\"disabledAfterCrash\",\"users\":[\"CORP\\\\user00\""),
                  std::string::npos)
            << json;
    }
    fakes::FakePlatform os;
    ArrangeUsers(os, 60, false);
    EXPECT_EQ(ConsoleProgram({"check"}).Run(), 1);
    const std::vector<std::string> lines = aslocalsystem::LinesOf(os.console.output);
    ASSERT_FALSE(lines.empty());
    EXPECT_LE(os.console.output.size(), ConsoleOutput::kMostCharacters + 64);
    EXPECT_EQ(lines.back(), "A reset of Kestrin Software add-ins is needed.");
    ASSERT_EQ(lines.size(), 9u) << os.console.output;
    EXPECT_EQ(lines[5].rfind("Outlook had turned the add-in off because it made Outlook stop. (CORP\\user00, ", 0), 0u)
        << os.console.output;
    EXPECT_EQ(
        lines[1].rfind("- a per-user registration gives the add-in LoadBehavior 2 (CORP\\user00, CORP\\user01, ", 0),
        0u)
        << os.console.output;
    EXPECT_NE(lines[1].find(" and 37 more)"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[lines.size() - 2].rfind("Outlook's settings were checked for the users CORP\\user00, ", 0), 0u)
        << os.console.output;
}

// Twenty-five users on the new Outlook: one line names them, and the
// reset's text keeps its closing advice and whose settings it repaired.
TEST(ConsoleTest, ABlockerOfEveryUserIsOneLine)
{
    fakes::FakePlatform os;
    const std::vector<std::string> users = ArrangeUsers(os, 25, true);
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 3);
    const std::vector<std::string> lines = aslocalsystem::LinesOf(os.console.output);
    ASSERT_GE(lines.size(), 5u) << os.console.output;
    EXPECT_EQ(lines[0], "Kestrin Software add-ins were reset, but Outlook will not load them:");
    EXPECT_EQ(lines[1].rfind("- Outlook is set to use the new Outlook, which cannot load this add-in; switch the new "
                             "Outlook off to use it (CORP\\user00, ",
                             0),
              0u)
        << os.console.output;
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.find("new Outlook") != std::string::npos; }),
              1);
    EXPECT_EQ(lines[lines.size() - 3], "Please contact support@kestrinsoftware.com about this problem.");
    EXPECT_EQ(lines.back().rfind("Outlook's settings were repaired for the users CORP\\user00, ", 0), 0u);
    EXPECT_NE(lines.back().find(" more."), std::string::npos) << lines.back();
    os.console.output.clear();
    ConsoleProgram({"reset", "--json"}).Run();
    EXPECT_LE(os.console.output.size(), JsonAnswer::kMostCharacters + 2);
    EXPECT_NE(os.console.output.find("\"blockers\":[{\"code\":\"newOutlook\",\"users\":[\"CORP\\\\user00\""),
              std::string::npos)
        << os.console.output;
}

} // namespace
