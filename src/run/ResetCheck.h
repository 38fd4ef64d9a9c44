#pragma once

#include "scope/ResetScope.h"
#include "scope/RunView.h"

// What a reset would change, found by reading alone: no registry write, no
// regsvr32, no lock, and Outlook may run. A line for each thing a reset
// would change or could not do, then what keeps Outlook from loading the
// add-in, which no reset changes.
class ResetCheck {
public:
    ResetCheck(RunView& view, Whose whose) : mView(view), mWhose(whose) {}

    // Shows what it found; returns the exit code: 1 where a reset is needed, 0 otherwise.
    int Run();

private:
    RunView& mView;
    Whose mWhose;
};
