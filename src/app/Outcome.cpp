#include "app/Outcome.h"

#include "app/AppTexts.h"

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
    const Text repairedFor =
        report.SignedInUser().empty()
            ? Text()
            : u"\r\n\r\nOutlook's settings were repaired for the signed-in user " + report.SignedInUser() + u".";
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
