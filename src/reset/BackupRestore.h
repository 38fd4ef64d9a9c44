#pragma once

#include "common/Boolean.h"
#include "platform/Handles.h"
#include "registry/RegFile.h"
#include "reset/ComponentKeys.h"
#include "scope/RunLog.h"
#include "scope/RunReport.h"

#include <map>
#include <optional>
#include <vector>

// A reset's backup put back by the tool itself, not by regedit, whose own
// bitness decides where keys land: each key goes into the view its name
// gives (a Wow6432Node path to the 32-bit view, any other to the 64-bit
// one), and only a key a reset backs up is written at all; any other is
// named and left alone. A key above the add-in's that a reset made
// ("[-...\Office]") goes only where nothing but the add-in's keys lies
// beneath it, and of those only the ones its own names give (its
// registration, its ProgID): no class of anyone's goes with a key above.
// A user's keys are reached through her loaded hive, never through a link.
class BackupRestore {
public:
    BackupRestore(RegFile file, bool windows64);

    // The keys it writes in, for the restore's own backup first.
    std::vector<ComponentKeys::Key> Keys() const;
    // False, with a line for each, where something was not put back.
    Boolean PutBack(RunLog& log, RunReport& report);
    // How many keys were put back as the backup holds them.
    std::size_t KeysPutBack() const noexcept { return mPutBack; }

private:
    // Whether a key is one a reset backs up, above one, neither, or of a user whose hive is not loaded.
    enum class Kind { Other, Ours, Above, HiveNotLoaded };
    struct Place {
        platform::Handle root = 0;
        Text path;
        std::uint32_t view = 0;
        bool machine = true;
        Kind kind = Kind::Other;
    };

    static Kind KindOf(bool machine, const std::vector<Text>& names, bool namedAlone = false);

    Place PlaceOf(const Text& name);
    bool PutBack(const RegFile::Block& block, const Place& place, RunReport& report);
    bool Write(const RegFile::Block& block, const Place& place, RunReport& report);
    // Deletes what of the add-in's lies beneath, then the key where that
    // leaves it empty; false where the key stays.
    bool DeleteWhereOnlyOurs(const Place& place);

    RegFile mFile;
    bool mWindows64;
    std::vector<Place> mPlaces;
    // Each user's loaded hive, opened once.
    std::map<Text, platform::UniqueRegistryKey> mHives;
    std::size_t mPutBack = 0;
};
