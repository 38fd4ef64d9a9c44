#include "app/OutlookLoadCheck.h"

#include "app/OfficeKeys.h"
#include "app/PlainFile.h"
#include "common/LittleEndian.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

namespace {

const Text kProgIdClsidKey = u"KestrinSoftware.Connect\\CLSID";
const std::string kProgId = "KestrinSoftware.Connect";
const Text kPreferencesKey = kOfficeKey + u"16.0\\Outlook\\Preferences";
const std::array<Text, 2> kPolicyKeys = {u"Software\\Policies\\Microsoft\\Office\\",
                                         u"Software\\Policies\\Microsoft\\Cloud\\Office\\"};

const Text kBlockedByPolicy = u"- your organization's policy keeps the add-in disabled; please ask your administrator";
const Text kNewOutlook =
    u"- Outlook is set to use the new Outlook, which cannot load this add-in; switch the new Outlook off to use it";
const Text kOutlook64 = u"- Outlook is 64-bit and cannot load this 32-bit add-in";
const Text kOutlook32 = u"- Outlook is 32-bit and cannot load this 64-bit add-in";
const Text kNo64BitEdition = u"- Outlook is 64-bit, and the add-in's 64-bit edition is not installed";
const Text kClassNotRegistered = u"- the add-in's component KestrinSoftware.Connect is not registered";

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": anything else, a path included,
// must not become part of a key name.
bool IsGuidText(const Text& text)
{
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') {
        return false;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const char16_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (dash ? c != u'-' : !hex) {
            return false;
        }
    }
    return true;
}

bool IsDwordOne(const CRegistry::RawValue& value)
{
    return value.type == platform::kRegDword && value.data.size() == 4 && LittleEndian32(value.data, 0) == 1;
}

// A REG_DWORD of 1 under that name, in a key that exists.
bool IsSetToOne(platform::Handle root, const Text& keyName, const std::string& valueName)
{
    CRegistry key;
    CRegistry::RawValue value;
    return key.OpenExistingKey(keyName, root, platform::kKeyRead) == platform::kErrorSuccess &&
           key.ReadNamedValue(valueName, value) == platform::kErrorSuccess && IsDwordOne(value);
}

} // namespace

OutlookLoadCheck::OutlookLoadCheck(platform::Handle userRoot, const Edition& edition, const AddinFolder& folder)
    : mUserRoot(userRoot), mEdition(edition), mFolder(folder)
{
}

Boolean OutlookLoadCheck::Check(const RunView& view, RunReport& report) const
{
    view.ShowProgress(u"Checking whether Outlook can load the add-in...");
    bool loads = true;
    if (auto problem = ClassProblem()) {
        report.AddProblem(std::move(*problem));
        loads = false;
    }
    if (IsBlockedByPolicy()) {
        report.AddBlocker(kBlockedByPolicy);
        loads = false;
    }
    if (UsesNewOutlook()) {
        report.AddBlocker(kNewOutlook);
        loads = false;
    }
    if (auto line = BitnessLine()) {
        report.AddBlocker(std::move(*line));
        loads = false;
    }
    return Boolean(loads);
}

// The class KestrinSoftware.Connect, in the edition's view, must lead through
// its CLSID to the edition's own KROutlook.dll, which must exist: a class left
// leading to a backup copy or an old folder loads that instead. An edition
// that is not installed has its own line.
std::optional<Text> OutlookLoadCheck::ClassProblem() const
{
    if (!mEdition.installed) {
        return std::nullopt;
    }
    const std::uint32_t read = platform::kKeyRead | mEdition.registryView;
    CRegistry progId;
    if (progId.OpenExistingKey(kProgIdClsidKey, platform::kHkeyClassesRoot, read) != platform::kErrorSuccess) {
        return kClassNotRegistered;
    }
    const Text clsid = progId.GetExpandedString(Text(), Text());
    CRegistry server;
    if (!IsGuidText(clsid) || server.OpenExistingKey(u"CLSID\\" + clsid + u"\\InprocServer32",
                                                     platform::kHkeyClassesRoot, read) != platform::kErrorSuccess) {
        return kClassNotRegistered;
    }
    Text path = server.GetExpandedString(Text(), Text());
    if (path.size() >= 2 && path.front() == u'"' && path.back() == u'"') {
        path = path.substr(1, path.size() - 2);
    }
    if (path.empty()) {
        return kClassNotRegistered;
    }
    // A bare name is one of the system's own libraries, as COM finds them.
    if (path.find_first_of(u"\\/") == Text::npos) {
        path = FromAnsi(platform::Kernel().GetSystemDirectoryA()) + u"\\" + path;
    }
    if (!mFolder.IsMainLibrary(path)) {
        return u"- the add-in's component KestrinSoftware.Connect leads to " + path +
               u", not to the add-in's own library";
    }
    return IsPlainFile(path) ? std::nullopt : std::optional<Text>(kClassNotRegistered);
}

bool OutlookLoadCheck::IsBlockedByPolicy() const
{
    for (const Text& policies : kPolicyKeys) {
        CRegistry office;
        if (office.OpenExistingKey(policies, mUserRoot, platform::kKeyRead) != platform::kErrorSuccess) {
            continue;
        }
        std::vector<Text> versions;
        office.SubkeyNames(versions);
        if (std::any_of(versions.begin(), versions.end(), [&](const Text& version) {
                return IsBlockedByPolicyIn(policies + version + u"\\Outlook\\Resiliency");
            })) {
            return true;
        }
    }
    return false;
}

// Outlook matches the add-in's name in AddinList with its case: "0" keeps it
// disabled, "1" and "2" let it load where restricttolist allows only those listed.
bool OutlookLoadCheck::IsBlockedByPolicyIn(const Text& resiliencyKey) const
{
    bool disabled = false;
    bool listed = false;
    CRegistry list;
    if (list.OpenExistingKey(resiliencyKey + u"\\AddinList", mUserRoot, platform::kKeyRead) ==
        platform::kErrorSuccess) {
        CRegistry::RawValue value;
        for (Long index = 0; list.ReadValue(index, value) == platform::kErrorSuccess; ++index) {
            if (value.ansiName != kProgId || value.type != platform::kRegSz) {
                continue;
            }
            const std::string setting(
                BeforeFirstNul(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size())));
            disabled = disabled || setting == "0";
            listed = listed || setting == "1" || setting == "2";
        }
    }
    return disabled || (!listed && IsSetToOne(mUserRoot, resiliencyKey, "restricttolist"));
}

bool OutlookLoadCheck::UsesNewOutlook() const
{
    return IsSetToOne(mUserRoot, kPreferencesKey, "UseNewOutlook");
}

// Outlook loads only a library of its own bitness.
std::optional<Text> OutlookLoadCheck::BitnessLine() const
{
    if (!mEdition.outlook) {
        return std::nullopt;
    }
    if (!mEdition.installed) {
        return kNo64BitEdition;
    }
    const auto library = BitnessOfImage(mEdition.folder + u"\\KROutlook.dll");
    if (!library || *library == *mEdition.outlook) {
        return std::nullopt;
    }
    return *mEdition.outlook == Bitness::X64 ? kOutlook64 : kOutlook32;
}
