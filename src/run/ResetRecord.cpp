#include "run/ResetRecord.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"
#include "scope/AppTexts.h"
#include "scope/ResetScope.h"
#include "scope/WindowsVersion.h"

#include <algorithm>
#include <vector>

namespace {

const std::string kFolderBelowCommonData = "\\Kestrin Software\\Add-Ins Reset";
const std::string kLogName = "\\AddinsReset.log";
const std::string kBackupPrefix = "AddinsReset-";
const std::string kLockName = "KestrinSoftwareAddinsResetLog";
// "AddinsReset-20261209-084741.reg"
constexpr std::size_t kBackupNameLength = 31;

std::string WithoutClosingSeparator(std::string folder)
{
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder;
}

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

bool IsBackupName(const std::string& name)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower.size() >= kBackupNameLength && lower.starts_with("addinsreset-") && lower.ends_with(".reg");
}

// Vista and later name the folder in the environment, which spares loading
// the shell before a refusal's box; before, only the shell knows it, by a
// name in the system's language.
std::optional<std::string> CommonAppData()
{
    const auto named = platform::Launch().GetEnvironmentVariableA("ProgramData");
    return named && !named->empty() ? named : platform::Desktop().SHGetFolderPathA(platform::kCsidlCommonAppData);
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

bool WriteAll(platform::Handle file, const std::string& bytes)
{
    std::uint32_t written = 0;
    return platform::Kernel().WriteFile(file, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                        static_cast<std::uint32_t>(bytes.size()), written) &&
           written == bytes.size();
}

} // namespace

ResetRecord::ResetRecord(std::string program) : mProgram(std::move(program))
{
}

ResetRecord::~ResetRecord()
{
    StopWatching();
}

void ResetRecord::Begin()
{
    auto& kernel = platform::Kernel();
    std::string tried;
    if (const auto common = CommonAppData()) {
        const std::string base = WithoutClosingSeparator(*common);
        kernel.CreateDirectoryA(base + "\\Kestrin Software");
        kernel.CreateDirectoryA(base + kFolderBelowCommonData);
        tried = base + kFolderBelowCommonData;
        OpenLog(tried);
    }
    if (!mLog) {
        const std::string temp = WithoutClosingSeparator(kernel.GetTempPathA());
        if (temp.empty() || !OpenLog(temp)) {
            return;
        }
        if (!tried.empty()) {
            Note(u"The log could not be written in " + FromAnsi(tried) + u"; it is kept here instead.",
                 Severity::Warning);
        }
    }
    const Text account = UserHives::OwnAccount();
    Note(account.empty() ? u"Run on " + WindowsText() + u", which has no accounts"
                         : u"Run as " + account + u", " + ElevationText() + u", on " + WindowsText());
    RegistryJournal::Listener& listener = *this;
    mJournal.emplace(platform::Registry(), listener, kernel.Is64BitWindows());
    platform::Services services = platform::InstalledServices();
    services.registry = &*mJournal;
    mWatching.emplace(services);
}

bool ResetRecord::OpenLog(const std::string& folder)
{
    const WindowsVersion version = WindowsVersion::OfThisComputer();
    const bool nt = version.platformId == platform::kVerPlatformWin32Nt;
    mLog.emplace(folder + kLogName, mProgram, version.IsNtAtLeast(5) ? "Global\\" + kLockName : kLockName, nt);
    if (!mLog->Write(TextOfAscii(mProgram) + u".exe " + kVersion + u" resets Kestrin Software add-ins.",
                     CmTraceLog::Type::Information)) {
        mLog.reset();
        return false;
    }
    mFolder = folder;
    return true;
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
}

void ResetRecord::Before(const std::string& regLines)
{
    if (mBackup) {
        if (!WriteAll(mBackup.Get(), regLines)) {
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
void ResetRecord::StartBackup(const std::string& lines)
{
    auto& kernel = platform::Kernel();
    const std::string stem = mFolder + "\\" + kBackupPrefix + TimeStamp(kernel.GetLocalTime());
    std::string path;
    for (int attempt = 1; attempt <= 9 && !mBackup; ++attempt) {
        path = stem;
        if (attempt > 1) {
            path += '-';
            path += std::to_string(attempt);
        }
        path += ".reg";
        mBackup.Reset(kernel.CreateFileA(path, platform::kGenericWrite, 0, platform::kCreateNew));
    }
    if (!mBackup || !WriteAll(mBackup.Get(), "REGEDIT4\r\n\r\n" + lines)) {
        mBackupFailed = true;
        mBackup.Reset();
        Note(u"The registry could not be saved in " + FromAnsi(mFolder) + u" before the reset changed it",
             Severity::Warning);
        return;
    }
    Note(u"What the reset changes in the registry is saved, as it was, in " + FromAnsi(path) +
         u"; importing it with regedit puts it back");
    WithoutStoppingTheReset([&] { KeepTheLastBackups(); });
}

// Listed by the system's search itself: a list that cannot be made shows
// the user no box, and only the backups found are weighed.
void ResetRecord::KeepTheLastBackups() const
{
    auto& kernel = platform::Kernel();
    std::vector<std::string> backups;
    platform::Win32FindDataA found{};
    const platform::UniqueFindHandle search(kernel.FindFirstFileA(mFolder + "\\" + kBackupPrefix + "*.reg", found));
    for (bool more = static_cast<bool>(search); more; more = kernel.FindNextFileA(search.Get(), found)) {
        const std::string name(BeforeFirstNul(std::string_view(found.cFileName, sizeof(found.cFileName))));
        if ((found.dwFileAttributes & platform::kFileAttributeDirectory) == 0 && IsBackupName(name)) {
            backups.push_back(name);
        }
    }
    std::sort(backups.begin(), backups.end());
    for (std::size_t i = 0; i + kBackupsKept < backups.size(); ++i) {
        platform::Kernel().DeleteFileA(mFolder + "\\" + backups[i]);
    }
}

void ResetRecord::StopWatching()
{
    mWatching.reset();
    mJournal.reset();
}
