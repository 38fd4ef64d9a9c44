#pragma once

#include "common/Boolean.h"
#include "reset/AddinRegistration.h"
#include "reset/AddinSettings.h"
#include "reset/ComponentKeys.h"
#include "reset/Regsvr32Runs.h"
#include "reset/ResetLock.h"
#include "run/ResetRecord.h"
#include "scope/ResetScope.h"
#include "scope/RunView.h"

#include <optional>

// One reset: its steps in their order, each the call into the unit that does
// its work. The window's Reset button and the console program's "reset" run
// the same steps; each shows them through its own view.
class ResetSteps {
public:
    // Which program runs the reset: the administrators' leaves a computer
    // without the add-in alone, where the window resets whatever it finds.
    enum class Program { Window, Console };

    ResetSteps(RunView& view, Whose whose, Program program);

    // Runs the steps and shows how they ended; returns the program's exit code.
    int Run();

private:
    // What a reset works on, found once the lock is held, and the units that keep state across steps.
    struct State {
        State(Whose whose, RunLog& log);

        ResetScope scope;
        AddinRegistration registration;
        Regsvr32Runs regsvr32;
        ComponentKeys components;
        AddinSettings settings;
    };

    Boolean VerifyAddinInstalled();
    Boolean VerifyOutlookClosed();
    Boolean VerifyNoOtherCopyResets();
    Boolean ReadWhyOutlookTurnedItOff();
    Boolean SaveWhatTheResetMayChange();
    Boolean CheckHKLMKeys();
    Boolean CheckHKCUKeys();
    Boolean EnableUserRegistration();
    Boolean CheckDisabledItems();
    Boolean UnregisterFiles();
    Boolean RegisterFiles();
    Boolean KeepAddinSettings();
    Boolean RestoreRegistration();
    Boolean PutBackAddinSettings();
    Boolean ForgetClassesComponentsMade();
    Boolean CheckOutlookCanLoad();
    Boolean VerifyOutlookStayedClosed();
    void ShowRefusal(Outcome outcome, const Text& title);
    int ShowOutcome();

    RunView& mView;
    Whose mWhose;
    Program mProgram;
    // Declared first, so that it outlives the steps' keys and lock.
    ResetRecord mRecord;
    std::optional<ResetLock> mLock;
    std::optional<State> mState;
};
