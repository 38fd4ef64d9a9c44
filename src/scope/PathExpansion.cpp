#include "scope/PathExpansion.h"

#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

const Text kWindowsKey = u"Software\\Microsoft\\Windows\\CurrentVersion";
// What Windows allows an environment variable: a longer text is no one's
// path, and no user's values make the tool build one.
constexpr std::size_t kMostCharacters = 32767;
// More than any environment holds: past it, a hive's own values are not read,
// so that one user's hive neither fails nor slows the run for the others.
constexpr Long kMostVariables = 256;

// Variables every user has a value of their own for: another user's are
// never this program's.
constexpr std::array<std::u16string_view, 18> kPerUserNames = {u"userprofile",
                                                               u"appdata",
                                                               u"localappdata",
                                                               u"homedrive",
                                                               u"homepath",
                                                               u"homeshare",
                                                               u"username",
                                                               u"userdomain",
                                                               u"userdomain_roamingprofile",
                                                               u"userdnsdomain",
                                                               u"logonserver",
                                                               u"temp",
                                                               u"tmp",
                                                               u"onedrive",
                                                               u"onedrivecommercial",
                                                               u"onedriveconsumer",
                                                               u"clientname",
                                                               u"sessionname"};

// The folder a variable of this program names, or the registry's in the view where it is unset.
Text FolderOf(const char* variable, const Text& registryName, std::uint32_t view)
{
    if (const auto value = platform::Launch().GetEnvironmentVariableA(variable); value && !value->empty()) {
        return FromAnsi(*value);
    }
    CRegistry windows;
    if (windows.OpenExistingKey(kWindowsKey, platform::kHkeyLocalMachine, platform::kKeyRead | view) !=
        platform::kErrorSuccess) {
        return Text();
    }
    return windows.GetExpandedString(registryName, Text());
}

} // namespace

PathExpansion PathExpansion::ForBitness(Bitness bitness)
{
    PathExpansion expansion;
    if (!platform::Kernel().Is64BitWindows()) {
        return expansion;
    }
    const bool x64 = bitness == Bitness::X64;
    const std::uint32_t view = x64 ? platform::kKeyWow64_64Key : platform::kKeyWow64_32Key;
    const Text programFiles = FolderOf(x64 ? "ProgramW6432" : "ProgramFiles(x86)", u"ProgramFilesDir", view);
    const Text commonFiles = FolderOf(x64 ? "CommonProgramW6432" : "CommonProgramFiles(x86)", u"CommonFilesDir", view);
    if (!programFiles.empty()) {
        expansion.mValues[u"programfiles"] = programFiles;
    }
    if (!commonFiles.empty()) {
        expansion.mValues[u"commonprogramfiles"] = commonFiles;
    }
    return expansion;
}

PathExpansion PathExpansion::ForUser(platform::Handle userRoot) const
{
    PathExpansion expansion = *this;
    if (userRoot != platform::kHkeyCurrentUser) {
        expansion.mOfOtherUser = true;
        // As Windows builds a user's environment: the user's variables, then the
        // session's, which win. The session's are read first too: the user's
        // own TEMP is "%USERPROFILE%\...", and USERPROFILE is the session's.
        expansion.ReadVariables(userRoot, u"Volatile Environment");
        expansion.ReadVariables(userRoot, u"Environment");
        expansion.ReadVariables(userRoot, u"Volatile Environment");
    }
    return expansion;
}

void PathExpansion::ReadVariables(platform::Handle userRoot, const Text& keyName)
{
    CRegistry key;
    if (key.OpenExistingKey(keyName, userRoot, platform::kKeyRead) != platform::kErrorSuccess) {
        return;
    }
    CRegistry::RawValue value;
    for (Long index = 0; index < kMostVariables && key.ReadValue(index, value) == platform::kErrorSuccess; ++index) {
        if (value.data.size() > kMostCharacters + 1) {
            continue;
        }
        const Text name = LowerCase(FromAnsi(value.ansiName));
        // Expanded with what is known of the user so far.
        if (const auto text = Read(key, FromAnsi(value.ansiName)); text && !name.empty()) {
            mValues[name] = *text;
        }
    }
}

std::optional<Text> PathExpansion::Expand(std::u16string_view text) const
{
    Text expanded;
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = text.find(u'%', at);
        const std::size_t close = open == std::u16string_view::npos ? open : text.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            expanded += text.substr(at);
            return expanded.size() <= kMostCharacters ? std::optional(expanded) : std::nullopt;
        }
        const std::u16string_view stored = text.substr(open + 1, close - open - 1);
        const Text name = LowerCase(stored);
        std::optional<Text> value;
        if (const auto known = mValues.find(name); known != mValues.end()) {
            value = known->second;
        } else if (mOfOtherUser && std::find(kPerUserNames.begin(), kPerUserNames.end(), name) != kPerUserNames.end()) {
            return std::nullopt;
        } else if (const auto own = platform::Launch().GetEnvironmentVariableA(ToAnsi(stored))) {
            value = FromAnsi(*own);
        }
        // As Windows leaves a variable that is not set: its name stays, and its closing "%" may open the next.
        expanded += Text(text.substr(at, (value ? open : close) - at)) + value.value_or(Text());
        at = value ? close + 1 : close;
        if (expanded.size() > kMostCharacters) {
            return std::nullopt;
        }
    }
}

std::optional<Text> PathExpansion::Read(CRegistry& key, const Text& name) const
{
    const auto stored = key.GetStoredString(name);
    if (!stored) {
        return std::nullopt;
    }
    return stored->second ? Expand(stored->first) : std::optional<Text>(stored->first);
}
