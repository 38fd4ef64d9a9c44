#include "run/Outcome.h"

#include "scope/AppTexts.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const Text kSuccess = u"Successfully reset Kestrin Software add-ins.";
const Text kFinishedWithErrors = u"Reset finished with errors.";
const Text kFinishedButNotLoaded = u"Reset finished, but Outlook will not load the add-in.";
const Text kNotFullyReset = u"Kestrin Software add-ins were not fully reset:";
const Text kWillNotLoad = u"Kestrin Software add-ins were reset, but Outlook will not load them:";
const Text kRunAsAdministrator =
    u"Please run this program as an administrator, or contact " + kSupportAddress + u" about this problem.";
const Text kContactSupport = u"Please contact " + kSupportAddress + u" about this problem.";

const Text kResetNeeded = u"A reset of Kestrin Software add-ins is needed.";
const Text kNoResetNeeded = u"Kestrin Software add-ins need no reset.";
const Text kNoResetHelps = u"No reset would change what the lines above say.";
const Text kWhatKeepsOutlook = u"What keeps Outlook from loading the add-in, which no reset changes:";
const Text kWhatOutlooksRecordsSay = u"What Outlook's own records say of the add-in:";
const Text kWriteToSupport = u"Please write to " + kSupportAddress + u" with these lines.";
const RunReport::Line kNotInstalled = {u"Kestrin Software add-ins are not installed on this computer.", "notInstalled"};

// Of many names, those that fit a line of the console, and how many are left out.
constexpr std::size_t kMostNamesCharacters = 300;

Text NamesAsFarAsTheyFit(const std::vector<Text>& names)
{
    Text text = names.front();
    std::size_t named = 1;
    for (; named < names.size(); ++named) {
        const Text next = (named + 1 == names.size() ? u" and " : u", ") + names[named];
        if (text.size() + next.size() > kMostNamesCharacters) {
            break;
        }
        text += next;
    }
    if (named < names.size()) {
        text += u" and " + TextOfAscii(std::to_string(names.size() - named)) + u" more";
    }
    return text;
}

// Whose per-user settings the run was about; nothing where they were the tool's own user's.
Text WhoseSettings(const RunReport& report, const Text& done)
{
    if (!report.EveryLoadedUser()) {
        return report.SignedInUser().empty()
                   ? Text()
                   : u"Outlook's settings were " + done + u" for the signed-in user " + report.SignedInUser() + u".";
    }
    // A hive loaded is not always a person signed in (a service's account, one
    // left loaded after signing out): those of every loaded hive are "users".
    const auto& users = report.Users();
    if (users.empty()) {
        const auto& problems = report.Problems();
        const bool unopened = std::any_of(problems.begin(), problems.end(),
                                          [](const RunReport::Line& line) { return line.code == "hiveNotOpened"; });
        return (unopened ? u"No user's settings could be " + done : Text(u"No user is signed in")) +
               u": only this computer's settings were " + done + u".";
    }
    return u"Outlook's settings were " + done + u" for the user" + (users.size() > 1 ? u"s " : u" ") +
           NamesAsFarAsTheyFit(users) + u".";
}

// A line the same for several users is one line, naming them: on a host
// with many users, one line each would crowd out the rest of the text.
std::vector<RunReport::Line> OnePerThing(const std::vector<RunReport::Line>& lines)
{
    std::vector<RunReport::Line> merged;
    std::vector<std::vector<Text>> users;
    for (const RunReport::Line& line : lines) {
        const Text suffix = u" (" + line.user + u")";
        const bool ofUser = !line.user.empty() && line.text.ends_with(suffix);
        const Text text = ofUser ? line.text.substr(0, line.text.size() - suffix.size()) : line.text;
        const auto same = std::find_if(merged.begin(), merged.end(), [&](const RunReport::Line& there) {
            return ofUser && !there.user.empty() && there.code == line.code && there.text == text;
        });
        if (same != merged.end()) {
            users[static_cast<std::size_t>(same - merged.begin())].push_back(line.user);
            continue;
        }
        merged.push_back(line);
        merged.back().text = text;
        users.push_back(ofUser ? std::vector<Text>{line.user} : std::vector<Text>{});
    }
    for (std::size_t i = 0; i < merged.size(); ++i) {
        if (!users[i].empty()) {
            merged[i].text += u" (" + NamesAsFarAsTheyFit(users[i]) + u")";
        }
    }
    return merged;
}

// The text line by line; the box is made from the lines once they are all there.
class Lines {
public:
    void Add(Text text, std::string code = {}) { mLines.push_back({std::move(text), std::move(code)}); }
    // A heading and one line each of the report's lines; nothing where there are none.
    void AddBlock(const Text& heading, const std::vector<RunReport::Line>& lines, bool withCodes)
    {
        if (lines.empty()) {
            return;
        }
        Add(heading);
        for (const RunReport::Line& line : OnePerThing(lines)) {
            Add(line.text, withCodes ? line.code : std::string());
        }
    }
    void AddBlank() { Add(Text()); }
    // What Outlook's records say of why it turned the add-in off, and the advice to tell support of it.
    void AddReasons(const std::vector<RunReport::Line>& reasons)
    {
        if (reasons.empty()) {
            return;
        }
        AddBlock(kWhatOutlooksRecordsSay, reasons, false);
        Add(kWriteToSupport);
    }
    bool Empty() const noexcept { return mLines.empty(); }

    Outcome Finish(const RunReport& report, Text label, int exitCode) &&
    {
        Outcome outcome;
        for (std::size_t i = 0; i < mLines.size(); ++i) {
            outcome.box += (i == 0 ? u"" : u"\r\n") + mLines[i].text;
        }
        outcome.lines = std::move(mLines);
        outcome.label = std::move(label);
        outcome.exitCode = exitCode;
        outcome.problems = report.Problems();
        outcome.blockers = report.Blockers();
        outcome.reasons = report.Reasons();
        return outcome;
    }

private:
    std::vector<Outcome::TextLine> mLines;
};

} // namespace

Outcome OutcomeOf(const RunReport& report)
{
    const Text whose = WhoseSettings(report, u"repaired");
    const auto& problems = report.Problems();
    const auto& blockers = report.Blockers();
    Lines lines;
    if (problems.empty() && blockers.empty()) {
        lines.Add(kSuccess);
    } else {
        // Only the reset's own lines come in runs of one kind; every line of what keeps Outlook out stays.
        lines.AddBlock(kNotFullyReset, problems, true);
        if (!blockers.empty() && !lines.Empty()) {
            lines.AddBlank();
        }
        lines.AddBlock(kWillNotLoad, blockers, false);
        const bool administratorMayHelp = !problems.empty() && !report.OnlyLibrariesLackingOthers();
        lines.AddBlank();
        lines.Add(administratorMayHelp ? kRunAsAdministrator : kContactSupport);
    }
    if (!report.Reasons().empty()) {
        lines.AddBlank();
        lines.AddReasons(report.Reasons());
    }
    if (!whose.empty()) {
        lines.AddBlank();
        lines.Add(whose);
    }
    if (problems.empty() && blockers.empty()) {
        return std::move(lines).Finish(report, kSuccess, kExitSuccess);
    }
    if (problems.empty()) {
        return std::move(lines).Finish(report, kFinishedButNotLoaded, kExitNotLoaded);
    }
    return std::move(lines).Finish(report, kFinishedWithErrors, kExitNotFullyReset);
}

Outcome CheckOutcomeOf(const RunReport& report)
{
    Lines lines;
    for (const RunReport::Line& line : OnePerThing(report.Problems())) {
        lines.Add(line.text, line.code);
    }
    lines.AddBlock(kWhatKeepsOutlook, report.Blockers(), false);
    lines.AddReasons(report.Reasons());
    if (const Text whose = WhoseSettings(report, u"checked"); !whose.empty()) {
        lines.Add(whose);
    }
    const bool needed = report.ResetWouldChange();
    const bool nothingFound = report.Problems().empty() && report.Blockers().empty();
    lines.Add(needed ? kResetNeeded : nothingFound ? kNoResetNeeded : kNoResetHelps);
    Outcome outcome = std::move(lines).Finish(report, Text(), needed ? kExitResetNeeded : kExitSuccess);
    outcome.needsReset = needed;
    return outcome;
}

Outcome RefusalOf(const RunReport::Line& why, int exitCode)
{
    RunReport report;
    report.AddProblem(why);
    Lines lines;
    lines.Add(why.text);
    return std::move(lines).Finish(report, Text(), exitCode);
}

Outcome RestoreOutcomeOf(const RunReport& report, const Text& backup, std::size_t keys)
{
    Lines lines;
    const Text count = TextOfAscii(std::to_string(keys)) + (keys == 1 ? u" key" : u" keys");
    if (report.Problems().empty()) {
        lines.Add(u"Restored " + count + u" as the backup " + backup + u" holds them.");
        return std::move(lines).Finish(report, Text(), kExitSuccess);
    }
    lines.AddBlock(u"Not all of the backup " + backup + u" could be restored (" + count + u" were):", report.Problems(),
                   true);
    lines.Add(u"The log names every change made; the backup taken first undoes this restore.");
    return std::move(lines).Finish(report, Text(), kExitNotFullyReset);
}

void Describe(Outcome& outcome, const ResetScope& scope)
{
    for (const auto& user : scope.users.Users()) {
        if (!user.account.empty()) {
            outcome.users.push_back(user.account);
        }
    }
    outcome.edition = scope.edition.bitness == Bitness::X64 ? u"x64" : u"x86";
}

Outcome NotInstalledOutcome(int exitCode)
{
    RunReport report;
    report.AddBlocker(kNotInstalled);
    Lines lines;
    lines.Add(kNotInstalled.text);
    return std::move(lines).Finish(report, Text(), exitCode);
}
