#pragma once

#include "common/Text.h"
#include "scope/ResetScope.h"
#include "scope/RunReport.h"

#include <optional>
#include <string>
#include <vector>

// The program's exit code for each way a click ends, so that a script or a
// remote session can tell without reading the screen. A run-time error
// ends it with the error's own number.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitOutlookRuns = 1;
// A check's: a reset would change something.
inline constexpr int kExitResetNeeded = 1;
inline constexpr int kExitNotFullyReset = 2;
inline constexpr int kExitNotLoaded = 3;
inline constexpr int kExitAnotherCopy = 4;
inline constexpr int kExitClosedWithoutReset = 5;
// The administrators' reset where the add-in is not on the computer: nothing done.
inline constexpr int kExitNotInstalled = 6;

// A backup named that is none of the record folder's: the system's "invalid parameter".
inline constexpr int kExitNotABackup = 87;
// A backup that does not parse, of which nothing is written: the system's "invalid data".
inline constexpr int kExitBackupUnreadable = 13;

// What every run that changes the registry refuses alike, and the title of its box.
inline const Text kOutlookWarningTitle = u"Reset Outlook AddIns";
inline const RunReport::Line kOutlookWarning = {
    u"Warning: Outlook is running.  Exit Outlook or reboot your machine and try again.", "outlookRunning"};
inline const Text kOutlookExe = u"outlook.exe";
inline const RunReport::Line kAnotherCopy = {
    u"Another copy of this program is resetting Kestrin Software add-ins. Please wait until it has finished.",
    "anotherCopy"};

// How a reset ends: the final box, the progress label's last text and the
// program's exit code. A check has no label. Beside the text, what a
// script reads instead of it.
struct Outcome {
    // One line of the text, with the code of the report's line it shows:
    // lines of one code in a row are one run, which a short answer may
    // shorten. A line without a code is always kept.
    struct TextLine {
        Text text;
        std::string code;
    };

    // The lines of the text, "\r\n" between them.
    Text box;
    std::vector<TextLine> lines;
    Text label;
    int exitCode = 0;

    std::vector<RunReport::Line> problems;
    std::vector<RunReport::Line> blockers;
    // Why Outlook turned the add-in off, which changes no exit code.
    std::vector<RunReport::Line> reasons;
    // Whose settings the run was about: "DOMAIN\NAME", or a SID.
    std::vector<Text> users;
    // "x86" or "x64"; empty where the run ended before it was worked out.
    Text edition;
    // A check's answer.
    std::optional<bool> needsReset;
    // The file the run's record went to; none where none was written.
    std::optional<Text> log;
    // Why a reset kept no record, where it kept none: the administrators' text and answer say it once.
    std::optional<RunReport::Line> noLog;
};

// Made from what the run found alone. The reset's own problems come first
// and ask for an administrator; what keeps Outlook from loading the add-in
// follows, in a block of its own, then what Outlook's own records say of
// why it turned the add-in off. Run under another account, the box says
// whose settings were repaired.
Outcome OutcomeOf(const RunReport& report);

// How a check ends: a line for each thing a reset would change or could not
// do, then what keeps Outlook from loading the add-in, and a last line that
// says whether a reset is needed; exit code 1 where it is, 0 where a reset
// would change nothing, blockers or not: no reset can help them.
Outcome CheckOutcomeOf(const RunReport& report);

// A run that stopped before it changed anything: the one line that says why,
// with its code.
Outcome RefusalOf(const RunReport::Line& why, int exitCode);

// How a restore ends: how many of the backup's keys were put back, or a
// line for each thing that was not, and the exit code 0 or 2.
Outcome RestoreOutcomeOf(const RunReport& report, const Text& backup, std::size_t keys);

// Where the add-in is not on the computer: one line, which a check and the
// administrators' reset tell alike, and no reset helps.
Outcome NotInstalledOutcome(int exitCode);

// What a script is told of a run besides its lines: whose settings, which edition.
void Describe(Outcome& outcome, const ResetScope& scope);
