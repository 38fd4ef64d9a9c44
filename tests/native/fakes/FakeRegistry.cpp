#include "fakes/FakeRegistry.h"

#include "platform/SystemCodes.h"

#include <algorithm>
#include <cstring>

namespace fakes {
namespace {

constexpr std::int32_t kSuccess = platform::kErrorSuccess;
constexpr std::int32_t kFileNotFound = platform::kErrorFileNotFound;
constexpr std::int32_t kAccessDenied = platform::kErrorAccessDenied;
constexpr std::int32_t kInvalidHandle = platform::kErrorInvalidHandle;
constexpr std::int32_t kBadPathName = platform::kErrorBadPathName;
constexpr std::int32_t kMoreData = platform::kErrorMoreData;
constexpr std::int32_t kNoMoreItems = platform::kErrorNoMoreItems;
constexpr std::uint32_t kKeyQueryValue = platform::kKeyQueryValue;
constexpr std::uint32_t kKeySetValue = platform::kKeySetValue;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x8;
constexpr std::uint32_t kRegOptionVolatile = 0x1;
constexpr std::uint32_t kRegOptionOpenLink = 0x8;
constexpr std::uint32_t kRegLink = 6;

char Folded(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// The components of a key path; empty ones are an error except a trailing one.
std::optional<std::vector<std::string>> Components(const std::string& path)
{
    std::vector<std::string> parts;
    if (!path.empty() && path.front() == '\\') {
        return std::nullopt;
    }
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            if (part.empty() && i != path.size()) {
                return std::nullopt;
            }
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part.push_back(path[i]);
        }
    }
    return parts;
}

} // namespace

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Folded(x) < Folded(y); });
}

FakeRegistry::FakeRegistry()
{
    for (const platform::Handle root :
         {platform::kHkeyClassesRoot, platform::kHkeyCurrentUser, platform::kHkeyLocalMachine, platform::kHkeyUsers,
          platform::kHkeyCurrentConfig, kLocalMachine64, kClassesRoot64, kCurrentUser64, kUsers64}) {
        mRoots[root];
    }
}

platform::Handle FakeRegistry::InView(platform::Handle root, std::uint32_t samDesired)
{
    if ((samDesired & platform::kKeyWow64_64Key) == 0) {
        return root;
    }
    return root == platform::kHkeyLocalMachine  ? kLocalMachine64
           : root == platform::kHkeyClassesRoot ? kClassesRoot64
           : root == platform::kHkeyCurrentUser ? kCurrentUser64
           : root == platform::kHkeyUsers       ? kUsers64
                                                : root;
}

FakeKey* FakeRegistry::Resolve(platform::Handle handle)
{
    if (const auto root = mRoots.find(handle); root != mRoots.end()) {
        return &root->second;
    }
    const auto open = mHandles.find(handle);
    return open == mHandles.end() ? nullptr : open->second.key;
}

FakeKey* FakeRegistry::Key(platform::Handle root, const std::string& path, bool openLink)
{
    FakeKey* key = Resolve(root);
    const auto parts = Components(path);
    if (!parts) {
        return nullptr;
    }
    for (std::size_t i = 0; i < parts->size(); ++i) {
        if (key == nullptr) {
            return nullptr;
        }
        const auto found = key->subkeys.find((*parts)[i]);
        key = found == key->subkeys.end() ? nullptr : found->second.get();
        if (key != nullptr && key->linkTo && !(openLink && i + 1 == parts->size())) {
            key = Key(key->linkTo->first, key->linkTo->second);
        }
    }
    return key;
}

void FakeRegistry::MakeLink(platform::Handle root, const std::string& path, platform::Handle targetRoot,
                            const std::string& targetPath)
{
    FakeKey& link = MakeKey(root, path);
    link.linkTo = std::make_pair(targetRoot, targetPath);
    const std::string named =
        (targetRoot == platform::kHkeyUsers ? "\\REGISTRY\\USER\\" : "\\REGISTRY\\MACHINE\\") + targetPath;
    std::vector<std::uint8_t> wide;
    for (const char c : named) {
        wide.insert(wide.end(), {static_cast<std::uint8_t>(c), 0});
    }
    link.values["SymbolicLinkValue"] = FakeValue{kRegLink, wide};
}

FakeKey& FakeRegistry::MakeKey(platform::Handle root, const std::string& path)
{
    FakeKey* key = Resolve(root);
    const std::vector<std::string> parts = Components(path).value();
    for (const std::string& part : parts) {
        auto& slot = key->subkeys[part];
        if (!slot) {
            slot = std::make_unique<FakeKey>();
        }
        key = slot.get();
    }
    return *key;
}

void FakeRegistry::SetValue(platform::Handle root, const std::string& path, const std::string& name, std::uint32_t type,
                            std::vector<std::uint8_t> data)
{
    MakeKey(root, path).values[name] = FakeValue{type, std::move(data)};
}

void FakeRegistry::SetDword(platform::Handle root, const std::string& path, const std::string& name,
                            std::uint32_t number)
{
    std::vector<std::uint8_t> data(4);
    std::memcpy(data.data(), &number, 4);
    SetValue(root, path, name, 4, std::move(data));
}

void FakeRegistry::SetText(platform::Handle root, const std::string& path, const std::string& name,
                           const std::string& text)
{
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(root, path, name, 1, std::move(data));
}

void FakeRegistry::SetWideText(platform::Handle root, const std::string& path, const std::string& name,
                               const std::u16string& text)
{
    std::vector<std::uint8_t> data;
    for (const char16_t c : text + u'\0') {
        data.insert(data.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    }
    MakeKey(root, path).values[name] = FakeValue{1, std::move(data), true};
}

std::string FakeRegistry::Narrow(const std::u16string& text)
{
    std::string narrow;
    for (const char16_t c : text) {
        narrow.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    }
    return narrow;
}

std::u16string FakeRegistry::Widen(const std::string& text)
{
    std::u16string wide;
    for (const char c : text) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    return wide;
}

std::vector<std::uint8_t> FakeRegistry::DataAs(const FakeValue& value, bool wide)
{
    const bool text = value.type == 1 || value.type == 2 || value.type == 7;
    if (!text || value.wide == wide) {
        return value.data;
    }
    std::vector<std::uint8_t> converted;
    if (wide) {
        for (const std::uint8_t c : value.data) {
            converted.insert(converted.end(), {c, 0});
        }
        return converted;
    }
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const unsigned c = value.data[i] | value.data[i + 1] << 8;
        converted.push_back(c < 0x100 ? static_cast<std::uint8_t>(c) : '?');
    }
    return converted;
}

std::int32_t FakeRegistry::RegOpenKeyExW(platform::Handle root, const std::u16string& subKey, std::uint32_t options,
                                         std::uint32_t samDesired, platform::Handle& result)
{
    return RegOpenKeyExA(root, Narrow(subKey), options, samDesired, result);
}

std::int32_t FakeRegistry::RegCreateKeyExW(platform::Handle root, const std::u16string& subKey,
                                           const std::u16string& keyClass, std::uint32_t options,
                                           std::uint32_t samDesired, platform::Handle& result,
                                           std::uint32_t& disposition)
{
    return RegCreateKeyExA(root, Narrow(subKey), 0, Narrow(keyClass), options, samDesired, result, disposition);
}

std::int32_t FakeRegistry::RegEnumKeyExW(platform::Handle key, std::uint32_t index, char16_t* name,
                                         std::uint32_t& nameChars)
{
    std::vector<char> narrow(nameChars + 1, '\0');
    std::uint32_t chars = nameChars;
    std::uint64_t written = 0;
    const std::int32_t status = RegEnumKeyExA(key, index, narrow.data(), chars, nullptr, nullptr, written);
    if (status == kSuccess) {
        const std::u16string wide = Widen(std::string(narrow.data(), chars));
        std::copy(wide.begin(), wide.end(), name);
        name[wide.size()] = u'\0';
        nameChars = chars;
    }
    return status;
}

std::int32_t FakeRegistry::RegEnumValueW(platform::Handle key, std::uint32_t index, char16_t* name,
                                         std::uint32_t& nameChars, std::uint32_t& type, std::uint8_t* data,
                                         std::uint32_t& bytes)
{
    OpenKey* open = nullptr;
    if (const std::int32_t status = Opened(key, kKeyQueryValue, open); status != kSuccess) {
        return status;
    }
    const auto& values = open->key->values;
    if (index >= values.size()) {
        return kNoMoreItems;
    }
    const auto entry = std::next(values.begin(), static_cast<std::ptrdiff_t>(index));
    if (entry->first.size() + 1 > nameChars) {
        return kMoreData;
    }
    const std::u16string wide = Widen(entry->first);
    std::copy(wide.begin(), wide.end(), name);
    name[wide.size()] = u'\0';
    nameChars = static_cast<std::uint32_t>(wide.size());
    type = entry->second.type;
    const std::vector<std::uint8_t> stored = DataAs(entry->second, true);
    const auto size = static_cast<std::uint32_t>(stored.size());
    if (data != nullptr && bytes < size) {
        bytes = size;
        return kMoreData;
    }
    if (data != nullptr) {
        std::copy(stored.begin(), stored.end(), data);
    }
    bytes = size;
    return kSuccess;
}

std::int32_t FakeRegistry::RegQueryValueExW(platform::Handle key, const std::u16string& valueName, std::uint32_t& type,
                                            std::uint8_t* data, std::uint32_t& bytes)
{
    OpenKey* open = nullptr;
    if (const std::int32_t status = Opened(key, kKeyQueryValue, open); status != kSuccess) {
        return status;
    }
    const auto found = open->key->values.find(Narrow(valueName));
    if (found == open->key->values.end()) {
        return kFileNotFound;
    }
    if (data != nullptr && dataReadStatus) {
        return *dataReadStatus;
    }
    type = found->second.type;
    const std::vector<std::uint8_t> stored = DataAs(found->second, true);
    const auto size = static_cast<std::uint32_t>(stored.size());
    if (data != nullptr && bytes < size) {
        bytes = size;
        return kMoreData;
    }
    if (data != nullptr) {
        std::copy(stored.begin(), stored.end(), data);
    }
    bytes = size;
    return kSuccess;
}

std::int32_t FakeRegistry::RegSetValueExW(platform::Handle key, const std::u16string& valueName, std::uint32_t type,
                                          const std::uint8_t* data, std::uint32_t bytes)
{
    OpenKey* open = nullptr;
    if (const std::int32_t status = Opened(key, kKeySetValue, open); status != kSuccess) {
        return status;
    }
    const std::string name = Narrow(valueName);
    if (deniedWrites.count(name) != 0) {
        return kAccessDenied;
    }
    writes.push_back(name);
    open->key->values[name] = FakeValue{type, std::vector<std::uint8_t>(data, data + bytes), true};
    return kSuccess;
}

std::int32_t FakeRegistry::RegCreateKeyExA(platform::Handle root, const std::string& subKey, std::uint32_t,
                                           const std::string& keyClass, std::uint32_t options, std::uint32_t samDesired,
                                           platform::Handle& result, std::uint32_t& disposition)
{
    accesses.push_back(samDesired);
    if (Resolve(root) == nullptr) {
        return kInvalidHandle;
    }
    const auto [base, path] = Located(root, subKey);
    const auto [start, above] = Located(root, std::string());
    FakeKey* key = Key(InView(start, samDesired), above);
    if (key == nullptr) {
        return kFileNotFound;
    }
    if (deniedRoots.count(InView(start, samDesired)) != 0) {
        return kAccessDenied;
    }
    const auto parts = Components(subKey);
    if (!parts) {
        return kBadPathName;
    }
    bool created = false;
    for (std::size_t i = 0; i < parts->size(); ++i) {
        auto& slot = key->subkeys[(*parts)[i]];
        if (!slot) {
            slot = std::make_unique<FakeKey>();
            slot->keyClass = keyClass;
            slot->isVolatile = (options & kRegOptionVolatile) != 0;
            created = true;
        }
        key = slot.get();
        if (key->linkTo && !((options & kRegOptionOpenLink) != 0 && i + 1 == parts->size())) {
            key = Key(key->linkTo->first, key->linkTo->second);
            if (key == nullptr) {
                return kFileNotFound;
            }
        }
    }
    if (created) {
        createdKeys.push_back(path);
    }
    result = NewHandle(key, samDesired, base, path);
    disposition = created ? 1 : 2;
    return kSuccess;
}

void FakeRegistry::Restart()
{
    const std::function<void(FakeKey&)> dropVolatile = [&](FakeKey& key) {
        std::erase_if(key.subkeys, [](const auto& subkey) { return subkey.second->isVolatile; });
        for (auto& [name, subkey] : key.subkeys) {
            dropVolatile(*subkey);
        }
    };
    for (auto& [root, key] : mRoots) {
        dropVolatile(key);
    }
}

std::int32_t FakeRegistry::Opened(platform::Handle handle, std::uint32_t access, OpenKey*& open)
{
    const auto found = mHandles.find(handle);
    if (found == mHandles.end()) {
        return kInvalidHandle;
    }
    if ((found->second.access & access) == 0) {
        return kAccessDenied;
    }
    open = &found->second;
    return kSuccess;
}

platform::Handle FakeRegistry::NewHandle(FakeKey* key, std::uint32_t access, platform::Handle root,
                                         const std::string& path)
{
    const platform::Handle handle = mNextHandle;
    mNextHandle += 4;
    mHandles[handle] = OpenKey{key, access, root, path};
    return handle;
}

std::pair<platform::Handle, std::string> FakeRegistry::Located(platform::Handle root, const std::string& subKey) const
{
    const auto open = mHandles.find(root);
    if (open == mHandles.end()) {
        return {root, subKey};
    }
    std::string above = open->second.path;
    while (!above.empty() && above.back() == '\\') {
        above.pop_back();
    }
    return {open->second.root, above.empty() ? subKey : subKey.empty() ? above : above + "\\" + subKey};
}

std::int32_t FakeRegistry::RegOpenKeyExA(platform::Handle root, const std::string& subKey, std::uint32_t options,
                                         std::uint32_t samDesired, platform::Handle& result)
{
    opens.push_back(subKey);
    if (const auto injected = openStatus.find(subKey); injected != openStatus.end()) {
        return injected->second;
    }
    if (Resolve(root) == nullptr) {
        return kInvalidHandle;
    }
    if (!Components(subKey)) {
        return kBadPathName;
    }
    const auto [base, path] = Located(root, subKey);
    std::string fromRoot = path;
    while (fromRoot.ends_with('\\')) {
        fromRoot.pop_back();
    }
    for (const auto& [injectedPath, status] : openStatus) {
        std::string stripped = injectedPath;
        while (stripped.ends_with('\\')) {
            stripped.pop_back();
        }
        if (!subKey.empty() && !NoCaseLess()(stripped, fromRoot) && !NoCaseLess()(fromRoot, stripped)) {
            return status;
        }
    }
    FakeKey* key = Key(InView(base, samDesired), path, (options & kRegOptionOpenLink) != 0);
    if (key == nullptr) {
        return kFileNotFound;
    }
    if (deniedRoots.count(InView(base, samDesired)) != 0 && (samDesired & kKeySetValue) != 0) {
        return kAccessDenied;
    }
    result = NewHandle(key, samDesired, base, path);
    return kSuccess;
}

std::int32_t FakeRegistry::RegEnumValueA(platform::Handle key, std::uint32_t index, char* name,
                                         std::uint32_t& nameChars, std::uint32_t& type, std::uint8_t* data,
                                         std::uint32_t& bytes)
{
    OpenKey* open = nullptr;
    if (const std::int32_t status = Opened(key, kKeyQueryValue, open); status != kSuccess) {
        return status;
    }
    const auto& values = open->key->values;
    if (index >= values.size()) {
        return kNoMoreItems;
    }
    const auto entry = std::next(values.begin(), static_cast<std::ptrdiff_t>(index));
    const auto bestFit = listedAs.find(entry->first);
    const std::string& listed = bestFit == listedAs.end() ? entry->first : bestFit->second;
    if (listed.size() + 1 > nameChars) {
        return kMoreData;
    }
    std::memcpy(name, listed.c_str(), listed.size() + 1);
    nameChars = static_cast<std::uint32_t>(listed.size());
    type = entry->second.type;
    const std::vector<std::uint8_t> stored = DataAs(entry->second, false);
    const auto size = static_cast<std::uint32_t>(stored.size());
    if (data != nullptr && bytes < size) {
        bytes = size;
        return kMoreData;
    }
    if (data != nullptr) {
        std::copy(stored.begin(), stored.end(), data);
    }
    bytes = size;
    return kSuccess;
}

std::int32_t FakeRegistry::RegDeleteValueA(platform::Handle key, const std::string& valueName)
{
    OpenKey* open = nullptr;
    if (const std::int32_t status = Opened(key, kKeySetValue, open); status != kSuccess) {
        return status;
    }
    if (deniedWrites.count(valueName) != 0) {
        return kAccessDenied;
    }
    if (open->key->values.erase(valueName) == 0) {
        return kFileNotFound;
    }
    deletes.push_back(valueName);
    return kSuccess;
}

// As a 32-bit program's: the subkey in the 32-bit view, whatever view the key was opened in.
std::int32_t FakeRegistry::RegDeleteKeyA(platform::Handle key, const std::string& subKey)
{
    return DeleteKeyIn(key, subKey, 0);
}

std::int32_t FakeRegistry::RegDeleteKeyExA(platform::Handle key, const std::string& subKey, std::uint32_t samDesired)
{
    return DeleteKeyIn(key, subKey, samDesired);
}

// An empty name is the key of the handle itself. A name that is a link is
// followed, as Windows' RegDeleteKey opens the key it deletes: what the
// link leads to goes.
std::int32_t FakeRegistry::DeleteKeyIn(platform::Handle key, const std::string& subKey, std::uint32_t view)
{
    if (Resolve(key) == nullptr) {
        return kInvalidHandle;
    }
    auto [root, path] = Located(key, subKey);
    while (path.ends_with('\\')) {
        path.pop_back();
    }
    const std::size_t separator = path.rfind('\\');
    const std::string above = separator == std::string::npos ? std::string() : path.substr(0, separator);
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    FakeKey* parent = Key(InView(root, view), above);
    if (parent == nullptr || name.empty()) {
        return kFileNotFound;
    }
    auto found = parent->subkeys.find(name);
    if (found != parent->subkeys.end() && found->second->linkTo) {
        const auto& [targetRoot, targetPath] = *found->second->linkTo;
        const std::size_t cut = targetPath.rfind('\\');
        parent = Key(targetRoot, cut == std::string::npos ? std::string() : targetPath.substr(0, cut));
        name = cut == std::string::npos ? targetPath : targetPath.substr(cut + 1);
        if (parent == nullptr) {
            return kFileNotFound;
        }
        found = parent->subkeys.find(name);
    }
    if (found == parent->subkeys.end()) {
        return kFileNotFound;
    }
    // As on the NT line: a key that still has subkeys is refused.
    if (deniedKeyDeletes.count(name) != 0 || !found->second->subkeys.empty()) {
        return kAccessDenied;
    }
    parent->subkeys.erase(found);
    keyDeletes.push_back(name);
    return kSuccess;
}

std::int32_t FakeRegistry::RegSetValueExA(platform::Handle key, const std::string& valueName, std::uint32_t,
                                          std::uint32_t type, const std::uint8_t* data, std::uint32_t bytes)
{
    OpenKey* open = nullptr;
    if (const std::int32_t status = Opened(key, kKeySetValue, open); status != kSuccess) {
        return status;
    }
    if (deniedWrites.count(valueName) != 0) {
        return kAccessDenied;
    }
    writes.push_back(valueName);
    open->key->values[valueName] = FakeValue{type, std::vector<std::uint8_t>(data, data + bytes)};
    return kSuccess;
}

std::int32_t FakeRegistry::RegQueryValueExA(platform::Handle key, const std::string& valueName, std::uint32_t& type,
                                            std::uint8_t* data, std::uint32_t& bytes)
{
    OpenKey* open = nullptr;
    if (const std::int32_t status = Opened(key, kKeyQueryValue, open); status != kSuccess) {
        return status;
    }
    const auto found = open->key->values.find(valueName);
    if (found == open->key->values.end()) {
        return kFileNotFound;
    }
    FakeValue& value = found->second;
    if (data == nullptr) {
        type = value.type;
        bytes = static_cast<std::uint32_t>(DataAs(value, false).size());
        mSizeQueried.insert(valueName);
        return kSuccess;
    }
    if (betweenReads && mSizeQueried.erase(valueName) != 0) {
        betweenReads(value);
    }
    if (dataReadStatus) {
        return *dataReadStatus;
    }
    type = value.type;
    const std::vector<std::uint8_t> stored = DataAs(value, false);
    const auto size = static_cast<std::uint32_t>(stored.size());
    if (bytes < size) {
        bytes = size;
        return kMoreData;
    }
    std::copy(stored.begin(), stored.end(), data);
    bytes = size;
    return kSuccess;
}

std::int32_t FakeRegistry::RegEnumKeyExA(platform::Handle key, std::uint32_t index, char* name,
                                         std::uint32_t& nameChars, char* keyClass, std::uint32_t* classChars,
                                         std::uint64_t& lastWriteTime)
{
    OpenKey* open = nullptr;
    if (const std::int32_t status = Opened(key, kKeyEnumerateSubKeys, open); status != kSuccess) {
        return status;
    }
    auto& subkeys = open->key->subkeys;
    if (index >= subkeys.size()) {
        return kNoMoreItems;
    }
    const auto entry = std::next(subkeys.begin(), static_cast<std::ptrdiff_t>(index));
    const std::string& subkeyName = entry->first;
    const std::string& subkeyClass = entry->second->keyClass;
    // As Wine does: a name or a class that does not fit, its NUL included,
    // refuses the whole entry and writes nothing.
    const bool classAsked = keyClass != nullptr && classChars != nullptr;
    if (subkeyName.size() >= nameChars || (classAsked && subkeyClass.size() >= *classChars)) {
        return kMoreData;
    }
    std::memcpy(name, subkeyName.c_str(), subkeyName.size() + 1);
    nameChars = static_cast<std::uint32_t>(subkeyName.size());
    lastWriteTime = 0x01D0000000000000ULL;
    if (classAsked) {
        std::memcpy(keyClass, subkeyClass.c_str(), subkeyClass.size() + 1);
        *classChars = static_cast<std::uint32_t>(subkeyClass.size());
    }
    return kSuccess;
}

std::int32_t FakeRegistry::RegCloseKey(platform::Handle key)
{
    if (mHandles.erase(key) == 0) {
        return kInvalidHandle;
    }
    ++closes;
    return kSuccess;
}

} // namespace fakes
