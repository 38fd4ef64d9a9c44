#include "run/ResetRecord.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"
#include "run/JsonAnswer.h"
#include "scope/AppTexts.h"
#include "scope/ResetScope.h"
#include "scope/WindowsVersion.h"

#include <algorithm>
#include <vector>

namespace {

const std::string kLogName = "AddinsReset.log";
const std::string kBackupPrefix = "AddinsReset-";
const std::string kLockName = "KestrinSoftwareAddinsResetLog";
// Far beyond any backup a reset writes: a larger file is none of them.
constexpr std::uint64_t kMostBackupBytes = std::uint64_t{16} * 1024 * 1024;

Text Number(std::uint32_t number)
{
    return TextOfAscii(std::to_string(number));
}

// "Windows NT 10.0 build 19045, 64-bit"
Text WindowsText()
{
    platform::OsVersionInfoA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    platform::Kernel().GetVersionExA(info);
    const bool nt = info.dwPlatformId == platform::kVerPlatformWin32Nt;
    // The 9x line keeps its version in the build number's high word.
    const std::uint32_t build = nt ? info.dwBuildNumber : info.dwBuildNumber & 0xFFFF;
    return u"Windows " + Text(nt ? u"NT " : u"") + Number(info.dwMajorVersion) + u"." + Number(info.dwMinorVersion) +
           u" build " + Number(build) + (platform::Kernel().Is64BitWindows() ? u", 64-bit" : u", 32-bit");
}

Text ElevationText()
{
    platform::Handle opened = 0;
    if (!platform::Security().OpenProcessToken(platform::kCurrentProcess, platform::kTokenQuery, opened)) {
        return u"its rights unknown";
    }
    const platform::UniqueTokenHandle token(opened);
    const auto elevated = platform::Security().GetTokenElevation(token.Get());
    return !elevated ? u"no User Account Control on this Windows" : *elevated ? u"elevated" : u"not elevated";
}

std::string TimeStamp(const platform::SystemTime& time)
{
    return PaddedNumber(time.wYear, 4) + PaddedNumber(time.wMonth, 2) + PaddedNumber(time.wDay, 2) + "-" +
           PaddedNumber(time.wHour, 2) + PaddedNumber(time.wMinute, 2) + PaddedNumber(time.wSecond, 2);
}

// Only a name this program gives its backups, "AddinsReset-20261209-084741.reg"
// or the same with "-2" to "-9" before ".reg": anything else in the folder is
// someone else's, an administrator's own copy among them.
bool IsBackupName(const std::string& name)
{
    const std::string stamped = kBackupPrefix + "########-######";
    const std::string rest = name.substr(std::min(name.size(), stamped.size()));
    const bool numbered = rest.size() == 6 && rest[0] == '-' && rest[1] >= '2' && rest[1] <= '9';
    if (rest != ".reg" && !(numbered && rest.ends_with(".reg"))) {
        return false;
    }
    for (std::size_t i = 0; i < stamped.size(); ++i) {
        if (stamped[i] == '#' ? name[i] < '0' || name[i] > '9' : name[i] != stamped[i]) {
            return false;
        }
    }
    return true;
}

std::string CommandName(ResetEvent::Command command)
{
    return command == ResetEvent::Command::Reset ? "reset" : "restore";
}

CmTraceLog::Type TypeOf(RunLog::Severity severity)
{
    return severity == RunLog::Severity::Error     ? CmTraceLog::Type::Error
           : severity == RunLog::Severity::Warning ? CmTraceLog::Type::Warning
                                                   : CmTraceLog::Type::Information;
}

// A record that cannot be written never stops a reset: a run-time error of its own ends only the record's step.
template <typename Step>
void WithoutStoppingTheReset(Step step) noexcept
{
    try {
        step();
    } catch (...) {
        // The reset goes on; what the record lacks is all that is lost.
    }
}

// The lines of the backup as its form holds them: UTF-16, little-endian, or the code page.
std::string BytesOf(RegistryJournal::Format format, const Text& lines)
{
    if (format == RegistryJournal::Format::Regedit4) {
        return ToAnsi(lines);
    }
    const std::vector<std::uint8_t> bytes = Utf16LeBytes(lines);
    return {bytes.begin(), bytes.end()};
}

bool WriteAll(platform::Handle file, const std::string& bytes)
{
    std::uint32_t written = 0;
    return platform::Kernel().WriteFile(file, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                        static_cast<std::uint32_t>(bytes.size()), written) &&
           written == bytes.size();
}

} // namespace

ResetRecord::ResetRecord(std::string program, ResetEvent::Command command)
    : mProgram(std::move(program)), mCommand(command)
{
}

ResetRecord::~ResetRecord()
{
    StopWatching();
}

void ResetRecord::Begin()
{
    auto& kernel = platform::Kernel();
    const RunRights rights = RunRights::OfThisProcess();
    mFolder.emplace(RecordFolder::ForThisRun(rights));
    std::optional<std::string> gaveWay;
    if (!OpenLog() && mFolder->GivesWayToTemporary()) {
        if (mFolder->Usable()) {
            gaveWay = mFolder->Path();
        }
        mFolder.emplace(RecordFolder::Temporary(rights));
        OpenLog();
    }
    if (!mLog) {
        TellWhyThereIsNoLog();
        return;
    }
    if (gaveWay) {
        Note(u"The log could not be written in " + FromAnsi(*gaveWay) + u"; it is kept here instead.",
             Severity::Warning);
    }
    for (const Text& note : mFolder->Notes()) {
        Note(note, Severity::Warning);
    }
    const Text account = UserHives::OwnAccount();
    Note(account.empty() ? u"Run on " + WindowsText() + u", which has no accounts"
                         : u"Run as " + account + u", " + ElevationText() + u", on " + WindowsText());
    RegistryJournal::Listener& listener = *this;
    mFormat = rights.HasSecurity() ? RegistryJournal::Format::Regedit5 : RegistryJournal::Format::Regedit4;
    mJournal.emplace(platform::Registry(), listener, kernel.Is64BitWindows(), mFormat);
    platform::Services services = platform::InstalledServices();
    services.registry = &*mJournal;
    mWatching.emplace(services);
}

bool ResetRecord::OpenLog()
{
    mLog.reset();
    if (!mFolder->Usable()) {
        return false;
    }
    mLog.emplace(*mFolder, kLogName, mProgram, kLockName, mFolder->Rights().HasSecurity());
    if (!mLog->Write(TextOfAscii(mProgram) + u".exe " + kVersion + u" resets Kestrin Software add-ins.",
                     CmTraceLog::Type::Information)) {
        mLog.reset();
        return false;
    }
    return true;
}

// Once, in the outcome: a run without a record is told why, and by a code a script reads.
void ResetRecord::TellWhyThereIsNoLog()
{
    if (const auto& refused = mFolder->Refused()) {
        const Text text = refused->code == "recordFolderUnsafe"
                              ? u"No log was kept: " + refused->folder + u" is not safe for it, as " + refused->why
                              : u"No log was kept: " + refused->why;
        mMissing = RunReport::Line{.text = text + u".", .code = refused->code, .file = refused->folder};
        return;
    }
    const Text folder = FromAnsi(mFolder->Path());
    mMissing = RunReport::Line{.text = u"No log was kept: it could not be written in " + folder + u".",
                               .code = "recordNotWritten",
                               .file = folder};
}

void ResetRecord::Describe(const ResetScope& scope)
{
    Note(u"The " + Text(scope.edition.bitness == Bitness::X64 ? u"x64" : u"x86") + u" edition, in " +
         scope.edition.folder);
    Text whose;
    for (const auto& user : scope.users.Users()) {
        whose += (whose.empty() ? u"" : u", ") + (user.account.empty() ? Text(u"the only user") : user.account);
    }
    Note(whose.empty() ? Text(u"No user is signed in: only this computer's settings are repaired.")
                       : u"The settings of " + whose);
}

void ResetRecord::Save(const std::vector<ComponentKeys::Key>& keys)
{
    if (mJournal) {
        WithoutStoppingTheReset([&] {
            for (const auto& key : keys) {
                mJournal->Save(key.root, key.path, key.view);
            }
        });
    }
}

void ResetRecord::Made(const std::vector<ComponentKeys::Key>& keys)
{
    if (mJournal) {
        WithoutStoppingTheReset([&] {
            for (const auto& key : keys) {
                mJournal->Made(key.root, key.path, key.view);
            }
        });
    }
}

void ResetRecord::Note(const Text& line, Severity severity)
{
    if (mLog) {
        WithoutStoppingTheReset([&] { mLog->Write(line, TypeOf(severity)); });
    }
}

void ResetRecord::End(Outcome& outcome)
{
    StopWatching();
    mBackup.Reset();
    const auto severity = outcome.exitCode == kExitSuccess ? Severity::Information : Severity::Warning;
    for (const auto& line : outcome.lines) {
        if (!line.text.empty()) {
            Note(line.text, severity);
        }
    }
    Note(u"Exit code " + Number(static_cast<std::uint32_t>(outcome.exitCode)), severity);
    if (mLog) {
        outcome.log = FromAnsi(mLog->Path());
    }
    outcome.noLog = mMissing;
    if (const auto id = ResetEvent::IdOf(mCommand, outcome.exitCode)) {
        Report(*id, ResetEvent::TypeOf(mCommand, outcome.exitCode), outcome.box,
               JsonAnswer::Of(CommandName(mCommand), outcome));
    }
}

void ResetRecord::Failed(const RuntimeError& error)
{
    const Text line =
        u"Run-time error '" + Number(static_cast<std::uint32_t>(error.Number())) + u"': " + error.Description();
    Note(line, Severity::Error);
    Report(ResetEvent::kRunTimeError, platform::kEventlogErrorType, line,
           JsonAnswer::OfRunTimeError(CommandName(mCommand), error.ExitCode(), error.Description()));
}

void ResetRecord::Report(std::uint32_t id, std::uint16_t type, const Text& text, const std::string& json)
{
    WithoutStoppingTheReset([&] {
        if (!WindowsVersion::OfThisComputer().IsNtAtLeast(3)) {
            Note(u"This Windows keeps no event log: the run wrote no event");
            return;
        }
        if (const auto why = ResetEvent::Write(id, type, text, json)) {
            Note(*why, Severity::Warning);
        }
    });
}

void ResetRecord::Before(const Text& regLines)
{
    if (mBackup) {
        if (!WriteAll(mBackup.Get(), BytesOf(mFormat, regLines))) {
            Note(u"The registry's backup could not be written to its end", Severity::Warning);
        }
    } else if (!mBackupFailed) {
        StartBackup(regLines);
    }
}

void ResetRecord::After(const Text& line, bool failed)
{
    Note(line, failed ? Severity::Warning : Severity::Information);
}

// Named by the second it starts in; another reset in the same second gets a number of its own.
void ResetRecord::StartBackup(const Text& lines)
{
    const std::string stem = kBackupPrefix + TimeStamp(platform::Kernel().GetLocalTime());
    std::string name;
    for (int attempt = 1; attempt <= 9 && !mBackup; ++attempt) {
        name = stem;
        if (attempt > 1) {
            name += '-';
            name += std::to_string(attempt);
        }
        name += ".reg";
        mBackup = mFolder->Open(name, platform::kGenericWrite, 0, platform::kCreateNew);
    }
    // The form the NT line's regedit writes itself, which holds every text exactly; its byte-order mark first.
    const std::string head = mFormat == RegistryJournal::Format::Regedit4
                                 ? std::string("REGEDIT4\r\n\r\n")
                                 : "\xFF\xFE" + BytesOf(mFormat, u"Windows Registry Editor Version 5.00\r\n\r\n");
    if (!mBackup || !WriteAll(mBackup.Get(), head + BytesOf(mFormat, lines))) {
        mBackupFailed = true;
        mBackup.Reset();
        Note(u"The registry could not be saved in " + FromAnsi(mFolder->Path()) + u" before the reset changed it",
             Severity::Warning);
        return;
    }
    Note(u"What the reset changes in the registry is saved, as it was, in " + FromAnsi(mFolder->Path()) + u"\\" +
         FromAnsi(name) + u"; importing it with regedit puts it back");
    WithoutStoppingTheReset([&] { KeepTheLastBackups(name); });
}

// Listed by the system's search itself: a list that cannot be made shows
// the user no box, and only the backups found are weighed; the run's own
// is never one of those that go, nor the first there is, which holds the
// state before the tool first changed the computer.
void ResetRecord::KeepTheLastBackups(const std::string& own) const
{
    const std::vector<std::string> backups = Backups();
    for (std::size_t i = 1; i + kBackupsKept < backups.size(); ++i) {
        if (backups[i] != own) {
            mFolder->Delete(backups[i]);
        }
    }
}

std::vector<std::string> ResetRecord::Backups() const
{
    if (!mFolder || !mFolder->Usable()) {
        return {};
    }
    std::vector<std::string> backups = mFolder->FileNames(kBackupPrefix + "*.reg");
    std::erase_if(backups, [](const std::string& name) { return !IsBackupName(name); });
    // The second's first backup has no number: "-2" comes after it, though '-' sorts before '.'.
    const auto order = [](const std::string& name) {
        const std::size_t stamp = kBackupPrefix.size() + 15;
        return name.substr(0, stamp) + (name[stamp] == '-' ? name[stamp + 1] : '1');
    };
    std::sort(backups.begin(), backups.end(),
              [&](const std::string& a, const std::string& b) { return order(a) < order(b); });
    return backups;
}

std::string ResetRecord::Folder() const
{
    return mFolder && mFolder->Usable() ? mFolder->Path() : std::string();
}

std::optional<std::string> ResetRecord::ReadBackup(const std::string& name) const
{
    if (!mFolder || !mFolder->Usable() || !IsBackupName(name)) {
        return std::nullopt;
    }
    const platform::UniqueFileHandle file =
        mFolder->Open(name, platform::kGenericRead, platform::kFileShareRead, platform::kOpenExisting);
    auto& kernel = platform::Kernel();
    const auto size = file ? kernel.GetFileSize(file.Get()) : std::nullopt;
    if (!size || *size > kMostBackupBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(*size), '\0');
    std::uint32_t read = 0;
    if (!bytes.empty() && (!kernel.ReadFile(file.Get(), reinterpret_cast<std::uint8_t*>(bytes.data()),
                                            static_cast<std::uint32_t>(bytes.size()), read) ||
                           read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

void ResetRecord::StopWatching()
{
    mWatching.reset();
    mJournal.reset();
}
