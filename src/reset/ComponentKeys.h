#pragma once

#include "common/Text.h"
#include "platform/Handle.h"
#include "reset/AddinRegistration.h"
#include "scope/ResetScope.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

// The keys the regsvr32 runs of a reset may change, beside the values the
// reset writes itself: the add-in's registrations, its ProgID and class in
// the machine's classes and each user's, in the edition's view, the type
// library its class names, and every class whose server lies in the
// add-in's folder. The backup holds them as they were before the first
// change; after the registering, the classes the components made that were
// not there before are deleted by the backup's import. What a component
// writes anywhere else no backup holds.
class ComponentKeys {
public:
    struct Key {
        platform::Handle root;
        Text path;
        std::uint32_t view;
    };

    ComponentKeys(const ResetScope& scope, const AddinRegistration& registration);

    // Every such key there is now, or would be; and the names of every class
    // there is, to tell later what the components made.
    std::vector<Key> Before();
    // The add-in's classes and those of its folder that were not there before.
    std::vector<Key> MadeSince() const;

private:
    // The classes of a root that are the add-in's: its ProgID's, and those
    // whose server is in its folder; by the CLSID in lower case, to the CLSID as stored.
    std::map<Text, Text> AddinClasses(platform::Handle root) const;
    // The subkeys of a key of a root's classes, in lower case.
    std::set<Text> NamesUnder(platform::Handle root, const Text& key) const;
    std::optional<Text> TypeLibraryOf(platform::Handle root, const Text& clsid) const;

    const ResetScope& mScope;
    std::vector<Key> mRegistrations;
    std::vector<platform::Handle> mRoots;
    std::uint32_t mView;
    // What was there before, by root: the classes and the type libraries.
    std::map<platform::Handle, std::set<Text>> mClassesBefore;
    std::map<platform::Handle, std::set<Text>> mLibrariesBefore;
    std::set<std::pair<platform::Handle, Text>> mKept;
};
