#include "trust/SecurityDescriptor.h"

#include "trust/WellKnownSids.h"

namespace {

// SECURITY_DESCRIPTOR_RELATIVE: revision, a byte, the control word, then the
// offsets of the owner, the group, the audit list and the access list.
constexpr std::size_t kHeaderBytes = 20;
constexpr std::uint8_t kRevision = 1;
constexpr std::uint16_t kDaclPresent = 0x0004;
constexpr std::uint16_t kDaclProtected = 0x1000;
constexpr std::uint16_t kSelfRelative = 0x8000;
// ACL: revision, a byte, its size, the count of entries, two bytes.
constexpr std::size_t kAclHeaderBytes = 8;
constexpr std::uint8_t kAclRevision = 2;
// An allowed or denied entry: type, flags, size, the mask, then the SID.
constexpr std::size_t kAceSidOffset = 8;

std::uint16_t Word(const platform::DescriptorBytes& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t Long(const platform::DescriptorBytes& bytes, std::size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void PutWord(platform::DescriptorBytes& bytes, std::size_t at, std::size_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLong(platform::DescriptorBytes& bytes, std::size_t at, std::size_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The SID at an offset, within the bytes that may hold it.
std::optional<std::string> SidAt(const platform::DescriptorBytes& bytes, std::size_t at, std::size_t end)
{
    if (at >= end || end > bytes.size()) {
        return std::nullopt;
    }
    return platform::SidText(bytes.data() + at, end - at);
}

bool NamesSid(std::uint8_t type)
{
    return type == SecurityDescriptor::kAccessAllowed || type == SecurityDescriptor::kAccessDenied ||
           type == SecurityDescriptor::kAccessAllowedCallback || type == SecurityDescriptor::kAccessDeniedCallback;
}

// The access list at an offset: none where it does not fit the bytes.
std::optional<std::vector<SecurityDescriptor::Ace>> AclAt(const platform::DescriptorBytes& bytes, std::size_t at)
{
    if (at + kAclHeaderBytes > bytes.size()) {
        return std::nullopt;
    }
    const std::size_t end = at + Word(bytes, at + 2);
    const std::size_t count = Word(bytes, at + 4);
    if (end > bytes.size() || end < at + kAclHeaderBytes) {
        return std::nullopt;
    }
    std::vector<SecurityDescriptor::Ace> aces;
    std::size_t ace = at + kAclHeaderBytes;
    for (std::size_t i = 0; i < count; ++i) {
        if (ace + kAceSidOffset > end) {
            return std::nullopt;
        }
        const std::size_t size = Word(bytes, ace + 2);
        if (size < kAceSidOffset || ace + size > end) {
            return std::nullopt;
        }
        SecurityDescriptor::Ace entry{bytes[ace], bytes[ace + 1], Long(bytes, ace + 4), {}};
        if (NamesSid(entry.type)) {
            entry.sid = SidAt(bytes, ace + kAceSidOffset, ace + size).value_or("");
        }
        aces.push_back(std::move(entry));
        ace += size;
    }
    return aces;
}

} // namespace

std::optional<SecurityDescriptor> SecurityDescriptor::Parse(const platform::DescriptorBytes& bytes)
{
    if (bytes.size() < kHeaderBytes || bytes[0] != kRevision || (Word(bytes, 2) & kSelfRelative) == 0) {
        return std::nullopt;
    }
    const std::uint16_t control = Word(bytes, 2);
    SecurityDescriptor descriptor;
    if (const std::uint32_t owner = Long(bytes, 4); owner != 0) {
        descriptor.mOwner = SidAt(bytes, owner, bytes.size());
        if (!descriptor.mOwner) {
            return std::nullopt;
        }
    }
    const std::uint32_t dacl = Long(bytes, 16);
    // A present list at offset 0 is the system's way of saying "no list": anyone may do anything.
    descriptor.mHasDacl = (control & kDaclPresent) != 0 && dacl != 0;
    descriptor.mIsProtected = (control & kDaclProtected) != 0;
    if (descriptor.mHasDacl) {
        auto aces = AclAt(bytes, dacl);
        if (!aces) {
            return std::nullopt;
        }
        descriptor.mAces = std::move(*aces);
    }
    return descriptor;
}

platform::DescriptorBytes SecurityDescriptor::Make(const std::string& owner,
                                                   const std::optional<std::vector<Ace>>& dacl, bool isProtected)
{
    platform::DescriptorBytes bytes(kHeaderBytes, 0);
    bytes[0] = kRevision;
    std::uint16_t control = kSelfRelative;
    if (const auto sid = platform::SidOfText(owner)) {
        PutLong(bytes, 4, bytes.size());
        bytes.insert(bytes.end(), sid->begin(), sid->end());
    }
    if (dacl) {
        control |= kDaclPresent | (isProtected ? kDaclProtected : 0);
        const std::size_t at = bytes.size();
        PutLong(bytes, 16, at);
        bytes.resize(at + kAclHeaderBytes, 0);
        bytes[at] = kAclRevision;
        for (const Ace& ace : *dacl) {
            const platform::Sid sid = platform::SidOfText(ace.sid).value_or(platform::Sid());
            const std::size_t entry = bytes.size();
            bytes.resize(entry + kAceSidOffset, 0);
            bytes[entry] = ace.type;
            bytes[entry + 1] = ace.flags;
            PutWord(bytes, entry + 2, kAceSidOffset + sid.size());
            PutLong(bytes, entry + 4, ace.mask);
            bytes.insert(bytes.end(), sid.begin(), sid.end());
        }
        PutWord(bytes, at + 2, bytes.size() - at);
        PutWord(bytes, at + 4, dacl->size());
    }
    PutWord(bytes, 2, control);
    return bytes;
}

platform::DescriptorBytes SecurityDescriptor::ForAdministrators(bool withOwner, bool isProtected)
{
    constexpr std::uint8_t kPassedOn = kObjectInherit | kContainerInherit;
    return Make(withOwner ? std::string(kAdministratorsSid) : std::string(),
                std::vector<Ace>{{kAccessAllowed, kPassedOn, kFullControl, std::string(kSystemSid)},
                                 {kAccessAllowed, kPassedOn, kFullControl, std::string(kAdministratorsSid)}},
                isProtected);
}
