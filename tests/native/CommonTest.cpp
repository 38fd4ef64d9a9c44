#include "common/Boolean.h"
#include "common/Checked.h"
#include "common/Collection.h"
#include "common/RuntimeError.h"
#include "fakes/FakePlatform.h"
#include "platform/AnsiText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

void ExpectRuntimeError(const std::function<void()>& action, std::int32_t number, const Text& description)
{
    try {
        action();
        ADD_FAILURE() << "no run-time error was raised";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), number);
        EXPECT_EQ(error.Description(), description);
    }
}

TEST(Boolean, TrueIsMinusOneAndFalseIsZeroIn16Bits)
{
    EXPECT_EQ(True.Value(), -1);
    EXPECT_EQ(False.Value(), 0);
    EXPECT_EQ(Boolean().Value(), 0);
    EXPECT_EQ(Boolean(true), True);
    EXPECT_EQ(!True, False);
    EXPECT_FALSE(static_cast<bool>(False));
}

TEST(Checked, IntegerRaisesOverflowPast32767InsteadOfWrapping)
{
    Integer counter = 32766;
    ++counter;
    EXPECT_EQ(counter.Value(), 32767);
    ExpectRuntimeError([&] { ++counter; }, 6, u"Overflow");
    EXPECT_EQ(counter.Value(), 32767) << "a failed step leaves the counter as it was";
}

TEST(Checked, LongRaisesOverflowOnAdditionAndDoubling)
{
    Long counter = INT32_MAX;
    ExpectRuntimeError([&] { ++counter; }, 6, u"Overflow");
    Long size = 1073741824;
    ExpectRuntimeError([&] { size *= 2; }, 6, u"Overflow");
    Long negative = INT32_MIN;
    ExpectRuntimeError([&] { negative += -1; }, 6, u"Overflow");
    Long small = 536870912;
    small *= 2;
    EXPECT_EQ(small.Value(), 1073741824);
}

TEST(Collection, IsOneBasedAndRaisesSubscriptOutOfRangeOutsideIt)
{
    Collection<Text> items;
    EXPECT_EQ(items.Count(), 0);
    ExpectRuntimeError([&] { items.Item(1); }, 9, u"Subscript out of range");
    items.Add(u"a");
    items.Add(u"b");
    items.Add(u"c");
    EXPECT_EQ(items.Count(), 3);
    EXPECT_EQ(items.Item(1), u"a");
    EXPECT_EQ(items.Item(3), u"c");
    ExpectRuntimeError([&] { items.Item(0); }, 9, u"Subscript out of range");
    ExpectRuntimeError([&] { items.Item(4); }, 9, u"Subscript out of range");
    ExpectRuntimeError([&] { items.Item(-1); }, 9, u"Subscript out of range");
    items.Remove(2);
    EXPECT_EQ(items.Count(), 2);
    EXPECT_EQ(items.Item(2), u"c");
    ExpectRuntimeError([&] { items.Remove(3); }, 9, u"Subscript out of range");
}

TEST(RuntimeError, ReportHasNumberBlankLineAndDescription)
{
    EXPECT_EQ(RuntimeError::Overflow().Report(), u"Run-time error '6':\r\n\r\nOverflow");
    EXPECT_EQ(RuntimeError::EntryPointNotFound("EnumProcesses", "psapi.dll").Description(),
              u"Can't find DLL entry point EnumProcesses in psapi.dll");
    EXPECT_NE(RuntimeError(0, u"x").ExitCode(), 0);
}

// Only a class identifier's own form may become part of a key's name.
TEST(Text, AGuidIsThirtyTwoHexDigitsInItsGroupsAndBraces)
{
    EXPECT_TRUE(IsGuidText(u"{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7e}"));
    for (const std::u16string_view text :
         {u"{ZB7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}", u"{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7Z}",
          u"{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E", u"5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}",
          u"{5B7E0C1A06D0B-4C5F-9E0A-3A1F2B4C6D7E}", u"{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}x",
          u"{..\\..\\x-6D0B-4C5F-9E0A-3A1F2B4C6D7E}"}) {
        EXPECT_FALSE(IsGuidText(text)) << AsciiOf(text);
    }
}

TEST(Text, LowerCaseFoldsLettersOfFileNamesAndKeepsTheRest)
{
    EXPECT_EQ(LowerCase(u"C:\\Program Files\\OUTLOOK.EXE"), u"c:\\program files\\outlook.exe");
    EXPECT_EQ(LowerCase(u"\u00C9T\u00C9 \u00D7 \u0412\u0418\u0420\u0423\u0421 \u0178\u0152"),
              u"\u00E9t\u00E9 \u00D7 \u0432\u0438\u0440\u0443\u0441 \u00FF\u0153");
}

TEST(Text, AnsiConversionGoesThroughThePlatformCodePage)
{
    fakes::FakePlatform os;
    EXPECT_EQ(ToAnsi(u"caf\u00E9 \u20AC"), "caf\xE9 ?");
    EXPECT_EQ(FromAnsi("caf\xE9"), u"caf\u00E9");
}

} // namespace
