#pragma once

#include "common/Text.h"
#include "platform/RegistryServices.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The registry as a reset changes it. Installed in place of the registry
// for the run, it passes every call through and tells each change twice:
// before the first change of a value or a key, the lines of a .reg file
// (REGEDIT4, which every Windows imports) that put it back as it is; after
// each change, what it did. Keys are named as regedit names them: a key of
// the 32-bit view on 64-bit Windows by its Wow6432Node path.
class RegistryJournal final : public platform::RegistryServices {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // Lines that restore what the next change alters, each block once.
        virtual void Before(const std::string& regLines) = 0;
        // What a change did: "Set ...", "Deleted ...", "Created ...".
        virtual void After(const Text& line, bool failed) = 0;
    };

    // registry: the one installed before, which every call goes on to.
    RegistryJournal(platform::RegistryServices& registry, Listener& listener, bool windows64);

    // The key as regedit names it: "HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\..."
    static std::string NameOf(platform::Handle root, const std::string& path, std::uint32_t view, bool windows64);
    // A value as a line of a REGEDIT4 file.
    static std::string RegLine(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data);
    // A value's data as a log line tells it.
    static Text DataText(std::uint32_t type, const std::vector<std::uint8_t>& data);

    std::int32_t RegCreateKeyExA(platform::Handle root, const std::string& subKey, std::uint32_t reserved,
                                 const std::string& keyClass, std::uint32_t options, std::uint32_t samDesired,
                                 platform::Handle& result, std::uint32_t& disposition) override;
    std::int32_t RegSetValueExA(platform::Handle key, const std::string& valueName, std::uint32_t reserved,
                                std::uint32_t type, const std::uint8_t* data, std::uint32_t bytes) override;
    std::int32_t RegQueryValueExA(platform::Handle key, const std::string& valueName, std::uint32_t& type,
                                  std::uint8_t* data, std::uint32_t& bytes) override;
    std::int32_t RegEnumKeyExA(platform::Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                               char* keyClass, std::uint32_t* classChars, std::uint64_t& lastWriteTime) override;
    std::int32_t RegOpenKeyExA(platform::Handle root, const std::string& subKey, std::uint32_t options,
                               std::uint32_t samDesired, platform::Handle& result) override;
    std::int32_t RegEnumValueA(platform::Handle key, std::uint32_t index, char* name, std::uint32_t& nameChars,
                               std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes) override;
    std::int32_t RegDeleteValueA(platform::Handle key, const std::string& valueName) override;
    std::int32_t RegDeleteKeyA(platform::Handle key, const std::string& subKey) override;
    bool HasRegDeleteKeyExA() override;
    std::int32_t RegDeleteKeyExA(platform::Handle key, const std::string& subKey, std::uint32_t samDesired) override;
    std::int32_t RegCloseKey(platform::Handle key) override;

private:
    // Where a key is: under which predefined root, by which path, in which view.
    struct Place {
        platform::Handle root = 0;
        std::string path;
        std::uint32_t view = 0;
    };
    struct Value {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };

    // The place of a subkey of a predefined root or of an open key; none for a key this journal never saw opened.
    std::optional<Place> PlaceOf(platform::Handle key, const std::string& subKey, std::uint32_t samDesired) const;
    std::string Name(const Place& place) const;
    std::optional<Value> ValueAt(const Place& place, const std::string& name);
    // The key with its values and subkeys, as lines of a .reg file; empty where it is not there.
    std::string Tree(const Place& place, Text& values);
    void BackUpValue(const Place& place, const std::string& name, const std::optional<Value>& old);
    // A change of a value: its line made from the value's name, what it was and the change's status.
    using Telling = std::function<Text(const Text& value, const std::optional<Value>& old, std::int32_t status)>;
    std::int32_t ValueChanged(platform::Handle key, const std::string& valueName, const Telling& tell,
                              const std::function<std::int32_t()>& change);
    std::int32_t KeyDeleted(const std::optional<Place>& place, const std::function<std::int32_t()>& remove);

    platform::RegistryServices& mRegistry;
    Listener& mListener;
    bool mWindows64;
    std::map<platform::Handle, Place> mPlaces;
    // The keys and values whose state before the run is told already.
    std::set<std::string> mBackedUp;
};
