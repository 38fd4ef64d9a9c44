#include "registry/KeyTree.h"

#include "platform/SystemCodes.h"
#include "registry/KeyWalk.h"

namespace {

// A value name has at most 16,383 characters, a key name 255; each buffer also holds the NUL.
constexpr std::uint32_t kValueNameChars = 16384;
constexpr std::uint32_t kKeyNameChars = 256;
// No value of the add-in's keys comes near it.
constexpr std::uint32_t kLargestValueBytes = 1024 * 1024;

// An open key, closed with the object.
class OpenedKey {
public:
    explicit OpenedKey(platform::RegistryServices& registry) : mRegistry(registry) {}
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    ~OpenedKey()
    {
        if (mKey != 0) {
            mRegistry.RegCloseKey(mKey);
        }
    }
    platform::Handle& Get() noexcept { return mKey; }

private:
    platform::RegistryServices& mRegistry;
    platform::Handle mKey = 0;
};

} // namespace

std::int32_t KeyTree::ReadValue(platform::RegistryServices& registry, platform::Handle key, const Text& name,
                                Value& value)
{
    std::uint32_t bytes = 0;
    std::int32_t status = registry.RegQueryValueExW(key, name, value.type, nullptr, bytes);
    if (status != platform::kErrorSuccess) {
        return status;
    }
    if (bytes > kLargestValueBytes) {
        return platform::kErrorMoreData;
    }
    value.name = name;
    value.data.assign(bytes, 0);
    status = registry.RegQueryValueExW(key, name, value.type, value.data.data(), bytes);
    value.data.resize(std::min<std::size_t>(bytes, value.data.size()));
    return status;
}

std::optional<KeyTree> KeyTree::Read(platform::RegistryServices& registry, platform::Handle root, const Text& path,
                                     std::uint32_t view, std::int32_t& status)
{
    OpenedKey key(registry);
    std::uint32_t disposition = 0;
    status = KeyWalk::Open(registry, root, path, platform::kKeyRead | view, nullptr, key.Get(), disposition);
    if (status != platform::kErrorSuccess) {
        key.Get() = 0;
        return std::nullopt;
    }
    KeyTree tree;
    std::vector<char16_t> name(kValueNameChars);
    std::int32_t listed = platform::kErrorSuccess;
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t chars = kValueNameChars;
        std::uint32_t type = 0;
        std::uint32_t bytes = 0;
        listed = registry.RegEnumValueW(key.Get(), index, name.data(), chars, type, nullptr, bytes);
        if (listed != platform::kErrorSuccess) {
            break;
        }
        const Text valueName(name.data(), std::min(chars, kValueNameChars));
        Value value;
        const std::int32_t read = HasControlCharacter(valueName) ? platform::kErrorBadPathName
                                                                 : ReadValue(registry, key.Get(), valueName, value);
        if (read == platform::kErrorSuccess) {
            tree.values.push_back(std::move(value));
        } else {
            tree.unreadable.emplace_back(valueName, read);
            tree.whole = false;
        }
    }
    tree.whole = tree.whole && listed == platform::kErrorNoMoreItems;
    std::vector<Text> children;
    char16_t child[kKeyNameChars];
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t chars = kKeyNameChars;
        listed = registry.RegEnumKeyExW(key.Get(), index, child, chars);
        if (listed != platform::kErrorSuccess) {
            break;
        }
        children.emplace_back(child, std::min(chars, kKeyNameChars - 1));
    }
    tree.whole = tree.whole && listed == platform::kErrorNoMoreItems;
    for (const Text& childName : children) {
        std::int32_t childStatus = 0;
        auto subtree = HasControlCharacter(childName)
                           ? std::nullopt
                           : Read(registry, root, Text(path).append(u"\\").append(childName), view, childStatus);
        if (!subtree) {
            tree.whole = false;
            continue;
        }
        tree.whole = tree.whole && subtree->whole;
        tree.subkeys.push_back({childName, std::move(*subtree)});
    }
    return tree;
}

bool KeyTree::Empty() const noexcept
{
    return values.empty() && subkeys.empty() && unreadable.empty();
}
