#include "app/OutlookLoadCheck.h"

#include "platform/AnsiText.h"
#include "platform/Handles.h"
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
const Text kOfficeKey = u"Software\\Microsoft\\Office\\";
const Text kClickToRunKey = kOfficeKey + u"ClickToRun\\Configuration";
const Text kPreferencesKey = kOfficeKey + u"16.0\\Outlook\\Preferences";
const std::array<Text, 2> kPolicyKeys = {u"Software\\Policies\\Microsoft\\Office\\",
                                         u"Software\\Policies\\Microsoft\\Cloud\\Office\\"};

const Text kBlockedByPolicy = u"- your organization's policy keeps the add-in disabled; please ask your administrator";
const Text kNewOutlook =
    u"- Outlook is set to use the new Outlook, which cannot load this add-in; switch the new Outlook off to use it";
const Text kOutlook64 = u"- Outlook is 64-bit and cannot load this 32-bit add-in";
const Text kOutlook32 = u"- Outlook is 32-bit and cannot load this 64-bit add-in";

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
// Every linker places the PE header well within the first 4 KiB.
constexpr std::size_t kHeadBytes = 4096;
constexpr std::size_t kDosHeaderBytes = 64;
constexpr std::size_t kPeOffsetAt = 0x3C;

std::uint32_t LittleEndianAt(std::span<const std::uint8_t> data, std::size_t offset, int bytes)
{
    std::uint32_t number = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        number = (number << 8) | data[offset + static_cast<std::size_t>(i)];
    }
    return number;
}

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

std::string TextBeforeNul(const std::vector<std::uint8_t>& data)
{
    const std::string_view stored(reinterpret_cast<const char*>(data.data()), data.size());
    return std::string(stored.substr(0, stored.find('\0')));
}

bool IsDwordOne(const CRegistry::RawValue& value)
{
    return value.type == platform::kRegDword && value.data.size() == 4 && LittleEndianAt(value.data, 0, 4) == 1;
}

// A REG_DWORD of 1 under that name, in a key that exists.
bool IsSetToOne(platform::Handle root, const Text& keyName, const std::string& valueName)
{
    CRegistry key;
    CRegistry::RawValue value;
    return key.OpenExistingKey(keyName, root, platform::kKeyRead) == platform::kErrorSuccess &&
           key.ReadNamedValue(valueName, value) == platform::kErrorSuccess && IsDwordOne(value);
}

bool FileExists(const Text& path)
{
    const std::uint32_t attributes = platform::Kernel().GetFileAttributesA(ToAnsi(path));
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeDirectory) == 0;
}

} // namespace

std::optional<std::uint16_t> MachineOfImage(std::span<const std::uint8_t> head)
{
    if (head.size() < kDosHeaderBytes || head[0] != 'M' || head[1] != 'Z') {
        return std::nullopt;
    }
    // In 64 bits: an offset near 2^32 must not wrap round to a small one.
    const std::uint64_t pe = LittleEndianAt(head, kPeOffsetAt, 4);
    if (pe + 6 > head.size()) {
        return std::nullopt;
    }
    const auto at = static_cast<std::size_t>(pe);
    if (head[at] != 'P' || head[at + 1] != 'E' || head[at + 2] != 0 || head[at + 3] != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(LittleEndianAt(head, at + 4, 2));
}

OutlookLoadCheck::OutlookLoadCheck(platform::Handle userRoot, Text mainLibrary)
    : mUserRoot(userRoot), mMainLibrary(std::move(mainLibrary))
{
}

bool OutlookLoadCheck::IsClassRegistered() const
{
    CRegistry progId;
    if (progId.OpenExistingKey(kProgIdClsidKey, platform::kHkeyClassesRoot, platform::kKeyRead) !=
        platform::kErrorSuccess) {
        return false;
    }
    const Text clsid = progId.GetExpandedString(Text(), Text());
    if (!IsGuidText(clsid)) {
        return false;
    }
    CRegistry server;
    if (server.OpenExistingKey(u"CLSID\\" + clsid + u"\\InprocServer32", platform::kHkeyClassesRoot,
                               platform::kKeyRead) != platform::kErrorSuccess) {
        return false;
    }
    Text path = server.GetExpandedString(Text(), Text());
    if (path.size() >= 2 && path.front() == u'"' && path.back() == u'"') {
        path = path.substr(1, path.size() - 2);
    }
    if (path.empty()) {
        return false;
    }
    // A bare name is one of the system's own libraries, as COM finds them.
    if (path.find_first_of(u"\\/") == Text::npos) {
        path = FromAnsi(platform::Kernel().GetSystemDirectoryA()) + u"\\" + path;
    }
    return FileExists(path);
}

std::vector<Text> OutlookLoadCheck::Blockers() const
{
    std::vector<Text> lines;
    if (IsBlockedByPolicy()) {
        lines.push_back(kBlockedByPolicy);
    }
    if (UsesNewOutlook()) {
        lines.push_back(kNewOutlook);
    }
    const auto outlook64 = IsOutlook64Bit();
    const auto library64 = outlook64 ? IsMainLibrary64Bit() : std::nullopt;
    if (outlook64 && library64 && *outlook64 != *library64) {
        lines.push_back(*outlook64 ? kOutlook64 : kOutlook32);
    }
    return lines;
}

bool OutlookLoadCheck::IsBlockedByPolicy() const
{
    for (const Text& policies : kPolicyKeys) {
        CRegistry office;
        if (office.OpenExistingKey(policies, mUserRoot, platform::kKeyRead) != platform::kErrorSuccess) {
            continue;
        }
        const std::vector<Text> versions = office.SubkeyNames();
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
            const std::string setting = TextBeforeNul(value.data);
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

// Office records its bitness in the registry's 64-bit view, which only
// 64-bit Windows has; "x64" anywhere wins, as a 64-bit Outlook is the one started.
std::optional<bool> OutlookLoadCheck::IsOutlook64Bit() const
{
    auto& kernel = platform::Kernel();
    bool wow64 = false;
    if (!kernel.HasIsWow64Process() || !kernel.IsWow64Process(platform::kCurrentProcess, wow64) || !wow64) {
        return std::nullopt;
    }
    constexpr std::uint32_t view = platform::kKeyRead | platform::kKeyWow64_64Key;
    bool x64 = false;
    bool x86 = false;
    const auto note = [&](const Text& setting) {
        x64 = x64 || LowerCase(setting) == u"x64";
        x86 = x86 || LowerCase(setting) == u"x86";
    };
    CRegistry office;
    if (office.OpenExistingKey(kOfficeKey, platform::kHkeyLocalMachine, view) == platform::kErrorSuccess) {
        for (const Text& version : office.SubkeyNames()) {
            CRegistry outlook;
            if (outlook.OpenExistingKey(kOfficeKey + version + u"\\Outlook", platform::kHkeyLocalMachine, view) ==
                platform::kErrorSuccess) {
                note(outlook.GetExpandedString(u"Bitness", Text()));
            }
        }
    }
    CRegistry clickToRun;
    if (clickToRun.OpenExistingKey(kClickToRunKey, platform::kHkeyLocalMachine, view) == platform::kErrorSuccess) {
        note(clickToRun.GetExpandedString(u"Platform", Text()));
    }
    if (x64 || x86) {
        return x64;
    }
    return std::nullopt;
}

std::optional<bool> OutlookLoadCheck::IsMainLibrary64Bit() const
{
    auto& kernel = platform::Kernel();
    const platform::UniqueFileHandle file(kernel.CreateFileA(ToAnsi(mMainLibrary), platform::kGenericRead,
                                                             platform::kFileShareReadWrite, platform::kOpenExisting));
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> head(kHeadBytes);
    std::size_t total = 0;
    std::uint32_t read = 0;
    while (total < head.size() &&
           kernel.ReadFile(file.Get(), head.data() + total, static_cast<std::uint32_t>(head.size() - total), read) &&
           read > 0) {
        total += std::min<std::size_t>(read, head.size() - total);
    }
    head.resize(total);
    const auto machine = MachineOfImage(head);
    if (machine == kMachineI386 || machine == kMachineAmd64) {
        return machine == kMachineAmd64;
    }
    return std::nullopt;
}
