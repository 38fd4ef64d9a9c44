#include "reset/AddinSettings.h"

#include "platform/Handles.h"
#include "platform/SystemCodes.h"
#include "registry/KeyWalk.h"
#include "registry/RegistryJournal.h"

#include <algorithm>
#include <iterator>

namespace {

// The registration's own subkeys are created as CRegistry creates keys.
const Text kKeyClass = u"0";
// What the reset writes of a registration itself: where one of them cannot
// be put back, the registration could not be written, which the text says once.
constexpr std::u16string_view kRegistrationValues[] = {u"commandlinesafe", u"loadbehavior", u"friendlyname",
                                                       u"description"};

const KeyTree::Value* Find(const KeyTree& tree, const Text& name)
{
    const auto found = std::find_if(tree.values.begin(), tree.values.end(), [&](const KeyTree::Value& value) {
        return LowerCase(value.name) == LowerCase(name);
    });
    return found == tree.values.end() ? nullptr : &*found;
}

const KeyTree* FindKey(const KeyTree* tree, const Text& name)
{
    if (tree == nullptr) {
        return nullptr;
    }
    const auto found = std::find_if(tree->subkeys.begin(), tree->subkeys.end(), [&](const KeyTree::Subkey& subkey) {
        return LowerCase(subkey.name) == LowerCase(name);
    });
    return found == tree->subkeys.end() ? nullptr : &found->tree;
}

// Without the closing separator the registration's path is kept with.
Text KeyPath(const AddinRegistration::Key& key)
{
    Text path = key.path;
    while (!path.empty() && path.back() == u'\\') {
        path.pop_back();
    }
    return path;
}

Text NameOf(const KeyTree::Value& value)
{
    return value.name.empty() ? Text(u"(default)") : value.name;
}

} // namespace

AddinSettings::AddinSettings(std::vector<AddinRegistration::Key> keys)
{
    std::transform(keys.begin(), keys.end(), std::back_inserter(mKept), [](AddinRegistration::Key& key) {
        return Kept{std::move(key), std::nullopt};
    });
}

void AddinSettings::Keep()
{
    for (Kept& kept : mKept) {
        std::int32_t status = 0;
        kept.tree = KeyTree::Read(platform::Registry(), kept.key.root, KeyPath(kept.key), kept.key.view, status);
    }
}

bool AddinSettings::Write(const AddinRegistration::Key& key, const Text& path, const KeyTree::Value& value)
{
    platform::Handle opened = 0;
    std::uint32_t disposition = 0;
    if (KeyWalk::Open(platform::Registry(), key.root, path,
                      platform::kKeyQueryValue | platform::kKeySetValue | key.view, &kKeyClass, opened,
                      disposition) != platform::kErrorSuccess) {
        return false;
    }
    const platform::UniqueRegistryKey written(opened);
    return platform::Registry().RegSetValueExW(written.Get(), value.name, value.type, value.data.data(),
                                               static_cast<std::uint32_t>(value.data.size())) ==
           platform::kErrorSuccess;
}

bool AddinSettings::PutBack(const AddinRegistration::Key& key, const Text& path, const KeyTree& kept,
                            const KeyTree* now, RunLog* log, RunReport& report)
{
    bool putBack = true;
    const Text where = path + (key.user.empty() ? Text() : u" (" + key.user + u")");
    const auto tell = [&](const Text& line) {
        if (log != nullptr) {
            log->Note(line);
        }
    };
    for (const KeyTree::Value& value : kept.values) {
        const KeyTree::Value* found = now == nullptr ? nullptr : Find(*now, value.name);
        const bool ofRegistration =
            path == KeyPath(key) && std::find(std::begin(kRegistrationValues), std::end(kRegistrationValues),
                                              LowerCase(value.name)) != std::end(kRegistrationValues);
        const bool changed = found != nullptr && (found->type != value.type || found->data != value.data);
        if (changed && !ofRegistration) {
            tell(NameOf(value) + u" of " + where + u" stays as a component wrote it, " +
                 RegistryJournal::DataText(found->type, found->data) + u" (it was " +
                 RegistryJournal::DataText(value.type, value.data) + u")");
            continue;
        }
        if (found != nullptr && !changed) {
            continue;
        }
        // The registration itself is the reset's: as it wrote it, whatever a component wrote since.
        if (Write(key, path, value)) {
            tell(changed ? u"Set back " + NameOf(value) + u" of " + where + u", which a component had changed to " +
                               RegistryJournal::DataText(found->type, found->data)
                         : u"Put back " + NameOf(value) + u" of " + where + u", which a component had removed");
            continue;
        }
        report.AddProblem(
            ofRegistration
                ? RunReport::Line{u"- the add-in's registration could not be written", "registrationNotWritten"}
                : RunReport::Line{.text = u"- the add-in's setting " + NameOf(value) + u" could not be put back",
                                  .code = "settingNotPutBack",
                                  .file = path + u"\\" + NameOf(value)});
        putBack = false;
    }
    for (const auto& [name, subtree] : kept.subkeys) {
        const Text below = Text(path).append(u"\\").append(name);
        const KeyTree* nowBelow = FindKey(now, name);
        if (nowBelow == nullptr && subtree.values.empty()) {
            // A key without values comes back with the first it holds, or on its own.
            platform::Handle opened = 0;
            std::uint32_t disposition = 0;
            if (KeyWalk::Open(platform::Registry(), key.root, below, platform::kKeyQueryValue | key.view, &kKeyClass,
                              opened, disposition) == platform::kErrorSuccess) {
                platform::UniqueRegistryKey made(opened);
            }
        }
        putBack = PutBack(key, below, subtree, nowBelow, log, report) && putBack;
    }
    return putBack;
}

Boolean AddinSettings::PutBack(RunLog* log, RunReport& report)
{
    bool putBack = true;
    for (const Kept& kept : mKept) {
        if (!kept.tree || kept.tree->Empty()) {
            continue;
        }
        std::int32_t status = 0;
        const auto now = KeyTree::Read(platform::Registry(), kept.key.root, KeyPath(kept.key), kept.key.view, status);
        report.AboutUser(kept.key.user);
        putBack = PutBack(kept.key, KeyPath(kept.key), *kept.tree, now ? &*now : nullptr, log, report) && putBack;
    }
    report.AboutUser(Text());
    return Boolean(putBack);
}
