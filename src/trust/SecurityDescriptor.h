#pragma once

#include "platform/SecurityBytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A security descriptor as the system lays it out in one block (its
// self-relative form): who owns an object, and who may do what with it.
// SIDs are told by their text, "S-1-5-18".
class SecurityDescriptor {
public:
    // One entry of the access list.
    struct Ace {
        std::uint8_t type = kAccessAllowed;
        std::uint8_t flags = 0;
        std::uint32_t mask = 0;
        // Empty where the entry names no SID this program can read.
        std::string sid;
    };

    static constexpr std::uint8_t kAccessAllowed = 0;
    static constexpr std::uint8_t kAccessDenied = 1;
    static constexpr std::uint8_t kAccessAllowedCallback = 9;
    static constexpr std::uint8_t kAccessDeniedCallback = 10;
    // Passed on to files and to folders made inside; for those alone, not for the object itself.
    static constexpr std::uint8_t kObjectInherit = 0x1;
    static constexpr std::uint8_t kContainerInherit = 0x2;
    static constexpr std::uint8_t kInheritOnly = 0x8;
    static constexpr std::uint32_t kFullControl = 0x1F01FF;
    static constexpr std::uint32_t kGenericAll = 0x10000000;

    // None where the bytes are no security descriptor in its self-relative form.
    static std::optional<SecurityDescriptor> Parse(const platform::DescriptorBytes& bytes);
    // The bytes of one: owner empty for none; no access list at all where
    // dacl is none (anyone may do anything). Protected: the parent's
    // entries are not passed on to it.
    static platform::DescriptorBytes Make(const std::string& owner, const std::optional<std::vector<Ace>>& dacl,
                                          bool isProtected);
    // What the tool's own folders, files and named objects get: full control
    // for the system and the administrators, passed on to what is made
    // inside, and nothing for anyone else, not even read; owned by the
    // administrators where withOwner (a system that refuses that owner
    // makes the run's own token owner it). Protected where the system knows
    // of it (Windows 2000 and later).
    static platform::DescriptorBytes ForAdministrators(bool withOwner, bool isProtected);

    // None where the descriptor names no owner.
    const std::optional<std::string>& Owner() const noexcept { return mOwner; }
    // False for no access list at all: anyone may do anything.
    bool HasDacl() const noexcept { return mHasDacl; }
    const std::vector<Ace>& Aces() const noexcept { return mAces; }
    bool IsProtected() const noexcept { return mIsProtected; }

private:
    std::optional<std::string> mOwner;
    bool mHasDacl = false;
    bool mIsProtected = false;
    std::vector<Ace> mAces;
};
