// CRegistry where only the fakes can make the registry fail or count handles;
// the scenarios that a real registry can stage are in tests/scenarios.
#include "registry/CRegistry.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

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

TEST_F(RegistryTest, FailedOpenReturnsTheStatusAndWritesNothing)
{
    os.registry.deniedRoots.insert(kHklm);
    EXPECT_EQ(key.OpenKey(TextOfAscii(kPath), kHklm, 63), 5);
    EXPECT_EQ(key.IsNewKey(), False);
    EXPECT_EQ(key.PutLong(u"LoadBehavior", 3), 6);
    EXPECT_TRUE(os.registry.writes.empty());
}

TEST_F(RegistryTest, WriteFailureReturnsTheRegistryStatus)
{
    Opened();
    os.registry.deniedWrites.insert("LoadBehavior");
    EXPECT_EQ(key.PutLong(u"LoadBehavior", 3), 5);
    EXPECT_EQ(key.PutString(u"Other", u"x"), 0);
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

// The fake's code page is Latin-1; the real one is whatever the system uses.
TEST_F(RegistryTest, NonAsciiTextAndNamesCrossTheCodePage)
{
    os.registry.SetValue(kHklm, kPath, "Latin", 1, Bytes("caf\xE9\0"));
    os.registry.SetText(kHklm, kPath,
                        "Gr\xFC\xDF"
                        "e",
                        "hallo");
    Opened();
    EXPECT_EQ(key.GetString(u"Latin", u"d"), u"caf\u00E9");
    EXPECT_EQ(key.GetString(u"Gr\u00FC\u00DFe", u""), u"hallo");
    EXPECT_EQ(key.PutString(u"\u00C9t\u00E9", u"\u00E9t\u00E9"), 0);
    EXPECT_EQ(Stored("\xC9t\xE9").data, Bytes(std::string_view("\xE9t\xE9\0", 4)));
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

} // namespace
