#include "reset/Outcome.h"

#include "reset/AppTexts.h"

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

// Whose per-user settings the run was about; nothing where they were the tool's own user's.
Text Whose(const RunReport& report, const Text& done)
{
    if (!report.EveryLoadedUser()) {
        return report.SignedInUser().empty()
                   ? Text()
                   : u"Outlook's settings were " + done + u" for the signed-in user " + report.SignedInUser() + u".";
    }
    const auto& users = report.Users();
    if (users.empty()) {
        return u"No user is signed in: only this computer's settings were " + done + u".";
    }
    Text names = users.front();
    for (std::size_t i = 1; i < users.size(); ++i) {
        names += (i + 1 == users.size() ? u" and " : u", ") + users[i];
    }
    return u"Outlook's settings were " + done + u" for the signed-in user" + (users.size() > 1 ? u"s " : u" ") + names +
           u".";
}

// The heading and one line each; nothing when there are no lines.
Text Block(const Text& heading, const std::vector<Text>& lines)
{
    if (lines.empty()) {
        return Text();
    }
    Text block = heading;
    for (const Text& line : lines) {
        block += u"\r\n" + line;
    }
    return block;
}

} // namespace

Outcome OutcomeOf(const RunReport& report)
{
    const Text whose = Whose(report, u"repaired");
    const Text repairedFor = whose.empty() ? Text() : u"\r\n\r\n" + whose;
    const auto& problems = report.Problems();
    const auto& blockers = report.Blockers();
    if (problems.empty() && blockers.empty()) {
        return {kSuccess + repairedFor, kSuccess, kExitSuccess};
    }
    Text box = Block(kNotFullyReset, problems);
    if (!blockers.empty()) {
        box += (box.empty() ? u"" : u"\r\n\r\n") + Block(kWillNotLoad, blockers);
    }
    const bool administratorMayHelp = !problems.empty() && !report.OnlyLibrariesLackingOthers();
    box += u"\r\n\r\n" + (administratorMayHelp ? kRunAsAdministrator : kContactSupport) + repairedFor;
    if (problems.empty()) {
        return {box, kFinishedButNotLoaded, kExitNotLoaded};
    }
    return {box, kFinishedWithErrors, kExitNotFullyReset};
}

Outcome CheckOutcomeOf(const RunReport& report)
{
    Text text;
    for (const Text& line : report.Problems()) {
        text += line + u"\r\n";
    }
    if (!report.Blockers().empty()) {
        text += Block(kWhatKeepsOutlook, report.Blockers()) + u"\r\n";
    }
    if (const Text whose = Whose(report, u"checked"); !whose.empty()) {
        text += whose + u"\r\n";
    }
    if (report.ResetWouldChange()) {
        return {text + kResetNeeded, Text(), kExitResetNeeded};
    }
    const bool nothingFound = report.Problems().empty() && report.Blockers().empty();
    return {text + (nothingFound ? kNoResetNeeded : kNoResetHelps), Text(), kExitSuccess};
}
