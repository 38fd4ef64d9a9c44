#pragma once

#include "common/Text.h"
#include "platform/RegistryServices.h"
#include "registry/KeyTree.h"

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
// that put it back as it is; after each change, what it did. Keys are named
// as regedit names them: a key of the 32-bit view on 64-bit Windows by its
// Wow6432Node path. Everything is read through the wide calls, so that a
// name or a text outside the code page comes back exactly.
class RegistryJournal final : public platform::RegistryServices {
public:
    // The file's form: REGEDIT4 in the code page, which the 9x line's regedit
    // imports; "Windows Registry Editor Version 5.00" in UTF-16, the NT line's.
    enum class Format { Regedit4, Regedit5 };

    class Listener {
    public:
        virtual ~Listener() = default;
        // Lines that restore what the next change alters, each block once.
        virtual void Before(const Text& regLines) = 0;
        // What a change did: "Set ...", "Deleted ...", "Created ...".
        virtual void After(const Text& line, bool failed) = 0;
    };

    // registry: the one installed before, which every call goes on to.
    RegistryJournal(platform::RegistryServices& registry, Listener& listener, bool windows64, Format format);

    // The key as regedit names it: "HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\..."
    // classesApart: the 32-bit view's classes are a tree of their own, every
    // key of them named by the node, not the class identifiers alone.
    static Text NameOf(platform::Handle root, const Text& path, std::uint32_t view, bool windows64, bool classesApart);
    // A value as a line of a .reg file of the form, its data as the wide
    // calls give it. A text that holds a control character goes in the hex
    // form of its type: every line of the file is one line of the registry.
    static Text RegLine(Format format, const Text& name, std::uint32_t type, const std::vector<std::uint8_t>& data);
    // A value's data, as the wide calls give it, as a log line tells it.
    static Text DataText(std::uint32_t type, const std::vector<std::uint8_t>& data);

    // The key as it is now, before anything changes it: the import puts it
    // back so (what was made in it since goes), or deletes it where it is
    // not there now. Once a key; what is beneath a saved key needs no more.
    void Save(platform::Handle root, const Text& path, std::uint32_t view);
    // A key made since without this journal (by another program): the import deletes it.
    void Made(platform::Handle root, const Text& path, std::uint32_t view);
    // Whether the key was there when it was saved; none for a key not saved.
    std::optional<bool> WasThere(platform::Handle root, const Text& path, std::uint32_t view) const;

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
    std::int32_t RegOpenKeyExW(platform::Handle root, const std::u16string& subKey, std::uint32_t options,
                               std::uint32_t samDesired, platform::Handle& result) override;
    std::int32_t RegCreateKeyExW(platform::Handle root, const std::u16string& subKey, const std::u16string& keyClass,
                                 std::uint32_t options, std::uint32_t samDesired, platform::Handle& result,
                                 std::uint32_t& disposition) override;
    std::int32_t RegEnumKeyExW(platform::Handle key, std::uint32_t index, char16_t* name,
                               std::uint32_t& nameChars) override;
    std::int32_t RegEnumValueW(platform::Handle key, std::uint32_t index, char16_t* name, std::uint32_t& nameChars,
                               std::uint32_t& type, std::uint8_t* data, std::uint32_t& bytes) override;
    std::int32_t RegQueryValueExW(platform::Handle key, const std::u16string& valueName, std::uint32_t& type,
                                  std::uint8_t* data, std::uint32_t& bytes) override;
    std::int32_t RegSetValueExW(platform::Handle key, const std::u16string& valueName, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t bytes) override;

private:
    // Where a key is: under which predefined root, by which path, in which view.
    struct Place {
        platform::Handle root = 0;
        Text path;
        std::uint32_t view = 0;
    };
    // A value as it was: there, not there, or not to be read (with the status).
    struct Old {
        std::optional<KeyTree::Value> value;
        std::int32_t status = 0;
    };

    // The place of a subkey of a predefined root or of an open key; none for a key this journal never saw opened.
    std::optional<Place> PlaceOf(platform::Handle key, const Text& subKey, std::uint32_t samDesired) const;
    Text Name(const Place& place) const;
    // Windows 7 and later share a 32-bit program's classes but for the class
    // identifiers; Wine and the 64-bit Windows before keep them all under
    // Software\Classes\Wow6432Node: there, the 32-bit view lists what the
    // node lists. Asked once a hive.
    bool ClassesKeptApart(platform::Handle root, const Text& hive) const;
    Old ValueAt(const Place& place, const Text& name);
    // The key with its values and subkeys, as lines of a .reg file; values
    // already told as they were before the run are left to those lines.
    Text Tree(const Place& place, const KeyTree& tree);
    // Whether the key or one above it was saved whole or told as made.
    bool Covered(const Text& name) const;
    void BackUpValue(const Place& place, const Text& name, const Old& old);
    void KeyMade(const std::optional<Place>& place);
    void Opened(const std::optional<Place>& place, std::int32_t status, platform::Handle result,
                std::uint32_t disposition);
    // A change of a value: its line made from the value's name, what it was and the change's status.
    using Telling = std::function<Text(const Text& value, const Old& old, std::int32_t status)>;
    std::int32_t ValueChanged(platform::Handle key, const Text& valueName, const Telling& tell,
                              const std::function<std::int32_t()>& change);
    std::int32_t KeyDeleted(const std::optional<Place>& place, const std::function<std::int32_t()>& remove);
    Text LineOf(const KeyTree::Value& value) const;

    platform::RegistryServices& mRegistry;
    Listener& mListener;
    bool mWindows64;
    Format mFormat;
    std::map<platform::Handle, Place> mPlaces;
    // The keys and values whose state before the run is told already.
    std::set<Text> mBackedUp;
    // The keys saved whole, or told as made by the run, by their names in lower case.
    std::set<Text> mWhole;
    // The keys saved, by their names in lower case: whether each was there.
    std::map<Text, bool> mSaved;
    // Whether each hive keeps its 32-bit classes apart, by the hive's name in lower case.
    mutable std::map<Text, bool> mClassesApart;
};
