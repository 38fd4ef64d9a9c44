#pragma once

#include "common/Text.h"
#include "trust/SecurityDescriptor.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Who this run is, as far as deciding where it may write needs it: whether
// files, keys and named objects have owners here at all (the NT line),
// whether the run holds an administrator's rights (LocalSystem, an elevated
// administrator), and so whom it trusts with what it keeps.
class RunRights {
public:
    // Rights that let one put something of one's own where a folder's files
    // or subfolders are: a link, a file, a folder; or change who may.
    static constexpr std::uint32_t kChangeAnything =
        0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x40000000 | SecurityDescriptor::kGenericAll;
    // Rights over a folder above that let one put another in its place or
    // move what is inside: delete, delete a child, change who may.
    static constexpr std::uint32_t kReplaceWhatIsInside =
        0x40 | 0x10000 | 0x40000 | 0x80000 | SecurityDescriptor::kGenericAll;

    // This process's, read from its token. Where the token cannot be read
    // the run counts as an administrator's, so that it never writes where
    // any user may; it then trusts only the system's own accounts.
    static RunRights OfThisProcess();

    bool HasSecurity() const noexcept { return mHasSecurity; }
    bool IsAdministrator() const noexcept { return mIsAdministrator; }
    // The NT line from that major version on (5 is Windows 2000, 6 Vista).
    bool IsNtAtLeast(std::uint32_t major) const noexcept { return mHasSecurity && mMajorVersion >= major; }

    // The system, the administrators, TrustedInstaller; and, for an
    // administrator's run, its own account and its token's owner (what
    // Wine makes every file's owner).
    bool Trusts(const std::string& sid) const;
    // What lets someone this run does not trust change an object of that
    // descriptor in one of those rights: "it is owned by CORP\alice", "BUILTIN\Users
    // may change it"; none where no one can.
    std::optional<Text> Distrust(const SecurityDescriptor& descriptor, std::uint32_t rights) const;

    // "CORP\alice" of a SID's text, or the text where no name is found.
    static Text NameOf(const std::string& sid);

private:
    bool TrustsWriter(const std::string& sid) const;

    bool mHasSecurity = false;
    bool mIsAdministrator = false;
    std::uint32_t mMajorVersion = 0;
    std::vector<std::string> mOwnSids;
};
