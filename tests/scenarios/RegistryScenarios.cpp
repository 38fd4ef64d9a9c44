// CRegistry against a registry: the fakes natively, Wine's in the contract run.
#include "World.h"
#include "common/RuntimeError.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using scenarios::World;

class RegistryScenario : public ::testing::TestWithParam<scenarios::WorldKind> {
protected:
    void TearDown() override
    {
        key.CloseKey();
        if (const auto open = world->OpenHandles()) {
            EXPECT_EQ(*open, 0) << "a key was left open";
        }
    }

    // Opens the test key, seeded beforehand when the test put values there.
    CRegistry& Opened()
    {
        EXPECT_EQ(key.OpenKey(TextOfAscii(path), World::kRoot, 63), 0);
        return key;
    }

    void Seed(const std::string& name, std::uint32_t type, std::string_view bytes)
    {
        world->SetValue(path, name, type, Bytes(bytes));
    }
    void SeedText(const std::string& name, const std::string& text) { Seed(name, 1, {text.c_str(), text.size() + 1}); }

    std::vector<std::uint8_t> Stored(const std::string& name) { return world->Value(path, name).value().data; }

    static std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

    std::unique_ptr<World> world = GetParam().make();
    const std::string path = world->TestKey() + "\\Test";
    CRegistry key;
};

TEST_P(RegistryScenario, NewObjectIsClosedWithTheOfficeDefaultKey)
{
    EXPECT_EQ(key.DefaultKey(), u"Software\\Microsoft\\Office\\");
    EXPECT_EQ(key.IsNewKey(), False);
    EXPECT_EQ(key.GetLong(u"x", 7), 7);
    EXPECT_EQ(key.GetString(u"x", u"d"), u"d");
    EXPECT_EQ(key.PutLong(u"x", 1), 6) << "ERROR_INVALID_HANDLE, as the registry answers for no key";
    EXPECT_EQ(key.FindFirst(), u"");
}

TEST_P(RegistryScenario, EmptyKeyNameOpensTheDefaultKeyNeverCombined)
{
    key.DefaultKey(TextOfAscii(path + "\\Default"));
    EXPECT_EQ(key.OpenKey(u"", World::kRoot, 63), 0);
    EXPECT_TRUE(world->KeyClass(path + "\\Default"));
    EXPECT_EQ(key.OpenKey(u"", World::kRoot, 63), 0);
    EXPECT_FALSE(world->KeyClass(path + "\\Default\\Default")) << "never combined";
}

TEST_P(RegistryScenario, CreatedKeyIsNewWithClassZeroAndStaysNew)
{
    EXPECT_EQ(key.OpenKey(TextOfAscii(path + "\\A\\"), World::kRoot, 63), 0);
    EXPECT_EQ(key.IsNewKey(), True);
    EXPECT_EQ(world->KeyClass(path + "\\A"), "0");
    EXPECT_EQ(key.OpenKey(TextOfAscii(path + "\\A"), World::kRoot, 63), 0);
    EXPECT_EQ(key.IsNewKey(), True) << "never goes back to False";

    CRegistry existing;
    EXPECT_EQ(existing.OpenKey(TextOfAscii(path + "\\A"), World::kRoot, 63), 0);
    EXPECT_EQ(existing.IsNewKey(), False);
}

TEST_P(RegistryScenario, OpenOfAnUnknownRootOrABadPathReturnsTheStatus)
{
    if (world->NineXRegistry()) {
        GTEST_SKIP() << "the 9x registry skips a leading backslash, and under Wine opens an unknown root";
    }
    EXPECT_EQ(key.OpenKey(u"Software\\A", 0x12345678, 63), 6) << "a root that is not predefined";
    EXPECT_EQ(key.OpenKey(u"\\Software", World::kRoot, 63), 161);
    EXPECT_EQ(key.IsNewKey(), False);
    EXPECT_EQ(key.PutLong(u"LoadBehavior", 3), 6);
}

TEST_P(RegistryScenario, PutWritesDwordOfFourBytesAndTextWithItsNul)
{
    Opened();
    EXPECT_EQ(key.PutLong(u"LoadBehavior", 3), 0);
    EXPECT_EQ(key.PutString(u"FriendlyName", u"Kestrin Software Add-In Engine"), 0);
    EXPECT_EQ(key.PutLong(u"Negative", -2), 0);
    EXPECT_EQ(world->Value(path, "LoadBehavior")->type, 4u);
    EXPECT_EQ(Stored("LoadBehavior"), (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(Stored("Negative"), (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(world->Value(path, "FriendlyName")->type, 1u);
    EXPECT_EQ(Stored("FriendlyName"), Bytes(std::string_view("Kestrin Software Add-In Engine\0", 31)));
    EXPECT_EQ(key.GetLong(u"LoadBehavior", -9), 3);
    EXPECT_EQ(key.GetString(u"FriendlyName", u""), u"Kestrin Software Add-In Engine");
    EXPECT_EQ(key.GetLong(u"Negative", 0), -2);
    EXPECT_EQ(key.GetString(u"Negative", u""), u"-2");
}

TEST_P(RegistryScenario, ReadersGiveDefaultsForMissingAndForeignTypes)
{
    Seed("Binary", 3, std::string_view("\1\2\3\4", 4));
    Seed("Multi", 7, std::string_view("a\0b\0\0", 5));
    Seed("Expand", 2, std::string_view("%TEMP%\0", 7));
    Seed("Qword", 11, std::string(8, '\1'));
    Opened();
    for (const Text name : {u"Missing", u"Binary", u"Multi", u"Expand", u"Qword"}) {
        EXPECT_EQ(key.GetLong(name, 42), 42);
        EXPECT_EQ(key.GetString(name, u"default"), u"default");
    }
    EXPECT_EQ(Stored("Qword"), std::vector<std::uint8_t>(8, 1)) << "reads change nothing";
}

TEST_P(RegistryScenario, TextValuesConvertToNumbersOrRaiseTypeMismatch)
{
    SeedText("Twelve", "12");
    SeedText("Padded", "  -7 ");
    SeedText("Half", "2.5");
    SeedText("Word", "twelve");
    SeedText("Empty", "");
    SeedText("Huge", "99999999999");
    Seed("Three", 4, std::string_view("\3\0\0\0", 4));
    Opened();
    EXPECT_EQ(key.GetLong(u"Twelve", 0), 12);
    EXPECT_EQ(key.GetLong(u"Padded", 0), -7);
    EXPECT_EQ(key.GetLong(u"Half", 0), 2) << "rounded half to even";
    EXPECT_EQ(key.GetString(u"Three", u""), u"3");
    for (const Text name : {u"Word", u"Empty"}) {
        try {
            key.GetLong(name, 0);
            ADD_FAILURE() << "no Type mismatch";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), 13);
        }
    }
    try {
        key.GetLong(u"Huge", 0);
        ADD_FAILURE() << "no Overflow";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), 6);
    }
}

TEST_P(RegistryScenario, TextIsTakenUpToItsFirstNulOrWhole)
{
    if (world->NineXRegistry()) {
        GTEST_SKIP() << "Wine's 9x registry reads a REG_SZ stored without its NUL with bytes past its end, "
                        "and one of zero bytes as missing";
    }
    Seed("NoNul", 1, "abc");
    Seed("JustNul", 1, std::string_view("\0", 1));
    Seed("ZeroBytes", 1, "");
    Seed("Embedded", 1, std::string_view("ab\0cd\0", 6));
    Opened();
    EXPECT_EQ(key.GetString(u"NoNul", u"d"), u"abc") << "the last character is kept";
    EXPECT_EQ(key.GetString(u"JustNul", u"d"), u"");
    EXPECT_EQ(key.GetString(u"ZeroBytes", u"d"), u"");
    EXPECT_EQ(key.GetString(u"Embedded", u"d"), u"ab");
}

TEST_P(RegistryScenario, LongDwordNeverOverrunsTheNumber)
{
    Seed("Long", 4, std::string_view("\1\0\0\0\xAA\xBB\xCC\xDD", 8));
    Seed("Short", 4, std::string_view("\5\1", 2));
    Opened();
    EXPECT_EQ(key.GetLong(u"Long", 99), 0) << "more data than a number: the value stays empty";
    EXPECT_EQ(key.GetString(u"Long", u"d"), u"");
    EXPECT_EQ(key.GetLong(u"Short", 99), 261);
}

TEST_P(RegistryScenario, HugeValuesAreReadWhole)
{
    std::string huge(1 << 20, 'x');
    huge.push_back('\0');
    Seed("Huge", 1, huge);
    Opened();
    EXPECT_EQ(key.GetString(u"Huge", u"").size(), 1u << 20);
}

TEST_P(RegistryScenario, EnumerationFollowsItsIndex)
{
    for (const char* name : {"Alpha", "Beta", "Gamma"}) {
        world->MakeKey(path + "\\" + name, "0");
    }
    Opened();
    EXPECT_EQ(key.FindFirst(), u"Alpha");
    EXPECT_EQ(key.FindNext(-1), u"Alpha") << "FindFirst does not advance";
    EXPECT_EQ(key.FindNext(-1), u"Beta");
    EXPECT_EQ(key.FindNext(-1), u"Gamma");
    EXPECT_EQ(key.FindNext(-1), u"");
    EXPECT_EQ(key.FindNext(-1), u"");
    EXPECT_EQ(key.FindNext(1), u"Beta");
    EXPECT_EQ(key.FindNext(-1), u"Gamma");
    EXPECT_EQ(key.FindNext(5), u"");
    EXPECT_EQ(key.FindNext(-5), u"");
}

TEST_P(RegistryScenario, EnumerationOverflowsAfterTheLastIndex)
{
    world->MakeKey(path + "\\Only", "");
    Opened();
    EXPECT_EQ(key.FindNext(2147483646), u"");
    try {
        key.FindNext(-1);
        ADD_FAILURE() << "no Overflow";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), 6);
    }
    EXPECT_EQ(key.FindNext(0), u"Only");
}

TEST_P(RegistryScenario, SubkeyNameOfTheLongestLengthIsReadWhole)
{
    world->MakeKey(path + "\\" + std::string(255, 'k'), "");
    ASSERT_TRUE(world->KeyClass(path + "\\" + std::string(255, 'k'))) << "the registry holds a name of 255 characters";
    Opened();
    EXPECT_EQ(key.FindFirst(), Text(255, u'k'));
}

TEST_P(RegistryScenario, ExistingKeyOpensOnlyWhenThere)
{
    EXPECT_EQ(key.OpenExistingKey(TextOfAscii(path), World::kRoot, platform::kKeyRead), 2);
    EXPECT_FALSE(world->KeyClass(path)) << "never created";
    Seed("Big", 3, std::string(5000, '\7'));
    Seed("Small", 4, std::string_view("\1\0\0\0", 4));
    EXPECT_EQ(key.OpenExistingKey(TextOfAscii(path), World::kRoot, platform::kKeyRead), 0);
    EXPECT_EQ(key.IsNewKey(), False);
    CRegistry::RawValue value;
    EXPECT_EQ(key.ReadValue(0, value), 0);
    EXPECT_EQ(value.ansiName, "Big");
    EXPECT_EQ(value.data, std::vector<std::uint8_t>(5000, 7)) << "read again with room for all of it";
    EXPECT_EQ(key.ReadValue(1, value), 0);
    EXPECT_EQ(value.ansiName, "Small");
    EXPECT_EQ(key.ReadValue(2, value), 259);
    EXPECT_EQ(key.ReadValue(0, value), 0);
    if (!world->NineXRegistry()) {
        EXPECT_EQ(key.DeleteValue(value), 5) << "opened for reading only";
    }
    CRegistry writer;
    EXPECT_EQ(writer.OpenExistingKey(TextOfAscii(path), World::kRoot, platform::kKeySetValue), 0);
    EXPECT_EQ(writer.DeleteValue(value), 0);
    EXPECT_FALSE(world->Value(path, "Big"));
}

// A class count of 0 refuses an entry whose class does not fit, name and all;
// the enumeration asks for no class at all.
TEST_P(RegistryScenario, SubkeyNamesAreReadWithoutAskingForTheClass)
{
    world->MakeKey(path + "\\Classed", "0");
    Opened();
    char name[256] = {};
    char keyClass[1] = {};
    std::uint32_t nameChars = 256;
    std::uint32_t classChars = 0;
    std::uint64_t written = 0;
    platform::Handle opened = 0;
    auto& registry = platform::Registry();
    ASSERT_EQ(registry.RegOpenKeyExA(World::kRoot, path, 0, platform::kKeyRead, opened), 0);
    EXPECT_EQ(registry.RegEnumKeyExA(opened, 0, name, nameChars, keyClass, &classChars, written), 234);
    EXPECT_EQ(name[0], '\0') << "nothing written";
    registry.RegCloseKey(opened);
    EXPECT_EQ(key.FindFirst(), u"Classed");
}

// A link on the way to a key, or the key itself a link, is never followed,
// neither to open, to make a key through it, nor to delete; a key is
// deleted through its own handle, its parent left.
TEST_P(RegistryScenario, ALinkIsNeverFollowedAndAKeyIsDeletedAsItself)
{
    world->MakeKey(path + "\\Target\\Inside", "");
    platform::OsVersionInfoA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    platform::Kernel().GetVersionExA(version);
    // The 9x line has no links, and opens every path whole.
    if (version.dwPlatformId == platform::kVerPlatformWin32Nt) {
        world->MakeLink(path + "\\Link", path + "\\Target");
        EXPECT_NE(key.OpenExistingKey(TextOfAscii(path + "\\Link\\Inside"), World::kRoot, platform::kKeyRead), 0);
        EXPECT_NE(key.OpenExistingKey(TextOfAscii(path + "\\Link"), World::kRoot, platform::kKeyRead), 0);
        EXPECT_NE(key.OpenKey(TextOfAscii(path + "\\Link\\Made"), World::kRoot, 3), 0);
        EXPECT_FALSE(world->KeyClass(path + "\\Target\\Made"));
    }
    ASSERT_EQ(key.OpenExistingKey(TextOfAscii(path + "\\Target\\Inside"), World::kRoot, platform::kKeyRead), 0);
    EXPECT_EQ(key.DeleteKey(), 0);
    key.CloseKey();
    EXPECT_FALSE(world->KeyClass(path + "\\Target\\Inside"));
    EXPECT_TRUE(world->KeyClass(path + "\\Target"));
}

INSTANTIATE_TEST_SUITE_P(In, RegistryScenario, ::testing::ValuesIn(scenarios::Worlds()), scenarios::NameOfWorld);

} // namespace
