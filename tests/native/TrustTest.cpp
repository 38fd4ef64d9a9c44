// What an administrator's run trusts: security descriptors and SIDs as the
// system lays them out, who the run is, and who else may change an object.
#include "fakes/FakePlatform.h"
#include "trust/AdministratorsMutex.h"
#include "trust/RunRights.h"
#include "trust/SecurityDescriptor.h"

#include <gtest/gtest.h>

namespace {

using Ace = SecurityDescriptor::Ace;
constexpr std::uint8_t kAllow = SecurityDescriptor::kAccessAllowed;
constexpr std::uint8_t kPassedOn = SecurityDescriptor::kObjectInherit | SecurityDescriptor::kContainerInherit;
constexpr std::uint32_t kFull = SecurityDescriptor::kFullControl;
const std::string kAlice = "S-1-5-21-7-1001";
const std::string kUsers = "S-1-5-32-545";

// The bytes Windows makes of "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)" in
// its self-relative form, the owner before the access list.
const platform::DescriptorBytes kAdministratorsBytes = {
    0x01, 0x00, 0x04, 0x90, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0x00,
    0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x20, 0x00, 0x00, 0x00, 0x20, 0x02, 0x00, 0x00,
    0x02, 0x00, 0x34, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x03, 0x14, 0x00, 0xFF, 0x01, 0x1F, 0x00, 0x01, 0x01,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x12, 0x00, 0x00, 0x00, 0x00, 0x03, 0x18, 0x00, 0xFF, 0x01, 0x1F, 0x00,
    0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x20, 0x00, 0x00, 0x00, 0x20, 0x02, 0x00, 0x00};

TEST(TrustTest, DescriptorsAndSidsAreReadAndMadeAsTheSystemLaysThemOut)
{
    EXPECT_EQ(SecurityDescriptor::ForAdministrators(true, true), kAdministratorsBytes);
    const auto parsed = SecurityDescriptor::Parse(kAdministratorsBytes);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Owner(), "S-1-5-32-544");
    EXPECT_TRUE(parsed->HasDacl() && parsed->IsProtected());
    ASSERT_EQ(parsed->Aces().size(), 2u);
    EXPECT_EQ(parsed->Aces()[0].sid, "S-1-5-18");
    EXPECT_EQ(parsed->Aces()[1].mask, kFull);
    EXPECT_EQ(parsed->Aces()[1].flags, kPassedOn);
    // Before Windows 2000 no list is protected, and a system may refuse the owner.
    const auto plain = SecurityDescriptor::Parse(SecurityDescriptor::ForAdministrators(false, false));
    EXPECT_TRUE(plain && !plain->Owner() && !plain->IsProtected() && plain->Aces().size() == 2);

    // A present list at offset 0 is no list at all; anything cut short or of another form is no descriptor.
    platform::DescriptorBytes bytes = kAdministratorsBytes;
    bytes[16] = 0;
    EXPECT_FALSE(SecurityDescriptor::Parse(bytes).value().HasDacl());
    for (const auto& [what, change] :
         std::vector<std::pair<const char*, std::function<void(platform::DescriptorBytes&)>>>{
             {"empty", [](auto& b) { b.clear(); }},
             {"absolute", [](auto& b) { b[3] = 0x10; }},
             {"owner past the end", [](auto& b) { b[4] = 0xF0; }},
             {"list longer than the bytes", [](auto& b) { b[38] = 0x44; }},
             {"an entry of no size", [](auto& b) { b[46] = 0; }},
             {"an entry past its list", [](auto& b) { b[46] = 0x30; }},
             {"cut inside the owner", [](auto& b) { b.resize(30); }}}) {
        platform::DescriptorBytes changed = kAdministratorsBytes;
        change(changed);
        EXPECT_FALSE(SecurityDescriptor::Parse(changed)) << what;
    }

    for (const std::string text : {"S-1-5-18", "S-1-16-12288", "S-1-281474976710655-4294967295", "S-1-5"}) {
        const auto sid = platform::SidOfText(text);
        ASSERT_TRUE(sid) << text;
        EXPECT_EQ(platform::SidText(sid->data(), sid->size()), text);
    }
    for (const std::string text : {"S-1-", "S-1-5-", "S-2-5", "S-1-5-x", "S-1-281474976710656", "S-1-5-4294967296",
                                   "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"}) {
        EXPECT_FALSE(platform::SidOfText(text)) << text;
    }
    const platform::Sid system = platform::SidOfText("S-1-5-18").value();
    EXPECT_FALSE(platform::SidText(system.data(), system.size() - 1)) << "cut short";
}

// An administrator is LocalSystem, or a token whose administrators' group
// counts (not one User Account Control keeps for denying alone); its own
// account and owner are trusted only then. A token that cannot be read
// counts as an administrator's that trusts no account of its own.
TEST(TrustTest, TheRunIsAnAdministratorsOnlyWhereItsTokenSaysSo)
{
    struct Case {
        const char* what;
        std::function<void(fakes::FakePlatform&)> arrange;
        bool administrator;
        bool trustsOwn;
    };
    for (const Case& c : std::vector<Case>{
             {"an elevated administrator", [](auto&) {}, true, true},
             {"LocalSystem without the group",
              [](auto& p) {
                  p.security.ownUser = "S-1-5-18";
                  p.security.ownGroups.clear();
              },
              true, true},
             {"the group for denying alone", [](auto& p) { p.security.AsStandardUser(); }, false, false},
             {"the group not enabled",
              [](auto& p) {
                  p.security.ownGroups = {{"S-1-5-32-544", 0x3}};
              },
              false, false},
             {"groups that cannot be read", [](auto& p) { p.security.groupsUnreadable = true; }, true, false},
         }) {
        fakes::FakePlatform os;
        c.arrange(os);
        const RunRights rights = RunRights::OfThisProcess();
        EXPECT_TRUE(rights.HasSecurity()) << c.what;
        EXPECT_EQ(rights.IsAdministrator(), c.administrator) << c.what;
        EXPECT_EQ(rights.Trusts(os.security.ownUser), c.trustsOwn) << c.what;
        EXPECT_TRUE(rights.Trusts("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464")) << c.what;
        EXPECT_FALSE(rights.Trusts(kAlice)) << c.what;
    }
    fakes::FakePlatform ninetyEight;
    ninetyEight.kernel.platformId = 1;
    const RunRights none = RunRights::OfThisProcess();
    EXPECT_FALSE(none.HasSecurity() || none.IsAdministrator() || none.IsNtAtLeast(4));
}

// Who else may change an object: its owner, a missing list, or an entry
// that gives someone the run does not trust one of the rights that matter.
TEST(TrustTest, AnObjectIsDistrustedForWhatOthersMayDoWithIt)
{
    fakes::FakePlatform os;
    os.security.accounts[kAlice] = {"CORP", "alice"};
    os.security.accounts[kUsers] = {"BUILTIN", "Users"};
    const RunRights rights = RunRights::OfThisProcess();
    const auto judged = [&](const std::string& owner, const std::optional<std::vector<Ace>>& aces,
                            std::uint32_t matter = RunRights::kChangeAnything) {
        const auto descriptor = SecurityDescriptor::Parse(SecurityDescriptor::Make(owner, aces, false));
        const auto why = rights.Distrust(descriptor.value(), matter);
        return why ? std::string(why->begin(), why->end()) : std::string("trusted");
    };
    const std::string admins = "S-1-5-32-544";
    const Ace system = {kAllow, kPassedOn, kFull, "S-1-5-18"};
    struct Case {
        const char* what;
        std::string owner;
        std::optional<std::vector<Ace>> aces;
        std::uint32_t matter;
        std::string verdict;
    };
    for (const Case& c : std::vector<Case>{
             {"the administrators'", admins, std::vector<Ace>{system}, RunRights::kChangeAnything, "trusted"},
             {"the run's own account's", os.security.ownUser, std::vector<Ace>{system}, RunRights::kChangeAnything,
              "trusted"},
             {"a user's", kAlice, std::vector<Ace>{system}, RunRights::kChangeAnything, "it is owned by CORP\\alice"},
             {"no owner", "", std::vector<Ace>{system}, RunRights::kChangeAnything, "it has no owner"},
             {"no list", admins, std::nullopt, RunRights::kChangeAnything, "anyone may change it"},
             {"users may make files", admins, std::vector<Ace>{{kAllow, 0, 0x2, kUsers}}, RunRights::kChangeAnything,
              "BUILTIN\\Users may change it"},
             {"users may read", admins, std::vector<Ace>{{kAllow, kPassedOn, 0x1200A9, kUsers}},
              RunRights::kChangeAnything, "trusted"},
             {"users may do all, but only with what is made inside", admins,
              std::vector<Ace>{{kAllow, kPassedOn | SecurityDescriptor::kInheritOnly, kFull, kUsers}},
              RunRights::kChangeAnything, "trusted"},
             // ACCESS_DENIED_ACE_TYPE, as the system numbers it.
             {"everyone is denied", admins, std::vector<Ace>{{1, 0, kFull, "S-1-1-0"}}, RunRights::kChangeAnything,
              "trusted"},
             // ACCESS_ALLOWED_CALLBACK_ACE_TYPE and ACCESS_DENIED_CALLBACK_ACE_TYPE, as the system numbers them.
             {"users may make files, on a condition", admins, std::vector<Ace>{{9, 0, 0x2, kUsers}},
              RunRights::kChangeAnything, "BUILTIN\\Users may change it"},
             {"users are denied, on a condition", admins, std::vector<Ace>{{10, 0, kFull, kUsers}},
              RunRights::kChangeAnything, "trusted"},
             {"whoever makes something inside", admins, std::vector<Ace>{{kAllow, 0, kFull, "S-1-3-0"}},
              RunRights::kChangeAnything, "trusted"},
             {"users with every right by its generic name", admins,
              std::vector<Ace>{{kAllow, 0, SecurityDescriptor::kGenericAll, kUsers}}, RunRights::kChangeAnything,
              "BUILTIN\\Users may change it"},
             {"an entry of a kind not read", admins, std::vector<Ace>{{5, 0, 0x2, kUsers}}, RunRights::kChangeAnything,
              "its access list has an entry this program cannot judge"},
             {"an entry that names no SID", admins, std::vector<Ace>{{kAllow, 0, 0x2, ""}}, RunRights::kChangeAnything,
              "an unknown account may change it"},
             {"a folder above that users may add to", admins, std::vector<Ace>{{kAllow, kPassedOn, 0x6, kUsers}},
              RunRights::kReplaceWhatIsInside, "trusted"},
             {"a folder above that users may delete", admins, std::vector<Ace>{{kAllow, 0, 0x10000, kUsers}},
              RunRights::kReplaceWhatIsInside, "BUILTIN\\Users may change it"},
             {"a folder above a user may delete things in", admins, std::vector<Ace>{{kAllow, 0, 0x40, kAlice}},
              RunRights::kReplaceWhatIsInside, "CORP\\alice may change it"},
         }) {
        EXPECT_EQ(judged(c.owner, c.aces, c.matter), c.verdict) << c.what;
    }
    os.security.AsStandardUser();
    EXPECT_EQ(RunRights::OfThisProcess().Distrust(
                  SecurityDescriptor::Parse(SecurityDescriptor::Make(os.security.ownUser, {}, false)).value(),
                  RunRights::kChangeAnything),
              u"it is owned by S-1-5-21-1-1000")
        << "a standard user's run trusts no account of its own";
}

// The administrators' mutex: in the private namespace from Vista on, where
// whatever holds the name is another administrator's copy; elsewhere in the
// global namespace, where a name taken first counts only if an
// administrator or the system owns it.
TEST(TrustTest, TheAdministratorsMutexTellsAnotherCopyFromANameTakenFirst)
{
    using Found = AdministratorsMutex::Found;
    const std::string global = "Global\\KestrinTest";
    const std::string inNamespace = "KestrinSoftwareAddinsReset\\KestrinTest";
    struct Case {
        const char* what;
        std::function<void(fakes::FakeKernel&)> arrange;
        Found found;
        std::string made; // the mutex it made, with the administrators' descriptor
    };
    const auto vista = [](fakes::FakeKernel& k) { k.majorVersion = 6; };
    for (const Case& c : std::vector<Case>{
             {"XP, the first", [](auto&) {}, Found::Made, global},
             {"XP, another administrator's copy", [&](auto& k) { k.othersMutexes = {global}; }, Found::Existing, ""},
             {"XP, the system's copy",
              [&](auto& k) {
                  k.othersMutexes = {global};
                  k.mutexOwners[global] = "S-1-5-18";
              },
              Found::Existing, ""},
             {"XP, a user took the name first",
              [&](auto& k) {
                  k.othersMutexes = {global};
                  k.mutexOwners[global] = kAlice;
              },
              Found::TakenByOther, ""},
             {"XP, a user took it and keeps the administrators out",
              [&](auto& k) { k.othersMutexes = k.deniedMutexes = {global}; }, Found::TakenByOther, ""},
             {"NT 4, which has one namespace",
              [](auto& k) {
                  k.majorVersion = 4;
                  k.othersMutexes = {"KestrinTest"};
              },
              Found::Existing, ""},
             {"Vista, the first", vista, Found::Made, inNamespace},
             {"Vista, a user holds the global name",
              [&](auto& k) {
                  vista(k);
                  k.othersMutexes = {global};
                  k.mutexOwners[global] = kAlice;
              },
              Found::Made, inNamespace},
             {"Vista, another administrator's copy",
              [&](auto& k) {
                  vista(k);
                  k.othersNamespaces = {"KestrinSoftwareAddinsReset"};
                  k.othersMutexes = {inNamespace};
              },
              Found::Existing, ""},
             {"Vista without namespaces of its own",
              [&](auto& k) {
                  vista(k);
                  k.hasPrivateNamespaces = false;
              },
              Found::Made, global},
             {"XP, a token whose owner may not own the mutex: made without one",
              [](auto& k) { k.mutexOwnerRefused = true; }, Found::Made, global},
             {"Vista, a namespace this token is not in",
              [&](auto& k) {
                  vista(k);
                  k.inNamespaceBoundary = false;
              },
              Found::Made, global},
         }) {
        fakes::FakePlatform os;
        c.arrange(os.kernel);
        const AdministratorsMutex mutex(RunRights::OfThisProcess(), "KestrinTest");
        EXPECT_EQ(mutex.State(), c.found) << c.what;
        EXPECT_EQ(mutex.Get() != 0, c.found == Found::Made || c.found == Found::Existing) << c.what;
        if (!c.made.empty()) {
            ASSERT_EQ(os.kernel.mutexDescriptors.count(c.made), 1u) << c.what;
            const auto descriptor = SecurityDescriptor::Parse(os.kernel.mutexDescriptors.at(c.made));
            ASSERT_TRUE(descriptor) << c.what;
            EXPECT_EQ(descriptor->Aces().size(), 2u) << c.what << ": the system and the administrators alone";
            if (c.made == global) {
                EXPECT_EQ(descriptor->Owner().has_value(), !os.kernel.mutexOwnerRefused) << c.what;
            }
        }
    }
}

} // namespace
