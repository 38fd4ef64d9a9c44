#pragma once

#include "common/Text.h"
#include "platform/RegistryServices.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// A key with every value and subkey beneath it, read whole through the wide
// calls, so that every name and text comes back exactly. A value's data is
// as the wide calls give it: texts in UTF-16.
struct KeyTree {
    struct Value {
        Text name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };

    // A subkey by its name, with all beneath it.
    struct Subkey;

    std::vector<Value> values;
    std::vector<Subkey> subkeys;
    // Values that could not be read, with the registry's status.
    std::vector<std::pair<Text, std::int32_t>> unreadable;
    // False where anything was left out: a name no line of a file can hold
    // (a control character), a value too large or unreadable, a listing cut short.
    bool whole = true;

    // None where the key cannot be opened; status then says why
    // (ERROR_FILE_NOT_FOUND where it is not there). A user's keys are opened
    // without following a link.
    static std::optional<KeyTree> Read(platform::RegistryServices& registry, platform::Handle root, const Text& path,
                                       std::uint32_t view, std::int32_t& status);
    // One value of an open key: ERROR_FILE_NOT_FOUND where it is not there.
    static std::int32_t ReadValue(platform::RegistryServices& registry, platform::Handle key, const Text& name,
                                  Value& value);
    // Whether everything beneath holds no value or subkey at all.
    bool Empty() const noexcept;
};

struct KeyTree::Subkey {
    Text name;
    KeyTree tree;
};
