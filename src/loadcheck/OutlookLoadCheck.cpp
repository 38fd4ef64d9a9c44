#include "loadcheck/OutlookLoadCheck.h"

#include "files/PlainFile.h"
#include "loadcheck/AddinClass.h"
#include "loadcheck/DependencyWalk.h"
#include "pe/PeImage.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/OfficeKeys.h"
#include "scope/WindowsVersion.h"

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace {

const Text kPreferencesKey = kOfficeKey + u"16.0\\Outlook\\Preferences";

using Line = RunReport::Line;

const Line kBlockedByPolicy = {u"- your organization's policy keeps the add-in disabled; please ask your administrator",
                               "policy"};
const Line kNewOutlook = {
    u"- Outlook is set to use the new Outlook, which cannot load this add-in; switch the new Outlook off to use it",
    "newOutlook"};
const Line kOutlook64 = {u"- Outlook is 64-bit and cannot load this 32-bit add-in", "outlookBitness"};
const Line kOutlook32 = {u"- Outlook is 32-bit and cannot load this 64-bit add-in", "outlookBitness"};
const Line kNo64BitEdition = {u"- Outlook is 64-bit, and the add-in's 64-bit edition is not installed",
                              "editionMissing"};
const Line kClassNotRegistered = {u"- the add-in's component KestrinSoftware.Connect is not registered",
                                  "classNotRegistered"};
const Line kOldUserRegistration = {u"- an old registration of the add-in for this user could not be removed",
                                   "userClassNotRemoved"};
const Line kUserRegistrationOutweighs = {
    u"- an old registration of the add-in for this user outweighs the computer's; a reset removes it", "userClass"};
const Line kTrustCenter = {
    u"- Outlook's Trust Center blocks add-ins that are not signed by a trusted publisher; please "
    u"ask your administrator",
    "trustCenterUnsigned"};
const Line kTrustCenterAll = {u"- Outlook's Trust Center disables all add-ins; please ask your administrator",
                              "trustCenterAll"};
// Where Outlook reads its Trust Center settings, the first found winning.
const std::array<Text, 3> kSecurityKeys = {kOfficePolicyKeys[0], kOfficePolicyKeys[1], kOfficeKey};

// A REG_DWORD under that name, in a key that exists.
std::optional<std::uint32_t> DwordOf(platform::Handle root, const Text& keyName, const std::string& valueName)
{
    CRegistry key;
    if (key.OpenExistingKey(keyName, root, platform::kKeyRead) != platform::kErrorSuccess) {
        return std::nullopt;
    }
    return key.ReadDword(valueName);
}

bool IsSetToOne(platform::Handle root, const Text& keyName, const std::string& valueName)
{
    return DwordOf(root, keyName, valueName) == 1U;
}

// A path from a user's hive reaches the file system only as a path on a
// local disk ("C:\..."): a network path, or a drive that is no local disk,
// would have the file system connect to a host under the tool's account.
bool IsMissingLocalFile(const Text& path)
{
    const bool local = path.size() > 3 &&
                       ((path[0] >= u'a' && path[0] <= u'z') || (path[0] >= u'A' && path[0] <= u'Z')) &&
                       path[1] == u':' && (path[2] == u'\\' || path[2] == u'/');
    return local && platform::Kernel().GetDriveTypeA(ToAnsi(path.substr(0, 2)) + "\\") == platform::kDriveFixed &&
           !IsPlainFile(path);
}

} // namespace

OutlookLoadCheck::OutlookLoadCheck(const Edition& edition, const AddinFolder& folder, bool mayChange)
    : mEdition(edition), mFolder(folder), mMayChange(mayChange),
      mLibrary(edition.installed ? ReadImage(folder.MainLibrary()) : std::vector<std::uint8_t>())
{
}

Boolean OutlookLoadCheck::Check(const RunView& view, ResetScope& scope) const
{
    bool loads = CheckLibraries(view, scope.report);
    const bool registers = MainLibraryRegisters(loads);
    const Boolean usersLoad =
        scope.ForEachUser([&](platform::Handle root) { return Boolean(CheckUser(root, registers, scope.report)); });
    loads = static_cast<bool>(usersLoad) && loads;
    if (scope.users.Users().empty()) {
        loads = CheckUser(std::nullopt, registers, scope.report) && loads;
    }
    return Boolean(CheckBitness(scope.report) && loads);
}

bool OutlookLoadCheck::CheckLibraries(const RunView& view, RunReport& report) const
{
    view.ShowProgress(u"Checking whether Outlook can load the add-in...");
    bool loads = true;
    for (const std::string& name :
         DependencyWalk(mEdition).MissingLibraries(mLibrary).value_or(std::vector<std::string>())) {
        RunReport::Line line = {.text = u"- the add-in needs " + FromAnsi(name) + u", which is not on this computer",
                                .code = "libraryMissing",
                                .file = FromAnsi(name)};
        report.AddBlocker(std::move(line), RunReport::Cause::LibraryMissing);
        loads = false;
    }
    return loads;
}

// What regsvr32 needs of the library can be read from its headers alone;
// what its DllRegisterServer then does cannot. A library that cannot be
// read may yet register.
bool OutlookLoadCheck::MainLibraryRegisters(bool librariesFound) const
{
    const std::uint16_t machine = mEdition.bitness == Bitness::X64 ? kMachineAmd64 : kMachineI386;
    return librariesFound && MachineOfImage(mLibrary).value_or(machine) == machine &&
           ExportsFunction(mLibrary, "DllRegisterServer") != false;
}

bool OutlookLoadCheck::CheckUser(std::optional<platform::Handle> userRoot, bool registers, RunReport& report) const
{
    bool loads = true;
    if (auto problem = ClassProblem(userRoot, registers)) {
        report.AddProblem(std::move(problem->first), problem->second);
        loads = false;
    }
    if (!userRoot) {
        return loads;
    }
    if (const auto line = mEdition.installed ? TrustCenterLine(*userRoot, IsSigned(mLibrary)) : std::nullopt) {
        report.AddBlocker(*line);
        loads = false;
    }
    if (IsBlockedByPolicy(*userRoot)) {
        report.AddBlocker(kBlockedByPolicy);
        loads = false;
    }
    if (IsSetToOne(*userRoot, kPreferencesKey, "UseNewOutlook")) {
        report.AddBlocker(kNewOutlook);
        loads = false;
    }
    return loads;
}

bool OutlookLoadCheck::CheckBitness(RunReport& report) const
{
    if (auto line = BitnessLine()) {
        report.AddBlocker(std::move(*line));
        return false;
    }
    return true;
}

// The class KestrinSoftware.Connect, as the user's Outlook sees it, must
// lead to the edition's own KROutlook.dll, which must exist: a class left
// leading to a backup copy or an old folder loads that instead. The user's
// own keys of the add-in outweigh the machine's; they go where the machine's
// class leads to the library, or where they lead to a file no longer there.
// An edition that is not installed has its own line. Without a user, the
// machine's class alone.
std::optional<std::pair<RunReport::Line, RunReport::Cause>>
OutlookLoadCheck::ClassProblem(std::optional<platform::Handle> userRoot, bool registers) const
{
    using Cause = RunReport::Cause;
    if (!mEdition.installed) {
        return std::nullopt;
    }
    const platform::Handle root = userRoot.value_or(platform::kHkeyCurrentUser);
    const AddinClass addinClass(root, mEdition.registryView, PathExpansion::ForBitness(mEdition.bitness).ForUser(root),
                                userRoot && WindowsVersion::OfThisComputer().IsNtAtLeast(5));
    auto server = addinClass.Read();
    if (!LeadsToLibrary(server)) {
        const AddinClass::UserKeys userKeys = addinClass.ReadUserKeys();
        const bool leadsToFileGone =
            server && server->serverOfUser && server->expanded && IsMissingLocalFile(server->path);
        if (userKeys.Any() && (leadsToFileGone || LeadsToLibrary(addinClass.ReadMachine()))) {
            if (!mMayChange) {
                return std::pair(kUserRegistrationOutweighs, Cause::Other);
            }
            if (!addinClass.RemoveUserKeys(userKeys)) {
                return std::pair(kOldUserRegistration, Cause::Other);
            }
            server = addinClass.Read();
        }
    }
    // The tool's own path, not the one read: a path from a user's hive never reaches the file system.
    const bool libraryThere = IsPlainFile(mFolder.MainLibrary());
    // A check: no reset registers a library that is not there, or that regsvr32 cannot register.
    const bool resetRegisters = mMayChange || (libraryThere && registers);
    const Cause notRegistered = resetRegisters ? Cause::ClassNotRegistered : Cause::NoResetHelps;
    if (!server) {
        return std::pair(kClassNotRegistered, notRegistered);
    }
    if (!mFolder.IsMainLibrary(server->path)) {
        return std::pair(Line{.text = u"- the add-in's component KestrinSoftware.Connect leads to " + server->path +
                                      u", not to the add-in's own library",
                              .code = "classLeadsElsewhere",
                              .file = server->path},
                         resetRegisters ? Cause::Other : Cause::NoResetHelps);
    }
    return libraryThere ? std::nullopt : std::optional(std::pair(kClassNotRegistered, notRegistered));
}

bool OutlookLoadCheck::LeadsToLibrary(const std::optional<AddinClass::Server>& server) const
{
    return server && mFolder.IsMainLibrary(server->path);
}

// "Apply macro security settings to installed add-ins" with level 4
// disables every add-in, signed or not; with level 3 each that no trusted
// publisher signed. Whether Outlook trusts a signature's publisher only
// Outlook knows: a signed library passes level 3 here. Each Office version
// is judged on its own.
std::optional<RunReport::Line> OutlookLoadCheck::TrustCenterLine(platform::Handle userRoot,
                                                                 std::optional<bool> librarySigned) const
{
    std::set<Text> versions;
    for (const Text& base : kSecurityKeys) {
        CRegistry office;
        std::vector<Text> names;
        if (office.OpenExistingKey(base, userRoot, platform::kKeyRead) == platform::kErrorSuccess) {
            office.SubkeyNames(names);
        }
        versions.insert(names.begin(), names.end());
    }
    const auto firstFound = [&](const Text& version, const std::string& name) {
        std::optional<std::uint32_t> value;
        for (std::size_t place = 0; !value && place < kSecurityKeys.size(); ++place) {
            value = DwordOf(userRoot, kSecurityKeys.at(place) + version + u"\\Outlook\\Security", name);
        }
        return value;
    };
    std::optional<Line> line;
    for (const Text& version : versions) {
        if (firstFound(version, "DontTrustInstalledFiles") != 1U) {
            continue;
        }
        const auto level = firstFound(version, "Level");
        if (level == 4U) {
            return kTrustCenterAll;
        }
        if (level == 3U && !librarySigned.value_or(true)) {
            line = kTrustCenter;
        }
    }
    return line;
}

bool OutlookLoadCheck::IsBlockedByPolicy(platform::Handle userRoot) const
{
    for (const Text& policies : kOfficePolicyKeys) {
        CRegistry office;
        if (office.OpenExistingKey(policies, userRoot, platform::kKeyRead) != platform::kErrorSuccess) {
            continue;
        }
        std::vector<Text> versions;
        office.SubkeyNames(versions);
        if (std::any_of(versions.begin(), versions.end(), [&](const Text& version) {
                return IsBlockedByPolicyIn(userRoot, policies + version + u"\\Outlook\\Resiliency");
            })) {
            return true;
        }
    }
    return false;
}

// Outlook matches the add-in's name in AddinList with its case: "0" keeps it
// disabled, "1" and "2" let it load where restricttolist allows only those listed.
bool OutlookLoadCheck::IsBlockedByPolicyIn(platform::Handle userRoot, const Text& resiliencyKey) const
{
    bool disabled = false;
    bool listed = false;
    CRegistry list;
    if (list.OpenExistingKey(resiliencyKey + u"\\AddinList", userRoot, platform::kKeyRead) == platform::kErrorSuccess) {
        CRegistry::RawValue value;
        for (Long index = 0; list.ReadValue(index, value) == platform::kErrorSuccess; ++index) {
            if (value.ansiName != AsciiOf(kProgId) || value.type != platform::kRegSz) {
                continue;
            }
            const std::string setting(
                BeforeFirstNul(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size())));
            disabled = disabled || setting == "0";
            listed = listed || setting == "1" || setting == "2";
        }
    }
    return disabled || (!listed && IsSetToOne(userRoot, resiliencyKey, "restricttolist"));
}

// Outlook loads only a library of its own bitness.
std::optional<RunReport::Line> OutlookLoadCheck::BitnessLine() const
{
    if (!mEdition.outlook) {
        return std::nullopt;
    }
    if (!mEdition.installed) {
        return kNo64BitEdition;
    }
    const auto library = BitnessOfImage(mFolder.MainLibrary());
    if (!library || *library == *mEdition.outlook) {
        return std::nullopt;
    }
    return *mEdition.outlook == Bitness::X64 ? kOutlook64 : kOutlook32;
}
