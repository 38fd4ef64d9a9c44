#include "registry/KeyWalk.h"

#include "platform/Platform.h"
#include "platform/SystemCodes.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

constexpr std::uint32_t kRegOptionOpenLink = 0x8;
constexpr std::uint32_t kRegLink = 6;
constexpr std::uint32_t kRegCreatedNewKey = 1;
constexpr std::uint32_t kRegOpenedExistingKey = 2;
const Text kLinkValue = u"SymbolicLinkValue";
// The longest name a link leads to that the tool reads: \REGISTRY\USER\ and a SID, in UTF-16.
constexpr std::uint32_t kMostLinkBytes = 1024;

std::vector<Text> NamesOf(const Text& path)
{
    std::vector<Text> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            names.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

bool SameName(const Text& a, std::u16string_view b)
{
    return LowerCase(a) == LowerCase(b);
}

bool IsNtLine()
{
    platform::OsVersionInfoA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    return platform::Kernel().GetVersionExA(version) && version.dwPlatformId == platform::kVerPlatformWin32Nt;
}

// A key this walk opened, closed on every way out.
class Opened {
public:
    explicit Opened(platform::RegistryServices& registry) : mRegistry(registry) {}
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    ~Opened() { Reset(0); }

    platform::Handle Get() const noexcept { return mKey; }
    platform::Handle Release() noexcept { return std::exchange(mKey, 0); }
    void Reset(platform::Handle key) noexcept
    {
        if (mKey != 0) {
            mRegistry.RegCloseKey(mKey);
        }
        mKey = key;
    }

private:
    platform::RegistryServices& mRegistry;
    platform::Handle mKey = 0;
};

} // namespace

bool KeyWalk::IsUsersRoot(platform::Handle root) noexcept
{
    return root != platform::kHkeyLocalMachine && root != platform::kHkeyClassesRoot &&
           root != platform::kHkeyCurrentConfig;
}

bool KeyWalk::IsLink(platform::RegistryServices& registry, platform::Handle key)
{
    std::uint32_t type = 0;
    std::uint32_t bytes = 0;
    return registry.RegQueryValueExW(key, kLinkValue, type, nullptr, bytes) == platform::kErrorSuccess &&
           type == kRegLink;
}

// "\REGISTRY\USER\S-1-5-21-..._Classes": Windows' own link from Software\Classes.
// Asked only of a key that is a link.
bool KeyWalk::LeadsToUsersClasses(platform::RegistryServices& registry, platform::Handle key)
{
    std::uint32_t type = 0;
    std::uint32_t bytes = kMostLinkBytes;
    std::vector<std::uint8_t> data(kMostLinkBytes);
    if (registry.RegQueryValueExW(key, kLinkValue, type, data.data(), bytes) != platform::kErrorSuccess) {
        return false;
    }
    std::string target;
    for (std::size_t i = 0; i + 1 < bytes && i + 1 < data.size(); i += 2) {
        const unsigned wide = data[i] | data[i + 1] << 8;
        target.push_back(wide < 0x80 ? static_cast<char>(std::tolower(static_cast<int>(wide))) : '?');
    }
    const std::string prefix = R"(\registry\user\s-1-)";
    const std::string suffix = "_classes";
    return target.size() > prefix.size() + suffix.size() && target.starts_with(prefix) && target.ends_with(suffix) &&
           target.find('\\', prefix.size()) == std::string::npos;
}

template <typename String>
bool KeyWalk::Walks(platform::Handle root, const String& path)
{
    // A path the registry refuses as it stands is given to it whole, for its own answer.
    const bool malformed = path.empty() || path.front() == '\\' || path.find(String(2, '\\')) != String::npos;
    return IsUsersRoot(root) && !malformed && IsNtLine();
}

std::int32_t KeyWalk::Open(platform::RegistryServices& registry, platform::Handle root, const std::string& path,
                           std::uint32_t access, const std::string* keyClass, platform::Handle& result,
                           std::uint32_t& disposition)
{
    disposition = kRegOpenedExistingKey;
    if (!Walks(root, path)) {
        return keyClass != nullptr ? registry.RegCreateKeyExA(root, path, 0, *keyClass, 0, access, result, disposition)
                                   : registry.RegOpenKeyExA(root, path, 0, access, result);
    }
    auto& kernel = platform::Kernel();
    const Text wideClass = keyClass != nullptr ? kernel.AnsiToWide(*keyClass) : Text();
    return Open(registry, root, kernel.AnsiToWide(path), access, keyClass != nullptr ? &wideClass : nullptr, result,
                disposition);
}

std::int32_t KeyWalk::Open(platform::RegistryServices& registry, platform::Handle root, const Text& path,
                           std::uint32_t access, const Text* keyClass, platform::Handle& result,
                           std::uint32_t& disposition)
{
    disposition = kRegOpenedExistingKey;
    if (!Walks(root, path)) {
        return keyClass != nullptr ? registry.RegCreateKeyExW(root, path, *keyClass, 0, access, result, disposition)
                                   : registry.RegOpenKeyExW(root, path, 0, access, result);
    }
    const std::vector<Text> names = NamesOf(path);
    const std::uint32_t view = access & (platform::kKeyWow64_32Key | platform::kKeyWow64_64Key);
    Opened current(registry);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const platform::Handle parent = current.Get() != 0 ? current.Get() : root;
        const std::uint32_t wanted = (i + 1 == names.size() ? access : view) | platform::kKeyQueryValue;
        platform::Handle next = 0;
        std::uint32_t made = kRegOpenedExistingKey;
        const std::int32_t status =
            keyClass != nullptr
                ? registry.RegCreateKeyExW(parent, names[i], *keyClass, kRegOptionOpenLink, wanted, next, made)
                : registry.RegOpenKeyExW(parent, names[i], kRegOptionOpenLink, wanted, next);
        if (status != platform::kErrorSuccess) {
            return status;
        }
        Opened opened(registry);
        opened.Reset(next);
        if (made == kRegCreatedNewKey) {
            disposition = kRegCreatedNewKey;
        }
        if (IsLink(registry, opened.Get())) {
            // Below HKEY_USERS, the hive's own name comes first.
            const std::size_t hive = root == platform::kHkeyUsers ? 1 : 0;
            const bool classes = i == 1 + hive && SameName(names[hive], u"Software") && SameName(names[i], u"Classes");
            if (!classes || !LeadsToUsersClasses(registry, opened.Get())) {
                return platform::kErrorAccessDenied;
            }
            opened.Reset(0);
            if (const std::int32_t followed = registry.RegOpenKeyExW(parent, names[i], 0, wanted, next);
                followed != platform::kErrorSuccess) {
                return followed;
            }
            opened.Reset(next);
        }
        current.Reset(opened.Release());
    }
    result = current.Release();
    return platform::kErrorSuccess;
}
