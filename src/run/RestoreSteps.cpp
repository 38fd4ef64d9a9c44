#include "run/RestoreSteps.h"

#include "common/RuntimeError.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "process/CProcessList.h"
#include "reset/BackupRestore.h"
#include "run/Outcome.h"
#include "scope/AppTexts.h"

#include <algorithm>

namespace {

// File names compare without case, as Windows compares them.
bool SameName(const std::string& a, const std::string& b)
{
    return LowerCase(FromAnsi(a)) == LowerCase(FromAnsi(b));
}

} // namespace

RestoreSteps::RestoreSteps(RunView& view, std::optional<std::string> file)
    : mView(view), mFile(std::move(file)), mRecord("AddinsResetCmd", ResetEvent::Command::Restore)
{
}

int RestoreSteps::Run()
try {
    mRecord.Begin();
    mRecord.Note(u"A restore of a reset's backup");
    if (!VerifyOutlookClosed()) {
        return kExitOutlookRuns;
    }
    if (!VerifyNoOtherCopyResets()) {
        return kExitAnotherCopy;
    }
    if (!ChooseBackup() || !ReadBackup()) {
        return mRefusal;
    }
    return PutBackTheBackup();
} catch (...) {
    mRecord.Failed(RuntimeError::OfCaughtException());
    throw;
}

Boolean RestoreSteps::VerifyOutlookClosed()
{
    CProcessList processes;
    if (processes.IsProcessRunning(kOutlookExe)) {
        Refuse(kOutlookWarning, kExitOutlookRuns, kOutlookWarningTitle);
        return False;
    }
    return True;
}

Boolean RestoreSteps::VerifyNoOtherCopyResets()
{
    mLock = ResetLock::Take();
    if (!mLock) {
        Refuse(kAnotherCopy, kExitAnotherCopy, kTitle);
        return False;
    }
    return True;
}

// Only a backup the record's own folder holds, by the name a reset gives
// it: any other file may be anyone's, and would write what she chose.
Boolean RestoreSteps::ChooseBackup()
{
    const std::vector<std::string> backups = mRecord.Backups();
    const std::string folder = mRecord.Folder();
    if (!mFile) {
        if (backups.empty()) {
            Refuse({.text = u"No reset's backup was found in " +
                            (folder.empty() ? Text(u"the record's folder") : FromAnsi(folder)) + u".",
                    .code = "noBackup",
                    .file = FromAnsi(folder)},
                   kExitNotFullyReset, kTitle);
            return False;
        }
        mBackup = backups.back();
        return True;
    }
    const auto separator = mFile->find_last_of("\\/");
    const std::string name = separator == std::string::npos ? *mFile : mFile->substr(separator + 1);
    const bool inFolder =
        separator == std::string::npos || (!folder.empty() && SameName(mFile->substr(0, separator), folder));
    const auto found =
        std::find_if(backups.begin(), backups.end(), [&](const std::string& backup) { return SameName(backup, name); });
    if (!inFolder || found == backups.end()) {
        Refuse({.text = u"- " + FromAnsi(*mFile) + u" is none of the backups in " +
                        (folder.empty() ? Text(u"the record's folder") : FromAnsi(folder)) + u"; nothing was changed.",
                .code = "notABackup",
                .file = FromAnsi(*mFile)},
               kExitNotABackup, kTitle);
        return False;
    }
    mBackup = *found;
    return True;
}

// A file that does not parse is refused whole: half of a backup would leave the keys half put back.
Boolean RestoreSteps::ReadBackup()
{
    const Text path = FromAnsi(mRecord.Folder() + "\\" + mBackup);
    const auto bytes = mRecord.ReadBackup(mBackup);
    std::size_t badLine = 0;
    if (bytes) {
        mParsed = RegFile::Parse(RegFile::TextOf(*bytes), badLine);
    }
    if (!mParsed) {
        const Text where = bytes ? u" (line " + TextOfAscii(std::to_string(badLine)) + u")" : Text();
        Refuse({.text = u"- " + path + u" is no backup a reset wrote" + where + u"; nothing was changed.",
                .code = "backupUnreadable",
                .file = path},
               kExitBackupUnreadable, kTitle);
        return False;
    }
    mRecord.Note(u"Restores " + path);
    return True;
}

int RestoreSteps::PutBackTheBackup()
{
    RunReport report;
    BackupRestore restore(std::move(*mParsed), platform::Kernel().Is64BitWindows());
    mView.BeginChanges();
    mRecord.Save(restore.Keys());
    restore.PutBack(mRecord, report);
    mView.EndChanges();
    mLock.reset();
    Outcome outcome = RestoreOutcomeOf(report, FromAnsi(mBackup), restore.KeysPutBack());
    mRecord.End(outcome);
    mView.ShowOutcome(outcome, kTitle);
    return outcome.exitCode;
}

int RestoreSteps::Refuse(const RunReport::Line& why, int exitCode, const Text& title)
{
    Outcome outcome = RefusalOf(why, exitCode);
    mRecord.End(outcome);
    mView.ShowRefusal(outcome, title);
    mRefusal = exitCode;
    return exitCode;
}
