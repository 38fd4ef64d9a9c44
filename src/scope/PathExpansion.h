#pragma once

#include "common/Text.h"
#include "pe/PeImage.h"
#include "platform/Handle.h"

#include <map>
#include <optional>
#include <string_view>

class CRegistry;

// The %variables% of a REG_EXPAND_SZ path as the program that uses the path
// expands them, not as this tool does: a 64-bit Outlook sees ProgramFiles
// and CommonProgramFiles as the 64-bit folders where this 32-bit tool sees
// the 32-bit ones, and a user's own variables (LOCALAPPDATA, ...) are that
// user's, never those of the account the tool runs as.
class PathExpansion {
public:
    // As this program expands them.
    PathExpansion() = default;
    // As a program of that bitness on this Windows.
    static PathExpansion ForBitness(Bitness bitness);
    // The same with the variables of the user whose hive is userRoot, where
    // that is another user's than this program's own.
    PathExpansion ForUser(platform::Handle userRoot) const;

    // None where a variable is left that only the user's own environment
    // could give, or where the text would pass 32,767 characters.
    std::optional<Text> Expand(std::u16string_view text) const;
    // A REG_SZ text, or a REG_EXPAND_SZ one expanded; none for a value that
    // is missing, of another type, or cannot be expanded.
    std::optional<Text> Read(CRegistry& key, const Text& name) const;

private:
    void ReadVariables(platform::Handle userRoot, const Text& keyName);

    // By lower-case name.
    std::map<Text, Text> mValues;
    bool mOfOtherUser = false;
};
