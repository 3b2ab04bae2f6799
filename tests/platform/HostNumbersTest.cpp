// Numbers as the host types them (platform/Locale.h): read with the host's decimal separator, while
// every fixed form of base/Formatting.h stays as it is.
#include <gtest/gtest.h>

#include <cstdint>

#include "base/Currency.h"
#include "base/DateTime.h"
#include "base/Formatting.h"
#include "platform/Locale.h"
#include "support/ErrorOf.h"
#include "support/ScopedLocale.h"

namespace {
struct HostFixedCase {
    Text value; // written with a point, typed with the host's decimal separator
    std::int32_t length;
    std::int32_t decimals;
    bool sign;
    Text separator;
    const char* expected;
};

// A text is written with the host's decimal separator, as a user would type it.
Text Fixed(const HostFixedCase& c) {
    Text typed;
    for (char16_t ch : c.value) {
        typed += ch == u'.' ? HostDecimalSeparator() : Text(1, ch);
    }
    return FormatNumberFixed(typed, c.length, c.decimals, c.sign, c.separator);
}

const HostFixedCase kFixedCases[] = {
    {Text(u"12.5"), 8, 2, false, u"", "00001250"},
    {Text(u" 1.005 "), 4, 2, false, u"", "0101"}, // a text keeps its written digits
    {Text(u"1e2"), 5, 1, false, u"", "01000"},
    {Text(u"0"), 1, 0, true, u"", "+"},
};
} // namespace

TEST(HostNumbers, FormatNumberFixedKeepsTheDigitsOfATypedText) {
    for (const HostFixedCase& c : kFixedCases) {
        EXPECT_EQ(U8(Fixed(c)), c.expected) << "expected " << c.expected;
    }
}

TEST(HostNumbers, FormatNumberFixedRejectsATextThatIsNoNumber) {
    EXPECT_EQ(U8(ErrorOf([] { FormatNumberFixed(Text(u"12a"), 8, 2, false, u""); })),
              "'12a' is not a valid floating point value");
    EXPECT_EQ(U8(ErrorOf([] { FormatNumberFixed(Text(u""), 8, 2, false, u""); })),
              "'' is not a valid floating point value");
}

TEST(HostNumbers, IsNumericUsesThePointOutsideACommaLocale) {
    struct Case {
        const char16_t* text;
        bool numeric;
    };
    const Case cases[] = {{u"12", true},     {u"A1", false},  {u"", false},      {u"12.5", true},
                          {u"12,5", false},  {u" 12 ", true}, {u"-3", true},     {u"+3", true},
                          {u"1e3", true},    {u"1E-3", true}, {u"1e", false},    {u".", false},
                          {u".5", true},     {u"5.", true},   {u"1.2.3", false}, {u"1e999", false},
                          {u"1e-999", true}, {u"NaN", false}, {u"0x10", false},  {u"1 2", false},
                          {u"--1", false}};
    if (HostDecimalSeparator() != u".") {
        GTEST_SKIP() << "the host's decimal separator is not a point";
    }
    for (const Case& c : cases) {
        EXPECT_EQ(IsNumeric(c.text), c.numeric) << U8(c.text);
    }
    double v = 0;
    ASSERT_TRUE(TryTextToFloat(u" -1.25e2 ", v));
    EXPECT_EQ(v, -125.0);
}

// Under a comma locale the host's texts read with a comma, while every fixed form stays as it is.
TEST(HostNumbers, CommaLocaleChangesOnlyWhatTheHostTypes) {
    ScopedCommaLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << "no locale with a decimal comma here";
    }
    EXPECT_EQ(U8(HostDecimalSeparator()), ",");
    EXPECT_TRUE(IsNumeric(u"12,5"));
    EXPECT_FALSE(IsNumeric(u"12.5"));
    double v = 0;
    ASSERT_TRUE(TryTextToFloat(u"0,25", v));
    EXPECT_EQ(v, 0.25);
    EXPECT_EQ(U8(FormatNumberFixed(Text(u"12,5"), 8, 2, false, u"")), "00001250");
    EXPECT_EQ(U8(FormatNumberFixed(12.5, 8, 2, false, u"")), "00001250");
    EXPECT_EQ(U8(FormatNumberFixed(Currency::FromRaw(125000), 8, 2, false, u"")), "00001250");
    EXPECT_EQ(U8(FormatNumberFixed(Currency::FromRaw(125000), 8, 2, false, u".")), "00012.50");
    EXPECT_EQ(U8(Currency::FromRaw(125000).ToText()), "12.5");
    EXPECT_EQ(U8(DateTimeToISO(EncodeDateTime(2024, 5, 1, 14, 3, 7, 45), true)), "2024-05-01T14:03:07.045");
    EXPECT_EQ(ISOToDateTime(u"2024-05-01T10:20:30.500"), EncodeDateTime(2024, 5, 1, 10, 20, 30, 500));
}
