#pragma once

#include "common/Text.h"
#include "platform/Handle.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The machine type of a PE image from its first bytes (0x014C for 32-bit,
// 0x8664 for 64-bit); none when the bytes hold no PE header within them.
std::optional<std::uint16_t> MachineOfImage(std::span<const std::uint8_t> head);

// What decides, beyond the reset, whether Outlook loads the add-in: that its
// class leads to a library, and that nothing the reset must not change keeps
// it out. It only reads, and opens only keys that exist.
class OutlookLoadCheck {
public:
    OutlookLoadCheck(platform::Handle userRoot, Text mainLibrary);

    // True when KestrinSoftware.Connect's CLSID leads to an in-process server
    // file that exists.
    bool IsClassRegistered() const;
    // One line for each thing that keeps Outlook from loading the add-in and
    // that only the user or an administrator can change.
    std::vector<Text> Blockers() const;

private:
    bool IsBlockedByPolicy() const;
    bool IsBlockedByPolicyIn(const Text& resiliencyKey) const;
    bool UsesNewOutlook() const;
    std::optional<bool> IsOutlook64Bit() const;
    std::optional<bool> IsMainLibrary64Bit() const;

    platform::Handle mUserRoot;
    Text mMainLibrary;
};
