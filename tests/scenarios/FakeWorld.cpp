#include "World.h"

#include "fakes/FakePlatform.h"

#include <algorithm>

namespace scenarios {
namespace {

class FakeWorld final : public World {
public:
    explicit FakeWorld(std::uint32_t platformId)
    {
        mOs.kernel.platformId = platformId;
        mOs.kernel.majorVersion = platformId == 1 ? 4 : 5;
        mOs.kernel.minorVersion = 10;
        mOs.security.accounts[mOs.security.ownUser] = {"KESTRIN", "tester"};
        // A real folder lists itself and its parent first.
        mOs.kernel.folders[Folder()] = {{".", kDirectory}, {"..", kDirectory}};
    }

    bool IsFake() const override { return true; }
    bool NineXRegistry() const override { return false; }

    std::string TestKey() const override { return "Software\\KestrinScenarios"; }

    void MakeKey(const std::string& path, const std::string& keyClass) override
    {
        mOs.registry.MakeKey(kRoot, path).keyClass = keyClass;
    }

    void SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override
    {
        mOs.registry.SetValue(kRoot, path, name, type, data);
    }

    std::optional<StoredValue> Value(const std::string& path, const std::string& name) override
    {
        const fakes::FakeKey* key = mOs.registry.Key(kRoot, path);
        if (key == nullptr || key->values.count(name) == 0) {
            return std::nullopt;
        }
        const fakes::FakeValue& value = key->values.at(name);
        return StoredValue{value.type, value.data};
    }

    std::optional<std::string> KeyClass(const std::string& path) override
    {
        const fakes::FakeKey* key = mOs.registry.Key(kRoot, path);
        return key == nullptr ? std::nullopt : std::optional<std::string>(key->keyClass);
    }

    void MakeLink(const std::string& path, const std::string& target) override
    {
        mOs.registry.MakeLink(kRoot, path, kRoot, target);
    }

    std::string Folder() const override { return "C:\\Scenarios"; }

    void AddEntry(const std::string& relativePath, std::uint32_t attributes) override
    {
        const auto separator = relativePath.rfind('\\');
        const std::string folder =
            separator == std::string::npos ? Folder() : Folder() + "\\" + relativePath.substr(0, separator);
        const std::string name = separator == std::string::npos ? relativePath : relativePath.substr(separator + 1);
        if (separator != std::string::npos && mOs.kernel.folders.count(folder) == 0) {
            AddEntry(relativePath.substr(0, separator), kDirectory);
            mOs.kernel.folders[folder] = {{".", kDirectory}, {"..", kDirectory}};
        }
        mOs.kernel.folders[folder].push_back({name, attributes});
    }

    std::optional<std::string> FileContents(const std::string& path) override { return mOs.kernel.Contents(path); }

    void AddHardLink(const std::string& existing, const std::string& added) override
    {
        fakes::FakeEntry* entry = mOs.kernel.EntryAt(Folder() + "\\" + existing);
        entry->links = 2;
        fakes::FakeEntry second = *entry;
        second.name = added;
        mOs.kernel.folders[Folder()].push_back(second);
    }

    void StartProgram(const std::string& folder, const std::string& exeName) override
    {
        mOs.kernel.AddProcess(mNextId, "C:\\Scenarios\\" + folder + "\\" + exeName);
        mNextId += 4;
    }

    int Running(const std::string& exeName) override
    {
        return static_cast<int>(std::count_if(
            mOs.kernel.processes.begin(), mOs.kernel.processes.end(), [&](const fakes::FakeProcess& process) {
                return !process.terminated && process.path.size() > exeName.size() &&
                       process.path.substr(process.path.size() - exeName.size()) == exeName;
            }));
    }

    std::optional<int> OpenHandles() override { return mOs.kernel.OpenHandleCount() + mOs.registry.openHandles(); }

private:
    fakes::FakePlatform mOs;
    std::uint32_t mNextId = 0x400;
};

} // namespace

std::vector<WorldKind> Worlds()
{
    return {
        {"FakesNT", [] { return std::unique_ptr<World>(std::make_unique<FakeWorld>(2)); }},
        {"Fakes9x", [] { return std::unique_ptr<World>(std::make_unique<FakeWorld>(1)); }},
    };
}

} // namespace scenarios
