#pragma once

#include "common/Text.h"
#include "reset/RunReport.h"

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

// How a reset ends: the final box, the progress label's last text and the
// program's exit code. A check has no label.
struct Outcome {
    Text box;
    Text label;
    int exitCode = 0;
};

// Made from what the run found alone. The reset's own problems come first
// and ask for an administrator; what keeps Outlook from loading the add-in
// follows, in a block of its own. Run under another account, the box says
// whose settings were repaired.
Outcome OutcomeOf(const RunReport& report);

// How a check ends: a line for each thing a reset would change or could not
// do, then what keeps Outlook from loading the add-in, and a last line that
// says whether a reset is needed; exit code 1 where it is, 0 where a reset
// would change nothing, blockers or not: no reset can help them.
Outcome CheckOutcomeOf(const RunReport& report);
