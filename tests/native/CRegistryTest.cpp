#include "registry/CRegistry.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr platform::Handle kHklm = platform::kHkeyLocalMachine;
const std::string kPath = "Software\\Kestrin\\Test";

class RegistryTest : public ::testing::Test {
protected:
    // Destruction is tested on its own; here every other handle must be gone.
    void TearDown() override
    {
        key.CloseKey();
        EXPECT_EQ(os.registry.openHandles(), 0) << "a key was left open";
    }

    // Opens the test key, seeded beforehand when the test put values there.
    CRegistry& Opened()
    {
        EXPECT_EQ(key.OpenKey(TextOfAscii(kPath), kHklm, 63), 0);
        return key;
    }

    fakes::FakeValue& Stored(const std::string& name) { return os.registry.Key(kHklm, kPath)->values.at(name); }

    static std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

    fakes::FakePlatform os;
    CRegistry key;
};

TEST_F(RegistryTest, NewObjectIsClosedWithTheOfficeDefaultKey)
{
    EXPECT_EQ(key.DefaultKey(), u"Software\\Microsoft\\Office\\");
    EXPECT_EQ(key.IsNewKey(), False);
    EXPECT_EQ(key.GetLong(u"x", 7), 7);
    EXPECT_EQ(key.GetString(u"x", u"d"), u"d");
    EXPECT_EQ(key.PutLong(u"x", 1), 6) << "ERROR_INVALID_HANDLE, as the registry answers for no key";
    EXPECT_EQ(key.FindFirst(), u"");
    EXPECT_TRUE(os.registry.writes.empty());
}

TEST_F(RegistryTest, EmptyKeyNameOpensTheDefaultKeyNeverCombined)
{
    EXPECT_EQ(key.OpenKey(u"", kHklm, 63), 0);
    EXPECT_NE(os.registry.Key(kHklm, "Software\\Microsoft\\Office"), nullptr);
    key.DefaultKey(u"Software\\Other");
    EXPECT_EQ(key.OpenKey(u"", platform::kHkeyCurrentUser, 63), 0);
    EXPECT_NE(os.registry.Key(platform::kHkeyCurrentUser, "Software\\Other"), nullptr);
    EXPECT_EQ(os.registry.Key(platform::kHkeyCurrentUser, "Software\\Microsoft\\Office"), nullptr);
}

TEST_F(RegistryTest, CreatedKeyIsNewWithClassZeroAndStaysNew)
{
    EXPECT_EQ(key.OpenKey(u"Software\\A\\", kHklm, 63), 0);
    EXPECT_EQ(key.IsNewKey(), True);
    EXPECT_EQ(os.registry.Key(kHklm, "Software\\A")->keyClass, "0");
    EXPECT_EQ(os.registry.accesses.back(), 63u);
    EXPECT_EQ(key.OpenKey(u"Software\\A", kHklm, 63), 0);
    EXPECT_EQ(key.IsNewKey(), True) << "never goes back to False";

    CRegistry existing;
    EXPECT_EQ(existing.OpenKey(u"Software\\A", kHklm, 63), 0);
    EXPECT_EQ(existing.IsNewKey(), False);
}

TEST_F(RegistryTest, FailedOpenReturnsTheStatusAndWritesNothing)
{
    os.registry.deniedRoots.insert(kHklm);
    EXPECT_EQ(key.OpenKey(TextOfAscii(kPath), kHklm, 63), 5);
    EXPECT_EQ(key.IsNewKey(), False);
    EXPECT_EQ(key.PutLong(u"LoadBehavior", 3), 6);
    EXPECT_EQ(key.OpenKey(u"Software\\A", 0x12345678, 63), 6) << "a root that is not predefined";
    EXPECT_EQ(key.OpenKey(u"\\Software", platform::kHkeyCurrentUser, 63), 161);
    EXPECT_TRUE(os.registry.writes.empty());
}

TEST_F(RegistryTest, PutWritesDwordOfFourBytesAndTextWithItsNul)
{
    Opened();
    EXPECT_EQ(key.PutLong(u"LoadBehavior", 3), 0);
    EXPECT_EQ(key.PutString(u"FriendlyName", u"Kestrin Software Add-In Engine"), 0);
    EXPECT_EQ(key.PutLong(u"Negative", -2), 0);
    EXPECT_EQ(Stored("LoadBehavior").type, 4u);
    EXPECT_EQ(Stored("LoadBehavior").data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(Stored("Negative").data, (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Stored("FriendlyName").type, 1u);
    EXPECT_EQ(Stored("FriendlyName").data, Bytes(std::string_view("Kestrin Software Add-In Engine\0", 31)));
    EXPECT_EQ(key.GetLong(u"LoadBehavior", -9), 3);
    EXPECT_EQ(key.GetString(u"FriendlyName", u""), u"Kestrin Software Add-In Engine");
    EXPECT_EQ(key.GetLong(u"Negative", 0), -2);
    EXPECT_EQ(key.GetString(u"Negative", u""), u"-2");
}

TEST_F(RegistryTest, WriteFailureReturnsTheRegistryStatus)
{
    Opened();
    os.registry.deniedWrites.insert("LoadBehavior");
    EXPECT_EQ(key.PutLong(u"LoadBehavior", 3), 5);
    EXPECT_EQ(key.PutString(u"Other", u"x"), 0);
}

TEST_F(RegistryTest, ReadersGiveDefaultsForMissingAndForeignTypes)
{
    os.registry.SetValue(kHklm, kPath, "Binary", 3, {1, 2, 3, 4});
    os.registry.SetValue(kHklm, kPath, "Multi", 7, Bytes(std::string_view("a\0b\0\0", 5)));
    os.registry.SetValue(kHklm, kPath, "Expand", 2, Bytes(std::string_view("%TEMP%\0", 7)));
    os.registry.SetValue(kHklm, kPath, "Qword", 11, std::vector<std::uint8_t>(8, 1));
    Opened();
    for (const Text name : {u"Missing", u"Binary", u"Multi", u"Expand", u"Qword"}) {
        EXPECT_EQ(key.GetLong(name, 42), 42);
        EXPECT_EQ(key.GetString(name, u"default"), u"default");
    }
    EXPECT_EQ(Stored("Qword").data, std::vector<std::uint8_t>(8, 1)) << "reads change nothing";
}

TEST_F(RegistryTest, TextValuesConvertToNumbersOrRaiseTypeMismatch)
{
    os.registry.SetText(kHklm, kPath, "Twelve", "12");
    os.registry.SetText(kHklm, kPath, "Padded", "  -7 ");
    os.registry.SetText(kHklm, kPath, "Half", "2.5");
    os.registry.SetText(kHklm, kPath, "Word", "twelve");
    os.registry.SetText(kHklm, kPath, "Empty", "");
    os.registry.SetText(kHklm, kPath, "Huge", "99999999999");
    os.registry.SetDword(kHklm, kPath, "Three", 3);
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

TEST_F(RegistryTest, TextIsTakenUpToItsFirstNulOrWhole)
{
    os.registry.SetValue(kHklm, kPath, "NoNul", 1, Bytes("abc"));
    os.registry.SetValue(kHklm, kPath, "JustNul", 1, {0});
    os.registry.SetValue(kHklm, kPath, "ZeroBytes", 1, {});
    os.registry.SetValue(kHklm, kPath, "Embedded", 1, Bytes(std::string_view("ab\0cd\0", 6)));
    os.registry.SetValue(kHklm, kPath, "Latin", 1, Bytes("caf\xE9\0"));
    Opened();
    EXPECT_EQ(key.GetString(u"NoNul", u"d"), u"abc") << "the last character is kept";
    EXPECT_EQ(key.GetString(u"JustNul", u"d"), u"");
    EXPECT_EQ(key.GetString(u"ZeroBytes", u"d"), u"");
    EXPECT_EQ(key.GetString(u"Embedded", u"d"), u"ab");
    EXPECT_EQ(key.GetString(u"Latin", u"d"), u"caf\u00E9");
}

TEST_F(RegistryTest, LongDwordNeverOverrunsTheNumber)
{
    os.registry.SetValue(kHklm, kPath, "Long", 4, {1, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD});
    os.registry.SetValue(kHklm, kPath, "Short", 4, {5, 1});
    Opened();
    EXPECT_EQ(key.GetLong(u"Long", 99), 0) << "more data than a number: the value stays empty";
    EXPECT_EQ(key.GetString(u"Long", u"d"), u"");
    EXPECT_EQ(key.GetLong(u"Short", 99), 261);
}

TEST_F(RegistryTest, SecondReadFailuresAndValuesThatChangeSize)
{
    os.registry.SetText(kHklm, kPath, "Name", "short");
    os.registry.SetDword(kHklm, kPath, "Number", 8);
    Opened();

    os.registry.betweenReads = [](fakes::FakeValue& value) {
        value.data = Bytes(std::string_view("much longer\0", 12));
    };
    EXPECT_EQ(key.GetString(u"Name", u"d"), u"") << "ERROR_MORE_DATA on the second read: empty, not the default";

    os.registry.betweenReads = [](fakes::FakeValue& value) { value.data = {'a', 0}; };
    EXPECT_EQ(key.GetString(u"Name", u"d"), u"a") << "a shorter value is read as it now is";

    os.registry.betweenReads = nullptr;
    os.registry.dataReadStatus = 5;
    EXPECT_EQ(key.GetString(u"Name", u"d"), u"");
    EXPECT_EQ(key.GetLong(u"Number", 77), 0);
}

TEST_F(RegistryTest, HugeValuesAndNonAsciiNames)
{
    std::vector<std::uint8_t> huge(1 << 20, 'x');
    huge.push_back(0);
    os.registry.SetValue(kHklm, kPath, "Huge", 1, huge);
    os.registry.SetText(kHklm, kPath,
                        "Gr\xFC\xDF"
                        "e",
                        "hallo");
    Opened();
    EXPECT_EQ(key.GetString(u"Huge", u"").size(), 1u << 20);
    EXPECT_EQ(key.GetString(u"Gr\u00FC\u00DFe", u""), u"hallo");
    EXPECT_EQ(key.PutString(u"\u00C9t\u00E9", u"\u00E9t\u00E9"), 0);
    EXPECT_EQ(Stored("\xC9t\xE9").data, Bytes(std::string_view("\xE9t\xE9\0", 4)));
}

TEST_F(RegistryTest, EnumerationFollowsItsIndex)
{
    for (const char* name : {"Alpha", "Beta", "Gamma"}) {
        os.registry.MakeKey(kHklm, kPath + "\\" + name);
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

TEST_F(RegistryTest, EnumerationOverflowsAfterTheLastIndex)
{
    os.registry.MakeKey(kHklm, kPath + "\\Only");
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

TEST_F(RegistryTest, SubkeyNameOfTheLongestLengthIsReadWhole)
{
    os.registry.MakeKey(kHklm, kPath + "\\" + std::string(255, 'k'));
    Opened();
    EXPECT_EQ(key.FindFirst(), Text(255, u'k'));
}

TEST_F(RegistryTest, KeyIsClosedExactlyOnce)
{
    {
        CRegistry scoped;
        EXPECT_EQ(scoped.OpenKey(u"Software\\A", kHklm, 63), 0);
        EXPECT_EQ(os.registry.openHandles(), 1);
    }
    EXPECT_EQ(os.registry.closes, 1) << "destruction closes";
    {
        CRegistry closed;
        EXPECT_EQ(closed.OpenKey(u"Software\\A", kHklm, 63), 0);
        closed.CloseKey();
        closed.CloseKey();
    }
    EXPECT_EQ(os.registry.closes, 2) << "CloseKey, then nothing more";
}

TEST_F(RegistryTest, ClosedKeyIsNeverUsedAndReopeningClosesTheOld)
{
    os.registry.SetDword(kHklm, kPath, "Value", 1);
    os.registry.MakeKey(kHklm, kPath + "\\Sub");
    Opened();
    EXPECT_EQ(key.OpenKey(u"Software\\Second", kHklm, 63), 0);
    EXPECT_EQ(os.registry.openHandles(), 1) << "the first handle went";
    key.CloseKey();
    EXPECT_EQ(key.GetLong(u"Value", 9), 9);
    EXPECT_EQ(key.GetString(u"Value", u"d"), u"d");
    EXPECT_EQ(key.PutLong(u"Value", 2), 6);
    EXPECT_EQ(key.PutString(u"Value", u"x"), 6);
    EXPECT_EQ(key.FindFirst(), u"");
    EXPECT_EQ(Stored("Value").data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
}

TEST_F(RegistryTest, ExistingKeyOpensOnlyWhenThere)
{
    EXPECT_EQ(key.OpenExistingKey(TextOfAscii(kPath), kHklm, platform::kKeyRead), 2);
    EXPECT_EQ(os.registry.Key(kHklm, kPath), nullptr) << "never created";
    os.registry.SetValue(kHklm, kPath, "Big", 3, std::vector<std::uint8_t>(5000, 7));
    os.registry.SetDword(kHklm, kPath, "Small", 1);
    EXPECT_EQ(key.OpenExistingKey(TextOfAscii(kPath), kHklm, platform::kKeyRead), 0);
    EXPECT_EQ(key.IsNewKey(), False);
    CRegistry::RawValue value;
    EXPECT_EQ(key.ReadValue(0, value), 0);
    EXPECT_EQ(value.ansiName, "Big");
    EXPECT_EQ(value.data, std::vector<std::uint8_t>(5000, 7)) << "read again with room for all of it";
    EXPECT_EQ(key.ReadValue(1, value), 0);
    EXPECT_EQ(value.ansiName, "Small");
    EXPECT_EQ(key.ReadValue(2, value), 259);
    EXPECT_EQ(key.ReadValue(0, value), 0);
    EXPECT_EQ(key.DeleteValue(value), 5) << "opened for reading only";
    CRegistry writer;
    EXPECT_EQ(writer.OpenExistingKey(TextOfAscii(kPath), kHklm, platform::kKeySetValue), 0);
    EXPECT_EQ(writer.DeleteValue(value), 0);
    EXPECT_EQ(os.registry.Key(kHklm, kPath)->values.count("Big"), 0u);
}

// Wine refuses an entry whose class does not fit a class count of 0, name and
// all; the enumeration asks for no class at all.
TEST_F(RegistryTest, SubkeyNamesAreReadWithoutAskingForTheClass)
{
    os.registry.MakeKey(kHklm, kPath + "\\Classed").keyClass = "0";
    Opened();
    char name[256] = {};
    char keyClass[1] = {};
    std::uint32_t nameChars = 256;
    std::uint32_t classChars = 0;
    std::uint64_t written = 0;
    platform::Handle opened = 0;
    ASSERT_EQ(os.registry.RegOpenKeyExA(kHklm, kPath, 0, platform::kKeyRead, opened), 0);
    EXPECT_EQ(os.registry.RegEnumKeyExA(opened, 0, name, nameChars, keyClass, &classChars, written), 234);
    EXPECT_EQ(name[0], '\0') << "nothing written";
    os.registry.RegCloseKey(opened);
    EXPECT_EQ(key.FindFirst(), u"Classed");
}

} // namespace
