#include "reset/AddinRegistration.h"

#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/AppTexts.h"
#include "scope/OfficeKeys.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

// Query and set: all the rewrite needs of the key, nothing more (no right to make a link in it).
constexpr std::uint32_t kRegistrationAccess = platform::kKeyQueryValue | platform::kKeySetValue;
const RunReport::Line kNotWritten = {u"- the add-in's registration could not be written", "registrationNotWritten"};
const Text kCheckingHkcu = u"Checking HKCU registry keys...";
// Click-to-Run Office keeps a copy of the machine's add-in registrations of
// its own, in the 64-bit view, with the 32-bit view's under Wow6432Node.
const Text kClickToRunMachine = kOfficeKey + u"ClickToRun\\REGISTRY\\MACHINE\\Software\\";
const Text kAddinUnderSoftware = u"Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";

// A registration's LoadBehavior as a check tells it.
Text LoadBehaviorOf(const std::optional<std::uint32_t>& loadBehavior)
{
    return loadBehavior ? u"LoadBehavior " + TextOfAscii(std::to_string(*loadBehavior)) : Text(u"no LoadBehavior");
}

} // namespace

AddinRegistration::AddinRegistration(const Edition& edition)
    : mInstalled(edition.installed), mRegistryView(edition.registryView)
{
}

Boolean AddinRegistration::WriteForMachine(const RunView& view, RunReport& report)
{
    if (!mInstalled) {
        return True;
    }
    view.ShowProgress(u"Checking HKLM registry keys...");
    if (!EnableClickToRunCopy()) {
        report.AddProblem(kNotWritten);
    }
    if (!Write(platform::kHkeyLocalMachine, mRegistryView)) {
        return False;
    }
    mWritten.emplace_back(platform::kHkeyLocalMachine, mRegistryView);
    return True;
}

Text AddinRegistration::ClickToRunCopy() const
{
    return kClickToRunMachine + (mRegistryView == platform::kKeyWow64_32Key ? u"Wow6432Node\\" : u"") +
           kAddinUnderSoftware;
}

std::uint32_t AddinRegistration::ClickToRunView() const
{
    return mRegistryView == 0 ? 0 : platform::kKeyWow64_64Key;
}

// A stale copy with LoadBehavior 2 keeps the add-in out whatever the
// machine's own registration says. Only an existing copy is set right, its
// other values kept; none is ever created.
bool AddinRegistration::EnableClickToRunCopy() const
{
    const Text path = ClickToRunCopy();
    const std::uint32_t view = ClickToRunView();
    CRegistry copy;
    const Long opened = copy.OpenExistingKey(path, platform::kHkeyLocalMachine,
                                             platform::kKeyQueryValue | platform::kKeySetValue | view);
    if (opened == platform::kErrorFileNotFound) {
        return true;
    }
    if (opened != platform::kErrorSuccess) {
        // Only a copy that is right already needs no writing.
        CRegistry reader;
        return reader.OpenExistingKey(path, platform::kHkeyLocalMachine, platform::kKeyQueryValue | view) ==
                   platform::kErrorSuccess &&
               reader.ReadDword("LoadBehavior").value_or(3) == 3U;
    }
    const auto loadBehavior = copy.ReadDword("LoadBehavior");
    return !loadBehavior || *loadBehavior == 3U || copy.PutLong(u"LoadBehavior", 3) == platform::kErrorSuccess;
}

Boolean AddinRegistration::WriteForUser(platform::Handle userRoot, const RunView& view, RunReport& report)
{
    view.ShowProgress(kCheckingHkcu);
    if (!Write(userRoot, 0)) {
        report.AddProblem(kNotWritten);
        return False;
    }
    mWritten.emplace_back(userRoot, 0);
    return True;
}

Boolean AddinRegistration::ReportNotWritten(RunReport& report)
{
    report.AddProblem(kNotWritten);
    return False;
}

Boolean AddinRegistration::EnableUserOverride(platform::Handle userRoot, const RunView& view, RunReport& report) const
{
    CRegistry user;
    const Long opened = user.OpenExistingKey(kAddinRegistrationKey, userRoot, platform::kKeySetValue);
    bool enabled = opened == platform::kErrorFileNotFound;
    if (opened == platform::kErrorSuccess) {
        view.ShowProgress(kCheckingHkcu);
        enabled = user.PutLong(u"LoadBehavior", 3) == platform::kErrorSuccess;
    }
    if (!enabled) {
        report.AddProblem(kNotWritten);
    }
    return Boolean(enabled);
}

Boolean AddinRegistration::Restore(RunReport& report) const
{
    bool restored = true;
    for (const auto& [root, view] : mWritten) {
        if (!IsEnabled(root, view) && !Write(root, view)) {
            report.AddProblem(kNotWritten);
            restored = false;
        }
    }
    return Boolean(restored);
}

void AddinRegistration::InspectMachine(const std::vector<platform::Handle>& userRoots, RunReport& report) const
{
    if (!mInstalled) {
        return;
    }
    CRegistry machine;
    const Long opened = machine.OpenExistingKey(kAddinRegistrationKey, platform::kHkeyLocalMachine,
                                                platform::kKeyQueryValue | mRegistryView);
    if (opened == platform::kErrorFileNotFound) {
        // Where the machine's could not be written, a reset wrote the user's.
        const bool usersHaveIt = !userRoots.empty() && std::all_of(userRoots.begin(), userRoots.end(),
                                                                   [](auto root) { return IsEnabled(root, 0); });
        if (!usersHaveIt) {
            report.AddProblem({u"- the add-in's registration is missing", "registrationMissing"});
        }
    } else if (opened != platform::kErrorSuccess) {
        report.AddProblem({u"- the add-in's registration could not be read", "registrationUnreadable"});
    } else if (const auto loadBehavior = machine.ReadDword("LoadBehavior"); loadBehavior != 3U) {
        report.AddProblem({.text = u"- the add-in's registration has " + LoadBehaviorOf(loadBehavior),
                           .code = "registrationDisabled",
                           .loadBehavior = loadBehavior});
    }
    CRegistry copy;
    if (copy.OpenExistingKey(ClickToRunCopy(), platform::kHkeyLocalMachine,
                             platform::kKeyQueryValue | ClickToRunView()) == platform::kErrorSuccess) {
        if (const auto loadBehavior = copy.ReadDword("LoadBehavior"); loadBehavior && *loadBehavior != 3U) {
            report.AddProblem(
                {.text = u"- Click-to-Run's copy of the add-in's registration has " + LoadBehaviorOf(loadBehavior),
                 .code = "clickToRunDisabled",
                 .loadBehavior = loadBehavior});
        }
    }
}

void AddinRegistration::InspectUser(platform::Handle userRoot, RunReport& report)
{
    CRegistry user;
    if (user.OpenExistingKey(kAddinRegistrationKey, userRoot, platform::kKeyQueryValue) == platform::kErrorSuccess) {
        if (const auto loadBehavior = user.ReadDword("LoadBehavior"); loadBehavior != 3U) {
            RunReport::Line line = {.text =
                                        u"- a per-user registration gives the add-in " + LoadBehaviorOf(loadBehavior),
                                    .code = "userOverride",
                                    .loadBehavior = loadBehavior};
            report.AddProblem(std::move(line));
        }
    }
}

// Outlook loads an add-in whose key has LoadBehavior 3, whatever its other
// values: its own installer may have written them.
bool AddinRegistration::IsEnabled(platform::Handle root, std::uint32_t view)
{
    CRegistry registry;
    return registry.OpenExistingKey(kAddinRegistrationKey, root, platform::kKeyQueryValue | view) ==
               platform::kErrorSuccess &&
           registry.ReadDword("LoadBehavior") == 3U;
}

bool AddinRegistration::Write(platform::Handle root, std::uint32_t view)
{
    CRegistry registry;
    bool written = registry.OpenKey(kAddinRegistrationKey, root,
                                    static_cast<std::int32_t>(kRegistrationAccess | view)) == platform::kErrorSuccess;
    written = registry.PutLong(u"CommandLineSafe", 0) == platform::kErrorSuccess && written;
    written = registry.PutLong(u"LoadBehavior", 3) == platform::kErrorSuccess && written;
    written = registry.PutString(u"FriendlyName", kAddinName) == platform::kErrorSuccess && written;
    written = registry.PutString(u"Description", kAddinName) == platform::kErrorSuccess && written;
    return written;
}

std::vector<AddinRegistration::Key>
AddinRegistration::KeysRepaired(const std::vector<std::pair<platform::Handle, Text>>& users) const
{
    std::vector<Key> keys;
    if (mInstalled) {
        keys.push_back({platform::kHkeyLocalMachine, kAddinRegistrationKey, mRegistryView, Text()});
        keys.push_back({platform::kHkeyLocalMachine, ClickToRunCopy(), ClickToRunView(), Text()});
    }
    for (const auto& [root, name] : users) {
        keys.push_back({root, kAddinRegistrationKey, 0, name});
    }
    return keys;
}
