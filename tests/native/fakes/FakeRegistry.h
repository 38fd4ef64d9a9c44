#pragma once

#include "platform/RegistryServices.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fakes {

// Key and value names compare without regard to ASCII case, as the registry's do.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct FakeValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    // A text written in UTF-16, as the wide calls write it; else in the code
    // page (Latin-1, '?' for the rest), as the ANSI ones do. Each form reads
    // the other converted.
    bool wide = false;
};

struct FakeKey {
    std::string keyClass;
    std::map<std::string, FakeValue, NoCaseLess> values;
    std::map<std::string, std::unique_ptr<FakeKey>, NoCaseLess> subkeys;
    // Made with REG_OPTION_VOLATILE: gone when Windows starts again.
    bool isVolatile = false;
    // A registry link: the root and path of the key it leads to, which an
    // open follows unless it asks for the link itself (REG_OPTION_OPEN_LINK).
    std::optional<std::pair<platform::Handle, std::string>> linkTo = {};
};

// advapi32 in memory: a tree of keys under the predefined roots, with typed
// values as bytes, key classes, dispositions, subkeys in the registry's
// (alphabetical) order, per-handle access rights and injectable failures.
class FakeRegistry : public platform::RegistryServices {
public:
    FakeRegistry();

    // HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT as KEY_WOW64_64KEY shows them:
    // the 64-bit view, a tree of its own. The plain roots are the 32-bit
    // view, which KEY_WOW64_32KEY and no flag show.
    static constexpr platform::Handle kLocalMachine64 = 0x80000102;
    static constexpr platform::Handle kClassesRoot64 = 0x80000100;
    // A user's hive in the 64-bit view. On Windows only its Software\Classes
    // differs from the 32-bit view, and the program reads only the add-in's
    // class in it.
    static constexpr platform::Handle kCurrentUser64 = 0x80000101;
    static constexpr platform::Handle kUsers64 = 0x80000103;
    // Before 64-bit Windows had RegDeleteKeyExA.
    bool hasRegDeleteKeyEx = true;

    // Failures to inject.
    std::set<platform::Handle> deniedRoots; // creating or opening for writing under them: ERROR_ACCESS_DENIED
    std::set<std::string, NoCaseLess>
        deniedWrites; // value names whose writes and deletes fail with ERROR_ACCESS_DENIED
    std::set<std::string, NoCaseLess> deniedKeyDeletes; // subkey names whose deletion fails so
    std::optional<std::int32_t> dataReadStatus;         // the status of every read that asks for data
    // the status of every RegOpenKeyExA of these paths, from their root or as given
    std::map<std::string, std::int32_t, NoCaseLess> openStatus;
    // Names RegEnumValueA gives best fit, by the value's own name: a wide name
    // that does not survive the code page.
    std::map<std::string, std::string> listedAs;
    // Called between a size query and the following read of data, to change the value under the reader.
    std::function<void(FakeValue&)> betweenReads;

    // Observation.
    int openHandles() const { return static_cast<int>(mHandles.size()); }
    int closes = 0;
    std::vector<std::string> writes;      // value names, in the order they were written
    std::vector<std::uint32_t> accesses;  // samDesired of each RegCreateKeyExA
    std::vector<std::string> deletes;     // value names, in the order they were deleted
    std::vector<std::string> keyDeletes;  // subkey names, in the order they were deleted
    std::vector<std::string> opens;       // subkey paths of each RegOpenKeyExA
    std::vector<std::string> createdKeys; // paths from their root of the keys RegCreateKeyExA made

    // Windows starts again: the volatile keys are gone.
    void Restart();

    // The key at a path under a root (no creation), or null; links on the
    // way are followed, the last one too unless openLink.
    FakeKey* Key(platform::Handle root, const std::string& path, bool openLink = false);
    // A link at a path that leads to a key of another root, with the value
    // that names it as Windows keeps it ("\REGISTRY\MACHINE\...").
    void MakeLink(platform::Handle root, const std::string& path, platform::Handle targetRoot,
                  const std::string& targetPath);
    FakeKey& MakeKey(platform::Handle root, const std::string& path);
    void SetValue(platform::Handle root, const std::string& path, const std::string& name, std::uint32_t type,
                  std::vector<std::uint8_t> data);
    void SetDword(platform::Handle root, const std::string& path, const std::string& name, std::uint32_t number);
    void SetText(platform::Handle root, const std::string& path, const std::string& name, const std::string& text);
    // A REG_SZ value in UTF-16, with characters the code page lacks.
    void SetWideText(platform::Handle root, const std::string& path, const std::string& name,
                     const std::u16string& text);

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
    bool HasRegDeleteKeyExA() override { return hasRegDeleteKeyEx; }
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

    // Names in the code page, as the fake keeps them.
    static std::string Narrow(const std::u16string& text);
    static std::u16string Widen(const std::string& text);

    // A value's data as the ANSI or the wide form reads it.
    static std::vector<std::uint8_t> DataAs(const FakeValue& value, bool wide);

private:
    // An open key, and where it was opened: its predefined root and path, so
    // that a delete can find the key again in another view.
    struct OpenKey {
        FakeKey* key;
        std::uint32_t access;
        platform::Handle root;
        std::string path;
    };

    FakeKey* Resolve(platform::Handle handle);
    static platform::Handle InView(platform::Handle root, std::uint32_t samDesired);
    platform::Handle NewHandle(FakeKey* key, std::uint32_t access, platform::Handle root, const std::string& subKey);
    // The predefined root and the path from it of a subkey of root, which may be an open key.
    std::pair<platform::Handle, std::string> Located(platform::Handle root, const std::string& subKey) const;
    std::int32_t DeleteKeyIn(platform::Handle key, const std::string& subKey, std::uint32_t view);
    // The open key of a handle that has the access asked for; otherwise the registry's status.
    std::int32_t Opened(platform::Handle handle, std::uint32_t access, OpenKey*& open);
    std::map<platform::Handle, FakeKey> mRoots;
    std::map<platform::Handle, OpenKey> mHandles;
    std::set<std::string, NoCaseLess> mSizeQueried;
    platform::Handle mNextHandle = 0x2000;
};

} // namespace fakes
