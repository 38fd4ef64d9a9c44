#pragma once

#include "common/Boolean.h"
#include "registry/RegFile.h"
#include "reset/ResetLock.h"
#include "run/ResetRecord.h"
#include "scope/RunReport.h"
#include "scope/RunView.h"

#include <optional>
#include <string>

// The administrators' "restore": a reset's backup put back as a reset
// would change the registry, refused while Outlook runs or another copy
// resets, with a backup of its own first, so that a restore is undone as a
// reset is, and every write and deletion in the log.
class RestoreSteps {
public:
    // file: one of the record folder's backups, by its name or its path; none for the newest.
    RestoreSteps(RunView& view, std::optional<std::string> file);

    // Runs the steps and shows how they ended; returns the program's exit code.
    int Run();

private:
    Boolean VerifyOutlookClosed();
    Boolean VerifyNoOtherCopyResets();
    Boolean ChooseBackup();
    Boolean ReadBackup();
    int PutBackTheBackup();
    int Refuse(const RunReport::Line& why, int exitCode, const Text& title);

    RunView& mView;
    std::optional<std::string> mFile;
    ResetRecord mRecord;
    std::optional<ResetLock> mLock;
    std::string mBackup;
    std::optional<RegFile> mParsed;
    int mRefusal = 0;
};
