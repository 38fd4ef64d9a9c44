#include "app/AddinRegistration.h"

#include "app/AppTexts.h"
#include "app/OfficeKeys.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"

namespace {

// Query, set, create subkey, enumerate, notify and create link: all the rewrite needs, nothing more.
constexpr std::uint32_t kRegistrationAccess = 63;
const Text kNotWritten = u"- the add-in's registration could not be written";
const Text kCheckingHkcu = u"Checking HKCU registry keys...";
// Click-to-Run Office keeps a copy of the machine's add-in registrations of
// its own, in the 64-bit view, with the 32-bit view's under Wow6432Node.
const Text kClickToRunMachine = kOfficeKey + u"ClickToRun\\REGISTRY\\MACHINE\\Software\\";
const Text kAddinUnderSoftware = u"Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";

} // namespace

AddinRegistration::AddinRegistration(const Edition& edition, platform::Handle userRoot)
    : mInstalled(edition.installed), mRegistryView(edition.registryView), mUserRoot(userRoot)
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
    mWritten.emplace(platform::kHkeyLocalMachine, mRegistryView);
    return True;
}

// A stale copy with LoadBehavior 2 keeps the add-in out whatever the
// machine's own registration says. Only an existing copy is set right, its
// other values kept; none is ever created.
bool AddinRegistration::EnableClickToRunCopy() const
{
    const std::uint32_t view = mRegistryView == 0 ? 0 : platform::kKeyWow64_64Key;
    const Text path = kClickToRunMachine + (mRegistryView == platform::kKeyWow64_32Key ? u"Wow6432Node\\" : u"") +
                      kAddinUnderSoftware;
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

Boolean AddinRegistration::WriteForUser(const RunView& view, RunReport& report)
{
    view.ShowProgress(kCheckingHkcu);
    if (!Write(mUserRoot, 0)) {
        report.AddProblem(kNotWritten);
        return False;
    }
    mWritten.emplace(mUserRoot, 0);
    return True;
}

Boolean AddinRegistration::EnableUserOverride(const RunView& view, RunReport& report) const
{
    CRegistry user;
    const Long opened = user.OpenExistingKey(kAddinRegistrationKey, mUserRoot, platform::kKeySetValue);
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
    if (!mWritten) {
        return True;
    }
    const auto [root, view] = *mWritten;
    CRegistry registration;
    const bool kept = registration.OpenExistingKey(kAddinRegistrationKey, root, platform::kKeyQueryValue | view) ==
                          platform::kErrorSuccess &&
                      registration.ReadDword("LoadBehavior") == 3U;
    if (kept || Write(root, view)) {
        return True;
    }
    report.AddProblem(kNotWritten);
    return False;
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
