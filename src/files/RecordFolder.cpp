#include "files/RecordFolder.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"

namespace {

const std::string kAboveFolder = "\\Kestrin Software";
const std::string kOwnFolder = "\\Add-Ins Reset";
// A folder is opened, to be judged and held, with the least it needs, and
// without letting anyone rename or delete it while it is held.
constexpr std::uint32_t kJudge = platform::kReadControl | platform::kFileReadAttributes;
constexpr std::uint32_t kFolderFlags = platform::kFileFlagBackupSemantics | platform::kFileFlagOpenReparsePoint;

std::string WithoutClosingSeparator(std::string folder)
{
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder;
}

// Vista and later name the folder in the environment, which spares loading
// the shell before a refusal's box; before, only the shell knows it, by a
// name in the system's language.
std::optional<std::string> CommonAppData()
{
    const auto named = platform::Launch().GetEnvironmentVariableA("ProgramData");
    return named && !named->empty() ? named : platform::Desktop().SHGetFolderPathA(platform::kCsidlCommonAppData);
}

bool IsLink(std::uint32_t attributes)
{
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeReparsePoint) != 0;
}

// "20261209-084705", the second a folder is put aside in.
std::string TimeStamp()
{
    const platform::SystemTime time = platform::Kernel().GetLocalTime();
    return PaddedNumber(time.wYear, 4) + PaddedNumber(time.wMonth, 2) + PaddedNumber(time.wDay, 2) + "-" +
           PaddedNumber(time.wHour, 2) + PaddedNumber(time.wMinute, 2) + PaddedNumber(time.wSecond, 2);
}

} // namespace

RecordFolder::RecordFolder(const RunRights& rights) : mRights(rights), mChecked(rights.HasSecurity())
{
}

RecordFolder RecordFolder::ForThisRun(const RunRights& rights)
{
    if (rights.HasSecurity() && !rights.IsAdministrator()) {
        return Temporary(rights);
    }
    RecordFolder folder(rights);
    folder.KeepInCommonFolder();
    return folder;
}

RecordFolder RecordFolder::Temporary(const RunRights& rights)
{
    RecordFolder folder(rights);
    folder.mPath = WithoutClosingSeparator(platform::Kernel().GetTempPathA());
    if (folder.mPath.empty()) {
        folder.Refuse("recordFolderUnavailable", std::string(), u"the user's folder for temporary files is not known");
    }
    return folder;
}

RecordFolder RecordFolder::Existing(const RunRights& rights, const std::string& path)
{
    RecordFolder folder(rights);
    if (!folder.mChecked) {
        folder.mPath = path;
        return folder;
    }
    std::optional<Text> why;
    platform::UniqueFileHandle held = folder.Hold(path, RunRights::kChangeAnything, why);
    if (why) {
        folder.Refuse("recordFolderUnsafe", path, *why);
        return folder;
    }
    folder.mHeld.push_back(std::move(held));
    folder.mPath = path;
    return folder;
}

void RecordFolder::Refuse(std::string code, const std::string& folder, Text why)
{
    mRefused = Refusal{std::move(code), FromAnsi(folder), std::move(why)};
    mPath.clear();
    mHeld.clear();
}

void RecordFolder::KeepInCommonFolder()
{
    const auto common = CommonAppData();
    if (!common || WithoutClosingSeparator(*common).empty()) {
        // The 9x line before Internet Explorer 5 names no such folder.
        mGivesWay = !mChecked;
        Refuse("recordFolderUnavailable", std::string(), u"the common application data folder is not known");
        return;
    }
    const std::string above = WithoutClosingSeparator(*common) + kAboveFolder;
    if (!mChecked) {
        // The 9x line: as the folders are, with %TEMP% where they cannot be written.
        auto& kernel = platform::Kernel();
        kernel.CreateDirectoryA(above, nullptr);
        kernel.CreateDirectoryA(above + kOwnFolder, nullptr);
        mPath = above + kOwnFolder;
        mGivesWay = true;
        return;
    }
    mDescriptor = SecurityDescriptor::ForAdministrators(true, mRights.IsNtAtLeast(5));
    if (Secure(above, RunRights::kReplaceWhatIsInside, false) &&
        Secure(above + kOwnFolder, RunRights::kChangeAnything, true)) {
        mPath = above + kOwnFolder;
    }
}

bool RecordFolder::Make(const std::string& path) const
{
    auto& kernel = platform::Kernel();
    if (kernel.CreateDirectoryA(path, &mDescriptor)) {
        return true;
    }
    // A system that refuses the administrators as its owner makes the run's own token owner it.
    const platform::DescriptorBytes withoutOwner = SecurityDescriptor::ForAdministrators(false, mRights.IsNtAtLeast(5));
    return kernel.GetFileAttributesA(path) == platform::kInvalidFileAttributes &&
           kernel.CreateDirectoryA(path, &withoutOwner);
}

// What decides for a folder above is only what lets one move the record's own folder.
platform::UniqueFileHandle RecordFolder::Hold(const std::string& path, std::uint32_t rights,
                                              std::optional<Text>& why) const
{
    auto& kernel = platform::Kernel();
    platform::UniqueFileHandle held(kernel.CreateFileA(path, kJudge, platform::kFileShareReadWrite,
                                                       platform::kOpenExisting, kFolderFlags, nullptr));
    const std::uint32_t attributes =
        held ? kernel.GetFileInformationByHandle(held.Get()).value_or(platform::FileInformation{}).attributes : 0;
    if (!held || attributes == 0) {
        why = u"it cannot be opened";
        return held;
    }
    // Wine shows a link only by its name.
    if (IsLink(attributes) || IsLink(kernel.GetFileAttributesA(path))) {
        why = u"it is a link";
        return held;
    }
    if ((attributes & platform::kFileAttributeDirectory) == 0) {
        why = u"it is no folder";
        return held;
    }
    const auto bytes = platform::Security().GetKernelObjectSecurity(held.Get(), platform::kOwnerSecurityInformation |
                                                                                    platform::kDaclSecurityInformation);
    const auto descriptor = bytes ? SecurityDescriptor::Parse(*bytes) : std::nullopt;
    why = descriptor ? mRights.Distrust(*descriptor, rights)
                     : std::optional<Text>(u"its owner and access list cannot be read");
    return held;
}

bool RecordFolder::Secure(const std::string& path, std::uint32_t rights, bool mayPutAside)
{
    const bool made = Make(path);
    if (!made && platform::Kernel().GetFileAttributesA(path) == platform::kInvalidFileAttributes) {
        Refuse("recordFolderUnavailable", path, FromAnsi(path) + u" could not be made");
        return false;
    }
    std::optional<Text> why;
    platform::UniqueFileHandle held = Hold(path, rights, why);
    if (why && !made && mayPutAside) {
        held.Reset();
        const std::string aside = path + "-unsafe-" + TimeStamp();
        // cppcheck-suppress knownConditionTrueFalse ; the folder was moved away in between
        if (platform::Kernel().MoveFileA(path, aside) && Make(path)) {
            mNotes.push_back(u"The record's folder " + FromAnsi(path) + u" was put aside as " + FromAnsi(aside) +
                             u": " + *why + u"; this run made it again.");
            why.reset();
            held = Hold(path, rights, why);
        }
    }
    if (why) {
        Refuse("recordFolderUnsafe", path, *why);
        return false;
    }
    mHeld.push_back(std::move(held));
    return true;
}

bool RecordFolder::IsPlainFile(platform::Handle file, const std::string& path) const
{
    const platform::FileInformation information =
        platform::Kernel().GetFileInformationByHandle(file).value_or(platform::FileInformation{});
    return information.links == 1 && !IsLink(information.attributes) &&
           (information.attributes & platform::kFileAttributeDirectory) == 0 &&
           !IsLink(platform::Kernel().GetFileAttributesA(path));
}

platform::UniqueFileHandle RecordFolder::Open(const std::string& name, std::uint32_t access, std::uint32_t share,
                                              std::uint32_t creation) const
{
    if (!Usable()) {
        return platform::UniqueFileHandle();
    }
    const std::string path = PathOf(name);
    const std::uint32_t flags = mChecked ? platform::kFileFlagOpenReparsePoint : 0;
    const std::uint32_t judged = mChecked ? platform::kFileReadAttributes : 0;
    platform::UniqueFileHandle file(platform::Kernel().CreateFileA(path, access | judged, share, creation, flags,
                                                                   mDescriptor.empty() ? nullptr : &mDescriptor));
    if (file && mChecked && !IsPlainFile(file.Get(), path)) {
        file.Reset();
    }
    return file;
}

bool RecordFolder::MayReplace(const std::string& name) const
{
    if (platform::Kernel().GetFileAttributesA(PathOf(name)) == platform::kInvalidFileAttributes) {
        return true;
    }
    return static_cast<bool>(
        Open(name, platform::kFileReadAttributes, platform::kFileShareAll, platform::kOpenExisting));
}

bool RecordFolder::Replace(const std::string& name, const std::string& older) const
{
    auto& kernel = platform::Kernel();
    if (!Usable() || !MayReplace(name) || !MayReplace(older)) {
        return false;
    }
    if (mChecked) {
        return kernel.MoveFileExA(PathOf(name), PathOf(older), platform::kMoveFileReplaceExisting);
    }
    // The 9x line moves no file onto another.
    kernel.DeleteFileA(PathOf(older));
    return kernel.MoveFileA(PathOf(name), PathOf(older));
}

bool RecordFolder::Delete(const std::string& name) const
{
    return Usable() && platform::Kernel().GetFileAttributesA(PathOf(name)) != platform::kInvalidFileAttributes &&
           MayReplace(name) && platform::Kernel().DeleteFileA(PathOf(name));
}

std::vector<std::string> RecordFolder::FileNames(const std::string& mask) const
{
    std::vector<std::string> names;
    if (!Usable()) {
        return names;
    }
    auto& kernel = platform::Kernel();
    platform::Win32FindDataA found{};
    const platform::UniqueFindHandle search(kernel.FindFirstFileA(PathOf(mask), found));
    for (bool more = static_cast<bool>(search); more; more = kernel.FindNextFileA(search.Get(), found)) {
        const std::string name(BeforeFirstNul(std::string_view(found.cFileName, sizeof(found.cFileName))));
        if ((found.dwFileAttributes & (platform::kFileAttributeDirectory | platform::kFileAttributeReparsePoint)) ==
            0) {
            names.push_back(name);
        }
    }
    return names;
}
