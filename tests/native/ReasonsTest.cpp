// Why Outlook turned the add-in off, from its own records: what each record
// gives at the edges where the reader decides, and that none of it changes
// what a check or a reset answers.
#include "AsLocalSystem.h"
#include "console/ConsoleProgram.h"
#include "fakes/FakePlatform.h"
#include "loadcheck/OutlookEvents.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::string kOutlook = "Software\\Microsoft\\Office\\16.0\\Outlook\\";
const std::string kProgId = "KestrinSoftware.Connect";
const std::string kHeading = "What Outlook's own records say of the add-in:";
const std::string kAdvice = "Please write to support@kestrinsoftware.com with these lines.";
// The fakes' clock: 2026-12-09 08:47:05 local time, an hour ahead of UTC.
constexpr std::uint32_t kNow = 1796802425;
constexpr std::uint32_t kDay = 24 * 60 * 60;
// 2026-11-30 23:30 UTC: already 2026-12-01 where the computer is.
constexpr std::uint32_t kLateOnNovember30 = 1796081400;

std::vector<std::uint8_t> Dword(std::uint32_t n)
{
    return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
            static_cast<std::uint8_t>(n >> 24)};
}

// AddInLoadTimes as Outlook is seen to write it: a count, then five times.
std::vector<std::uint8_t> LoadTimes(std::uint32_t count, std::vector<std::uint32_t> times)
{
    std::vector<std::uint8_t> data = Dword(count);
    for (const std::uint32_t ms : times) {
        const auto bytes = Dword(ms);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    return data;
}

// Event 59 as Microsoft's example gives it, one add-in after another, one insertion string.
std::string Disabled(const std::string& progId, const std::string& threshold, const std::string& taken,
                     const std::string& reason = "This add-in caused Outlook to start slowly.")
{
    return "ProgID: " + progId + "\r\nGUID: {00000000-0000-0000-0000-000000000000}\r\nName: Some Add-In\r\n" +
           "Description:\r\nLoad Behavior: 3\r\nHKLM: 0\r\nLocation: C:\\x.dll\r\nThreshold Time (milliseconds): " +
           threshold + "\r\nTime Taken (milliseconds): " + taken + "\r\nDisable Reason: " + reason +
           "\r\nPolicy Exception (Allow List): 0\r\n";
}

std::vector<std::uint8_t> OutlookEvent(std::uint32_t time, std::uint32_t id, std::vector<std::string> strings,
                                       const std::string& source = "Outlook")
{
    return fakes::EventRecordBytes(time, id, source, strings);
}

// The lines of an outcome under the heading, the advice left out; none where there is no heading.
std::vector<std::string> ReasonsIn(const std::string& output)
{
    const std::vector<std::string> lines = aslocalsystem::LinesOf(output);
    const auto heading = std::find(lines.begin(), lines.end(), kHeading);
    if (heading == lines.end()) {
        return {};
    }
    const auto advice = std::find(heading, lines.end(), kAdvice);
    EXPECT_NE(advice, lines.end()) << output;
    return {heading + 1, advice};
}

// The record with more strings than it holds: left out, the next one read.
std::vector<std::uint8_t> StringsPastTheEnd(std::vector<std::uint8_t> record)
{
    record[26] = 9;
    return record;
}

// A computer with the add-in, checked by its own user.
struct Computer {
    Computer()
    {
        os.launch.environment["CommonProgramFiles"] = aslocalsystem::kCommonFiles;
        os.kernel.folders[aslocalsystem::kAddinFolder] = {{"KROutlook.dll"}};
    }

    // What a check says under the heading.
    std::vector<std::string> Reasons()
    {
        os.console.output.clear();
        ConsoleProgram({"check"}).Run();
        return ReasonsIn(os.console.output);
    }

    void Set(const std::string& key, const std::string& name, std::uint32_t type, std::vector<std::uint8_t> data)
    {
        os.registry.SetValue(platform::kHkeyCurrentUser, kOutlook + key, name, type, std::move(data));
    }

    fakes::FakePlatform os;
};

// AddInLoadTimes in its one shape alone, and a forecast only over Outlook's
// 1,000 ms, of the counted starts and only from the add-in's own value.
TEST(ReasonsTest, SlowStartsAreAForecastOverOneSecond)
{
    const std::string last5 = "Its last 5 starts took 1,204 ms in the middle: Outlook may turn it off again.";
    auto shorter = LoadTimes(5, {1204, 1204, 1204, 1204, 1204});
    shorter.pop_back();
    auto longer = LoadTimes(5, {1204, 1204, 1204, 1204, 1204});
    longer.push_back(0);
    const struct {
        const char* what;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::string name;
        std::vector<std::string> reasons;
    } cases[] = {
        {"five", 3, LoadTimes(5, {1204, 900, 1300, 1100, 2000}), kProgId, {last5}},
        {"23 bytes", 3, shorter, kProgId, {}},
        {"25 bytes", 3, longer, kProgId, {}},
        {"a count of 0", 3, LoadTimes(0, {1204, 1204, 1204, 1204, 1204}), kProgId, {}},
        {"a count of 6", 3, LoadTimes(6, {1204, 1204, 1204, 1204, 1204}), kProgId, {}},
        {"a REG_DWORD", 4, LoadTimes(5, {1204, 1204, 1204, 1204, 1204}), kProgId, {}},
        {"a counted time of 600,000", 3, LoadTimes(5, {1204, 1204, 1204, 1204, 600000}), kProgId, {}},
        {"a slot beyond the count",
         3,
         LoadTimes(3, {599999, 1500, 2000, 600000, 0xFFFFFFFF}),
         kProgId,
         {"Its last 3 starts took 2,000 ms in the middle: Outlook may turn it off again."}},
        {"an even count: the middle two's mean, rounded down",
         3,
         LoadTimes(4, {3000, 1002, 10, 1001, 0}),
         kProgId,
         {"Its last 4 starts took 1,001 ms in the middle: Outlook may turn it off again."}},
        {"a median of exactly 1,000", 3, LoadTimes(5, {1000, 1000, 1000, 999, 5000}), kProgId, {}},
        {"one start, another case",
         3,
         LoadTimes(1, {1204, 0, 0, 0, 0}),
         "kestrinsoftware.connect",
         {"Its last start took 1,204 ms: Outlook may turn it off again."}},
        {"another add-in's", 3, LoadTimes(5, {9000, 9000, 9000, 9000, 9000}), "Other.Connect", {}},
    };
    for (const auto& c : cases) {
        Computer pc;
        pc.Set("AddInLoadTimes", c.name, c.type, c.data);
        EXPECT_EQ(pc.Reasons(), c.reasons) << c.what;
    }
}

TEST(ReasonsTest, OnlyTheAddinsOwnRecordsGiveReasons)
{
    const std::string stop = "Outlook had turned the add-in off because it made Outlook stop.";
    const std::string since = "; the user has since chosen to always enable it.";
    const std::string crashed =
        "Outlook last stopped while the add-in was running; it may turn the add-in off at its next start.";
    struct Case {
        const char* what;
        std::function<void(Computer&)> arrange;
        std::vector<std::string> reasons;
    };
    const auto alwaysEnabled = [](std::uint32_t code, const std::string& name = kProgId) {
        return [=](Computer& pc) { pc.Set("Resiliency\\DoNotDisableAddinList", name, 4, Dword(code)); };
    };
    const std::vector<Case> cases = {
        {"another add-in's crash flag",
         [](Computer& pc) { pc.Set("Resiliency\\CrashingAddinList", "Other.Connect", 4, Dword(1)); },
         {}},
        {"the add-in's crash flag, in another case",
         [](Computer& pc) { pc.Set("Resiliency\\CrashingAddinList", "KESTRINSOFTWARE.CONNECT", 4, Dword(1)); },
         {crashed}},
        {"a crash flag of 0", [](Computer& pc) { pc.Set("Resiliency\\CrashingAddinList", kProgId, 4, Dword(0)); }, {}},
        {"a crash flag as text",
         [](Computer& pc) {
             pc.Set("Resiliency\\CrashingAddinList", kProgId, 1, {'1', 0});
         },
         {}},
        {"start", alwaysEnabled(1), {"Outlook had turned the add-in off because it was slow to start" + since}},
        {"demand load",
         alwaysEnabled(2),
         {"Outlook had turned the add-in off because it was slow to load when first needed" + since}},
        {"crash", alwaysEnabled(3), {stop.substr(0, stop.size() - 1) + since}},
        {"folder switch",
         alwaysEnabled(4),
         {"Outlook had turned the add-in off because it was slow at a folder switch" + since}},
        {"before a folder switch",
         alwaysEnabled(5),
         {"Outlook had turned the add-in off because it was slow before a folder switch" + since}},
        {"item open",
         alwaysEnabled(6),
         {"Outlook had turned the add-in off because it was slow to open an item" + since}},
        {"iteration count",
         alwaysEnabled(7),
         {"Outlook had turned the add-in off because it was slow too often" + since}},
        {"shutdown",
         alwaysEnabled(8),
         {"Outlook had turned the add-in off because it was slow when Outlook closed" + since}},
        {"the allow list",
         alwaysEnabled(9),
         {"Outlook found that the add-in made Outlook stop, and kept it on because its allow list names it."}},
        {"the user said no",
         alwaysEnabled(10),
         {"Outlook found that the add-in made Outlook stop, and kept it on because the user said no to turning it "
          "off."}},
        {"code 0", alwaysEnabled(0), {}},
        {"code 11", alwaysEnabled(11), {}},
        {"another add-in always enabled", alwaysEnabled(3, "Other.Connect"), {}},
        {"logging off by policy",
         [](Computer& pc) {
             pc.os.registry.SetDword(platform::kHkeyCurrentUser,
                                     "Software\\Policies\\Microsoft\\Cloud\\Office\\16.0\\Outlook\\Options\\Logging",
                                     "DisableAddinLogging", 1);
         },
         {"Outlook's add-in logging is turned off by policy, so no event of Outlook's can say more."}},
        {"logging on by policy",
         [](Computer& pc) {
             pc.os.registry.SetDword(platform::kHkeyCurrentUser,
                                     "Software\\Policies\\Microsoft\\Office\\16.0\\Outlook\\Options\\Logging",
                                     "DisableAddinLogging", 0);
         },
         {}},
        // Turned off for the user without a record of why; a record says why, and the line gives way.
        {"LoadBehavior 2 alone",
         [](Computer& pc) {
             pc.os.registry.SetDword(platform::kHkeyCurrentUser, aslocalsystem::kAddinKey, "LoadBehavior", 2);
         },
         {"Outlook had turned the add-in off without saying why: it could not start it, or someone turned it off."}},
        {"LoadBehavior 2 and a Disabled Items record",
         [](Computer& pc) {
             pc.os.registry.SetDword(platform::kHkeyCurrentUser, aslocalsystem::kAddinKey, "LoadBehavior", 2);
             pc.Set("Resiliency\\DisabledItems", "x", 3, aslocalsystem::Record());
         },
         {stop}},
        {"LoadBehavior 2 and a crash flag",
         [](Computer& pc) {
             pc.os.registry.SetDword(platform::kHkeyCurrentUser, aslocalsystem::kAddinKey, "LoadBehavior", 2);
             pc.Set("Resiliency\\CrashingAddinList", kProgId, 4, Dword(1));
         },
         {crashed}},
        {"LoadBehavior 3",
         [](Computer& pc) {
             pc.os.registry.SetDword(platform::kHkeyCurrentUser, aslocalsystem::kAddinKey, "LoadBehavior", 3);
         },
         {}},
    };
    for (const Case& c : cases) {
        Computer pc;
        c.arrange(pc);
        EXPECT_EQ(pc.Reasons(), c.reasons) << c.what;
        EXPECT_TRUE(pc.os.registry.writes.empty() && pc.os.registry.deletes.empty()) << c.what << ": read only";
    }
}

// Newest first, within 30 days: the add-in's numbers from its own block of
// the event, labels read in any case; in another language, the event still
// says that Outlook turned the add-in off, and when.
TEST(ReasonsTest, OutlooksEventsSayWhenAndHowSlow)
{
    const std::string onDecember1 = "Outlook had turned the add-in off on 2026-12-01 because it ";
    const std::string started = "Its start on 2026-12-01 took 1,204 ms: Outlook may turn it off again.";
    struct Case {
        const char* what;
        std::vector<std::vector<std::uint8_t>> records; // the newest first
        std::vector<std::string> reasons;
    };
    const std::vector<Case> cases = {
        {"ours after another add-in",
         {OutlookEvent(kLateOnNovember30, 59,
                       {Disabled("Other.Connect", "500", "9999") + Disabled(kProgId, "1000", "1875")})},
         {onDecember1 + "took 1,875 ms to start; Outlook allows 1,000 ms."}},
        {"labels in another case, each field its own string",
         {OutlookEvent(kLateOnNovember30, 59,
                       {"Outlook disabled the following add-in(s):", "PROGID: kestrinsoftware.connect",
                        "THRESHOLD TIME (MILLISECONDS): 500", "time taken (Milliseconds): 719",
                        "Disable Reason: This add-in caused Outlook to close slowly."})},
         {onDecember1 + "took 719 ms when Outlook closed; Outlook allows 500 ms."}},
        {"labels in another language",
         {OutlookEvent(kLateOnNovember30, 59,
                       {"ProgID: " + kProgId +
                        "\nSchwellenwert (Millisekunden): 500\nBen\xF6tigte Zeit "
                        "(Millisekunden): 719\nGrund: langsam"})},
         {onDecember1 + "was slow."}},
        {"an event's number with its severity bits",
         {OutlookEvent(kLateOnNovember30, 0x4000003B, {Disabled(kProgId, "500", "600")})},
         {onDecember1 + "took 600 ms to start; Outlook allows 500 ms."}},
        {"a number too long to be one",
         {OutlookEvent(kLateOnNovember30, 59, {Disabled(kProgId, "500", "1234567890")})},
         {onDecember1 + "was slow to start."}},
        {"another source, another event, another add-in",
         {OutlookEvent(kNow, 59, {Disabled(kProgId, "500", "600")}, "Outlook Connector"),
          OutlookEvent(kNow, 58, {Disabled(kProgId, "500", "600")}),
          OutlookEvent(kNow, 59, {Disabled("Other.Connect", "500", "600")})},
         {}},
        {"the newest of two",
         {OutlookEvent(kNow - 3600, 59, {Disabled(kProgId, "500", "700", "shutdown")}),
          OutlookEvent(kLateOnNovember30, 59, {Disabled(kProgId, "1000", "1875")})},
         {"Outlook had turned the add-in off on 2026-12-09 because it took 700 ms when Outlook closed; Outlook "
          "allows 500 ms."}},
        {"30 days and one second ago, and one older after it",
         {OutlookEvent(kNow - 30 * kDay - 1, 45, {"ProgID: " + kProgId + "\nBoot Time (Milliseconds): 5000"}),
          OutlookEvent(kNow - 31 * kDay, 59, {Disabled(kProgId, "500", "600")})},
         {}},
        {"30 days ago to the second",
         {OutlookEvent(kNow - 30 * kDay, 45, {"ProgID: " + kProgId + "\nBoot Time (Milliseconds): 1001"})},
         {"Its start on 2026-11-09 took 1,001 ms: Outlook may turn it off again."}},
        {"a start of exactly a second, before a slow one",
         {OutlookEvent(kNow, 45, {"ProgID: " + kProgId + "\nBoot Time (Milliseconds): 1000"}),
          OutlookEvent(kLateOnNovember30, 45, {"ProgID: " + kProgId + "\nBoot Time (Milliseconds): 1204"})},
         {}},
        {"a slow start among others",
         {OutlookEvent(kLateOnNovember30, 45,
                       {"ProgID: Other.Connect\nBoot Time (Milliseconds): 9000\nProgID: " + kProgId +
                        "\nBoot Time (Milliseconds): 1204\nProgID: Third.Connect\nBoot Time (Milliseconds): 10"})},
         {started}},
        {"a record whose strings run past its end, before ours",
         {StringsPastTheEnd(OutlookEvent(kNow, 45, {"ProgID: " + kProgId, "Boot Time (Milliseconds): 9000"})),
          OutlookEvent(kLateOnNovember30, 45, {"ProgID: " + kProgId + "\nBoot Time (Milliseconds): 1204"})},
         {started}},
        {"a record larger than the first read's buffer",
         {OutlookEvent(kLateOnNovember30, 45,
                       {std::string(70000, 'x'), "ProgID: " + kProgId, "Boot Time (Milliseconds): 1204"})},
         {started}},
    };
    for (const Case& c : cases) {
        Computer pc;
        pc.os.eventLog.records = c.records;
        EXPECT_EQ(pc.Reasons(), c.reasons) << c.what;
        EXPECT_EQ(pc.os.eventLog.openLogs, 0) << c.what << ": closed";
    }
    // At most kMostRecords records are read: the add-in's event as the last of them, and as one more.
    for (const std::size_t before : {OutlookEvents::kMostRecords - 1, OutlookEvents::kMostRecords}) {
        Computer pc;
        pc.os.eventLog.records.assign(before, OutlookEvent(kNow, 1, {}));
        pc.os.eventLog.records.push_back(OutlookEvent(kLateOnNovember30, 59, {Disabled(kProgId, "500", "600")}));
        EXPECT_EQ(pc.Reasons().size(), before < OutlookEvents::kMostRecords ? 1u : 0u) << before;
    }
}

// The JSON entries: a stable code with its numbers, and no exit code or
// verdict changed: a check that finds only Outlook's reasons asks for no reset.
TEST(ReasonsTest, ReasonsAreJsonEntriesAndChangeNoAnswer)
{
    Computer pc;
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    pc.Set("Resiliency\\DoNotDisableAddinList", kProgId, 4, Dword(8));
    pc.Set("AddInLoadTimes", kProgId, 3, LoadTimes(5, {1204, 1204, 1204, 1204, 1204}));
    pc.os.eventLog.records = {
        OutlookEvent(kLateOnNovember30, 59, {Disabled(kProgId, "1000", "1875")}),
        OutlookEvent(kLateOnNovember30, 45, {"ProgID: " + kProgId + "\nBoot Time (Milliseconds): 1300"})};
    pc.os.console.output.clear();
    EXPECT_EQ(ConsoleProgram({"check", "--json"}).Run(), 0);
    const std::string& json = pc.os.console.output;
    EXPECT_NE(json.find(R"("needsReset":false,)"), std::string::npos) << json;
    EXPECT_NE(
        json.find(
            R"("problems":[],"blockers":[],"reasons":[)"
            R"({"code":"alwaysEnabled","moment":"shutdown"},)"
            R"({"code":"slowStarts","moment":"start","takenMs":1204,"thresholdMs":1000},)"
            R"({"code":"disabledAsSlow","moment":"start","takenMs":1875,"thresholdMs":1000,"when":"2026-12-01"},)"
            R"({"code":"slowLastStart","moment":"start","takenMs":1300,"thresholdMs":1000,"when":"2026-12-01"}]})"),
        std::string::npos)
        << json;
    EXPECT_EQ(ConsoleProgram({"check"}).Run(), 0);
    EXPECT_EQ(aslocalsystem::LinesOf(pc.os.console.output).back(), "Kestrin Software add-ins need no reset.");
    pc.os.console.output.clear();
    EXPECT_EQ(ConsoleProgram({"reset"}).Run(), 0);
    EXPECT_EQ(aslocalsystem::LinesOf(pc.os.console.output).front(), "Successfully reset Kestrin Software add-ins.");
}

// The log that cannot be opened, or ends early, says nothing of the add-in
// past what was read, and the run's log says why; the 9x line has none.
// Alice's own record is there whatever the log holds, named hers; an
// event names no user.
TEST(ReasonsTest, AnEventLogThatCannotBeReadWholeClaimsNothing)
{
    const std::string stop = "Outlook had turned the add-in off because it made Outlook stop. (CORP\\alice)";
    const std::string slow = "Its start on 2026-12-01 took 1,204 ms: Outlook may turn it off again.";
    const std::string inPart = "Outlook's events were read only in part: the Application log ";
    const auto start = OutlookEvent(kLateOnNovember30, 45, {"ProgID: " + kProgId + "\nBoot Time (Milliseconds): 1204"});
    auto notARecord = start;
    notARecord[4] ^= 1;
    struct Case {
        const char* what;
        std::function<void(fakes::FakeEventLog&)> arrange;
        std::vector<std::string> reasons;
        std::string logLine; // empty: none
    };
    const std::vector<Case> cases = {
        {"cannot be opened",
         [](auto& log) { log.openError = 5; },
         {stop},
         "Outlook's events could not be read: the Application log did not open (error 5)"},
        {"ends after the add-in's record",
         [&](auto& log) {
             log.records = {start, start};
             log.readsEndAfter = 1;
             log.readsEndWith = 1503;
         },
         {stop, slow},
         inPart + "answered error 1503"},
        {"ends before it",
         [&](auto& log) {
             log.records = {OutlookEvent(kNow, 1, {}), start};
             log.readsEndAfter = 1;
             log.readsEndWith = 1503;
         },
         {stop},
         inPart + "answered error 1503"},
        {"a record that is none before it",
         [&](auto& log) {
             log.records = {notARecord, start};
         },
         {stop},
         inPart + "gave a record that is none"},
        {"empty, as Wine's always is", [](auto&) {}, {stop}, ""},
        {"a read of nothing that says it read",
         [&](auto& log) {
             log.records = {start};
             log.readsNothing = true;
         },
         {stop},
         ""},
    };
    for (const Case& c : cases) {
        fakes::FakePlatform os;
        aslocalsystem::Arrange(os);
        c.arrange(os.eventLog);
        ConsoleProgram({"reset"}).Run();
        EXPECT_EQ(ReasonsIn(os.console.output), c.reasons) << c.what << ": " << os.console.output;
        const std::string log = os.kernel.Contents(aslocalsystem::kLog).value_or("");
        EXPECT_EQ(log.find("Outlook's events"), c.logLine.empty() ? std::string::npos : log.find(c.logLine))
            << c.what << ": " << log;
        EXPECT_EQ(os.eventLog.openLogs, 0) << c.what << ": closed";
    }
    // The 9x line keeps no event log: nothing is opened.
    Computer pc;
    pc.os.kernel.platformId = 1;
    pc.os.eventLog.records = {start};
    EXPECT_EQ(pc.Reasons(), std::vector<std::string>{});
    EXPECT_TRUE(pc.os.eventLog.logsOpened.empty());
}

} // namespace
