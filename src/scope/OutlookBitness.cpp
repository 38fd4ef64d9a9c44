#include "scope/OutlookBitness.h"

#include "platform/RegistryServices.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/OfficeKeys.h"
#include "scope/PathExpansion.h"

#include <vector>

namespace {

const Text kAppPathsKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE";
const Text kClickToRunKey = kOfficeKey + u"ClickToRun\\Configuration";
// The one version Click-to-Run installs Outlook as.
const Text kClickToRunVersion = u"16.0";

constexpr std::uint32_t kRead64 = platform::kKeyRead | platform::kKeyWow64_64Key;

struct InstalledOutlook {
    // cppcheck-suppress unusedStructMember ; read through the optional that holds it
    Text version;
    std::uint32_t view;
};

std::optional<Bitness> BitnessOfSetting(const Text& setting)
{
    const Text lower = LowerCase(setting);
    if (lower == u"x64") {
        return Bitness::X64;
    }
    if (lower == u"x86") {
        return Bitness::X86;
    }
    return std::nullopt;
}

// "16.0" as 16; 0 for a name that starts with no number.
unsigned MajorVersion(const Text& version)
{
    unsigned major = 0;
    for (std::size_t i = 0; i < version.size() && i < 4 && version[i] >= u'0' && version[i] <= u'9'; ++i) {
        major = major * 10 + static_cast<unsigned>(version[i] - u'0');
    }
    return major;
}

std::optional<Bitness> OfStartedOutlook()
{
    CRegistry appPaths;
    if (appPaths.OpenExistingKey(kAppPathsKey, platform::kHkeyLocalMachine, kRead64) != platform::kErrorSuccess) {
        return std::nullopt;
    }
    // The 64-bit shell expands "%ProgramFiles%" to the 64-bit folder, as this program would not.
    const Text path(Unquoted(PathExpansion::ForBitness(Bitness::X64).Read(appPaths, Text()).value_or(Text())));
    return path.empty() ? std::nullopt : BitnessOfImage(path);
}

// Where Office installs Outlook it names the folder in InstallRoot's Path:
// in the 64-bit view for a 64-bit Office, in the 32-bit one for a 32-bit Office.
std::optional<InstalledOutlook> NewestInstalledOutlook()
{
    std::optional<InstalledOutlook> newest;
    for (const std::uint32_t view : {platform::kKeyWow64_64Key, platform::kKeyWow64_32Key}) {
        CRegistry office;
        if (office.OpenExistingKey(kOfficeKey, platform::kHkeyLocalMachine, platform::kKeyRead | view) !=
            platform::kErrorSuccess) {
            continue;
        }
        std::vector<Text> versions;
        office.SubkeyNames(versions);
        for (const Text& version : versions) {
            CRegistry installRoot;
            const bool installed = installRoot.OpenExistingKey(kOfficeKey + version + u"\\Outlook\\InstallRoot",
                                                               platform::kHkeyLocalMachine,
                                                               platform::kKeyRead | view) == platform::kErrorSuccess &&
                                   !installRoot.GetExpandedString(u"Path", Text()).empty();
            if (installed && (!newest || MajorVersion(version) > MajorVersion(newest->version))) {
                newest = InstalledOutlook{version, view};
            }
        }
    }
    return newest;
}

std::optional<Bitness> OfInstalledOffice()
{
    const auto installed = NewestInstalledOutlook();
    if (!installed) {
        return std::nullopt;
    }
    CRegistry outlook;
    if (outlook.OpenExistingKey(kOfficeKey + installed->version + u"\\Outlook", platform::kHkeyLocalMachine,
                                platform::kKeyRead | installed->view) == platform::kErrorSuccess) {
        if (const auto bitness = BitnessOfSetting(outlook.GetExpandedString(u"Bitness", Text()))) {
            return bitness;
        }
    }
    CRegistry clickToRun;
    if (installed->version != kClickToRunVersion ||
        clickToRun.OpenExistingKey(kClickToRunKey, platform::kHkeyLocalMachine, kRead64) != platform::kErrorSuccess) {
        return std::nullopt;
    }
    return BitnessOfSetting(clickToRun.GetExpandedString(u"Platform", Text()));
}

} // namespace

std::optional<Bitness> OutlookBitness()
{
    if (const auto started = OfStartedOutlook()) {
        return started;
    }
    return OfInstalledOffice();
}
