#pragma once

#include "common/Boolean.h"
#include "registry/KeyTree.h"
#include "reset/AddinRegistration.h"
#include "scope/RunLog.h"
#include "scope/RunReport.h"

#include <optional>
#include <vector>

// The add-in's own settings beneath its registration keys, which a
// component may take with it: many libraries delete the whole registration
// key in DllUnregisterServer and write back only their own few values.
// Before the unregistering, every key the reset repairs is copied whole;
// after the registering, what is missing of it is put back as it was, the
// four values as the reset wrote them. A value a component changed rather
// than removed stays as it wrote it.
class AddinSettings {
public:
    explicit AddinSettings(std::vector<AddinRegistration::Key> keys);

    void Keep();
    // False, with a line for each, where something could not be put back.
    Boolean PutBack(RunLog* log, RunReport& report);

private:
    struct Kept {
        AddinRegistration::Key key;
        std::optional<KeyTree> tree;
    };

    bool PutBack(const AddinRegistration::Key& key, const Text& path, const KeyTree& kept, const KeyTree* now,
                 RunLog* log, RunReport& report);
    static bool Write(const AddinRegistration::Key& key, const Text& path, const KeyTree::Value& value);

    std::vector<Kept> mKept;
};
