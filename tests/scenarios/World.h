#pragma once

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace scenarios {

// File attributes as the find functions report them.
inline constexpr std::uint32_t kReadOnly = 0x1;
inline constexpr std::uint32_t kHidden = 0x2;
inline constexpr std::uint32_t kSystem = 0x4;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNormal = 0x80;

struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// Where a scenario runs: the in-memory fakes, or the real system through the
// Win32 layer. A world installs its services for its lifetime, arranges what
// a scenario needs within its own corner of the system and clears it at the end:
// a test key under HKEY_CURRENT_USER, a temporary folder, programs it started.
class World {
public:
    static constexpr platform::Handle kRoot = platform::kHkeyCurrentUser;

    virtual ~World() = default;

    virtual bool IsFake() const = 0;
    // The registry of the 9x line, which has no security and so ignores
    // access masks, and skips one leading backslash of a key path. The fake
    // registry is the NT line's.
    virtual bool NineXRegistry() const = 0;

    // Registry paths below kRoot; TestKey() is empty at the start.
    virtual std::string TestKey() const = 0;
    virtual void MakeKey(const std::string& path, const std::string& keyClass) = 0;
    virtual void SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                          const std::vector<std::uint8_t>& data) = 0;
    virtual std::optional<StoredValue> Value(const std::string& path, const std::string& name) = 0;
    // The key's class; none when the key does not exist.
    virtual std::optional<std::string> KeyClass(const std::string& path) = 0;
    // A registry link at the path that leads to the key at the other (the NT line's).
    virtual void MakeLink(const std::string& path, const std::string& target) = 0;

    // An empty folder; entries are named relative to it, folders made as needed.
    virtual std::string Folder() const = 0;
    virtual void AddEntry(const std::string& relativePath, std::uint32_t attributes) = 0;
    // A file's bytes by its full path; none where it is not there.
    virtual std::optional<std::string> FileContents(const std::string& path) = 0;
    // A second name for a file of the folder, both relative to it (the NT line's).
    virtual void AddHardLink(const std::string& existing, const std::string& added) = 0;

    // Starts a program that runs until the world ends, as the given file of
    // a folder of its own.
    virtual void StartProgram(const std::string& folder, const std::string& exeName) = 0;
    // How many programs the world started under that file name run now.
    virtual int Running(const std::string& exeName) = 0;
    // Handles the world can count that the code under test left open; none
    // where the real system cannot tell them from anyone else's.
    virtual std::optional<int> OpenHandles() = 0;
};

struct WorldKind {
    const char* name;
    std::unique_ptr<World> (*make)();
};

// The worlds of this test program, each scenario runs in every one: the
// fakes with the NT and the 9x process listings natively, Win32 in the
// contract run (under Wine, as whichever Windows it is told to report).
std::vector<WorldKind> Worlds();

inline void PrintTo(const WorldKind& kind, std::ostream* out)
{
    *out << kind.name;
}

inline std::string NameOfWorld(const ::testing::TestParamInfo<WorldKind>& info)
{
    return info.param.name;
}

} // namespace scenarios
