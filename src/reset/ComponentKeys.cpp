#include "reset/ComponentKeys.h"

#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/OfficeKeys.h"
#include "scope/PathExpansion.h"
#include "scope/WindowsVersion.h"

#include <algorithm>
#include <iterator>

namespace {

const Text kClasses = u"Software\\Classes\\";

// A class's key below a root's classes.
Text ClassKey(const Text& clsid)
{
    return Text(kClasses).append(u"CLSID\\").append(clsid);
}

std::optional<Text> DefaultOf(platform::Handle root, const Text& path, std::uint32_t view)
{
    CRegistry key;
    if (key.OpenExistingKey(path, root, platform::kKeyRead | view) != platform::kErrorSuccess) {
        return std::nullopt;
    }
    const auto stored = key.GetStoredString(Text());
    return stored ? std::optional(stored->first) : std::nullopt;
}

} // namespace

ComponentKeys::ComponentKeys(const ResetScope& scope, const AddinRegistration& registration)
    : mScope(scope), mView(scope.edition.registryView)
{
    const auto& people = scope.users.Users();
    std::vector<std::pair<platform::Handle, Text>> users;
    std::transform(people.begin(), people.end(), std::back_inserter(users),
                   [](const auto& user) { return std::pair(user.root, user.name); });
    const auto repaired = registration.KeysRepaired(users);
    std::transform(repaired.begin(), repaired.end(), std::back_inserter(mRegistrations),
                   [](const AddinRegistration::Key& key) {
                       return Key{key.root, key.path, key.view};
                   });
    mRoots.push_back(platform::kHkeyLocalMachine);
    // Before Windows 2000 COM reads the machine's classes alone.
    if (WindowsVersion::OfThisComputer().IsNtAtLeast(5)) {
        std::transform(people.begin(), people.end(), std::back_inserter(mRoots),
                       [](const auto& user) { return user.root; });
    }
}

std::set<Text> ComponentKeys::NamesUnder(platform::Handle root, const Text& key) const
{
    CRegistry classes;
    std::vector<Text> names;
    if (classes.OpenExistingKey(kClasses + key, root, platform::kKeyRead | mView) == platform::kErrorSuccess) {
        classes.SubkeyNames(names);
    }
    std::set<Text> lower;
    for (const Text& name : names) {
        lower.insert(LowerCase(name));
    }
    return lower;
}

std::optional<Text> ComponentKeys::TypeLibraryOf(platform::Handle root, const Text& clsid) const
{
    const auto library = DefaultOf(root, ClassKey(clsid) + u"\\TypeLib", mView);
    return library && library->size() == 38 && library->front() == u'{' ? library : std::nullopt;
}

std::map<Text, Text> ComponentKeys::AddinClasses(platform::Handle root) const
{
    std::map<Text, Text> classes;
    if (const auto clsid = DefaultOf(root, kClasses + kProgId + u"\\CLSID", mView);
        clsid && clsid->size() == 38 && clsid->front() == u'{') {
        classes.emplace(LowerCase(*clsid), *clsid);
    }
    const PathExpansion expansion = root == platform::kHkeyLocalMachine
                                        ? PathExpansion::ForBitness(mScope.edition.bitness)
                                        : PathExpansion::ForBitness(mScope.edition.bitness).ForUser(root);
    CRegistry all;
    std::vector<Text> names;
    if (all.OpenExistingKey(kClasses + u"CLSID", root, platform::kKeyRead | mView) == platform::kErrorSuccess) {
        all.SubkeyNames(names);
    }
    for (const Text& clsid : names) {
        CRegistry server;
        if (server.OpenExistingKey(ClassKey(clsid) + u"\\InprocServer32", root, platform::kKeyRead | mView) !=
            platform::kErrorSuccess) {
            continue;
        }
        if (const auto path = expansion.Read(server, Text()); path && mScope.folder.HoldsFile(Unquoted(*path))) {
            classes.emplace(LowerCase(clsid), clsid);
        }
    }
    return classes;
}

std::vector<ComponentKeys::Key> ComponentKeys::Before()
{
    std::vector<Key> keys = mRegistrations;
    for (const platform::Handle root : mRoots) {
        mClassesBefore[root] = NamesUnder(root, u"CLSID");
        mLibrariesBefore[root] = NamesUnder(root, u"TypeLib");
        keys.push_back({root, kClasses + kProgId, mView});
        for (const auto& [lower, clsid] : AddinClasses(root)) {
            keys.push_back({root, ClassKey(clsid), mView});
            mKept.emplace(root, lower);
            if (const auto library = TypeLibraryOf(root, clsid)) {
                keys.push_back({root, kClasses + u"TypeLib\\" + *library, mView});
                mKept.emplace(root, LowerCase(*library));
            }
        }
    }
    return keys;
}

// A class that was there before but led elsewhere was not kept: the import leaves it as the components wrote it.
std::vector<ComponentKeys::Key> ComponentKeys::MadeSince() const
{
    std::vector<Key> made;
    for (const platform::Handle root : mRoots) {
        const auto classesBefore = mClassesBefore.find(root);
        const auto librariesBefore = mLibrariesBefore.find(root);
        if (classesBefore == mClassesBefore.end() || librariesBefore == mLibrariesBefore.end()) {
            continue;
        }
        for (const auto& [lower, clsid] : AddinClasses(root)) {
            if (!mKept.contains({root, lower}) && !classesBefore->second.contains(lower)) {
                made.push_back({root, ClassKey(clsid), mView});
            }
            const auto library = TypeLibraryOf(root, clsid);
            if (library && !mKept.contains({root, LowerCase(*library)}) &&
                !librariesBefore->second.contains(LowerCase(*library))) {
                made.push_back({root, kClasses + u"TypeLib\\" + *library, mView});
            }
        }
    }
    return made;
}
