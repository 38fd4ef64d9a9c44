#pragma once

#include "common/RuntimeError.h"
#include "common/Text.h"
#include "files/CmTraceLog.h"
#include "files/RecordFolder.h"
#include "platform/Handles.h"
#include "platform/Platform.h"
#include "registry/RegistryJournal.h"
#include "reset/ComponentKeys.h"
#include "run/Outcome.h"
#include "run/ResetEvent.h"
#include "scope/RunLog.h"

#include <optional>
#include <string>

struct ResetScope;

// What every reset leaves on the computer, so that an administrator can
// tell afterwards what it did: AddinsReset.log in the record's folder (see
// RecordFolder), in the format administrators' log viewers read, and,
// before its first change, AddinsReset-YYYYMMDD-HHMMSS.reg beside it, which
// regedit imports to put back every value and key the reset changed, as it
// was. The last ten such files are kept, and the first there is. A record that cannot be written
// never stops a reset; the outcome says why there is none.
class ResetRecord final : public RunLog, private RegistryJournal::Listener {
public:
    static constexpr std::size_t kBackupsKept = 10;

    // program: "AddinsReset" or "AddinsResetCmd", as the log names it; command: what the run is.
    ResetRecord(std::string program, ResetEvent::Command command);
    ResetRecord(const ResetRecord&) = delete;
    ResetRecord& operator=(const ResetRecord&) = delete;
    ~ResetRecord() override;

    // Opens the log with who runs which program on which Windows, and
    // watches every change of the registry from now on.
    void Begin();
    // Which edition the reset works on, and whose settings.
    void Describe(const ResetScope& scope);
    void Note(const Text& line, Severity severity = Severity::Information) override;
    // Before the first change: the keys the reset and its regsvr32 runs may
    // change, saved as they are; after the registering, those the
    // components made, which the import deletes.
    void Save(const std::vector<ComponentKeys::Key>& keys);
    void Made(const std::vector<ComponentKeys::Key>& keys);
    // The backups of the record's folder by name, oldest first; none where the run keeps no record.
    std::vector<std::string> Backups() const;
    // The record's folder, without its closing separator; empty where the run keeps no record.
    std::string Folder() const;
    // One backup's bytes; none where it cannot be read whole.
    std::optional<std::string> ReadBackup(const std::string& name) const;
    // Every line of the outcome and its exit code; the outcome names the log.
    // The Application log gets the run's one event.
    void End(Outcome& outcome);
    // A run that a run-time error stopped: the log's line and the event.
    void Failed(const RuntimeError& error);

private:
    void Before(const Text& regLines) override;
    void After(const Text& line, bool failed) override;
    bool OpenLog();
    void StartBackup(const Text& lines);
    void KeepTheLastBackups(const std::string& own) const;
    void TellWhyThereIsNoLog();
    // The 9x line keeps no event log; an event that cannot be written is a line of the log.
    void Report(std::uint32_t id, std::uint16_t type, const Text& text, const std::string& json);
    void StopWatching();

    std::string mProgram;
    ResetEvent::Command mCommand;
    std::optional<RecordFolder> mFolder;
    std::optional<CmTraceLog> mLog;
    // Why there is no log, where there is none.
    std::optional<RunReport::Line> mMissing;
    platform::UniqueFileHandle mBackup;
    bool mBackupFailed = false;
    RegistryJournal::Format mFormat = RegistryJournal::Format::Regedit5;
    std::optional<RegistryJournal> mJournal;
    std::optional<platform::ScopedServices> mWatching;
};
