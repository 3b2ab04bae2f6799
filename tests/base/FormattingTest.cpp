#include "base/Formatting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <variant>

#include "base/ZrError.h"
#include "support/ErrorOf.h"

namespace {
struct FixedCase {
    std::variant<double, std::int64_t, Currency> value;
    std::int32_t length;
    std::int32_t decimals;
    bool sign;
    Text separator;
    const char* expected;
};

Text Fixed(const FixedCase& c) {
    return std::visit(
        [&](const auto& v) { return FormatNumberFixed(v, c.length, c.decimals, c.sign, c.separator); },
        c.value);
}

const FixedCase kFixedCases[] = {
    {12.5, 8, 2, false, u"", "00001250"},
    {12.5, 8, 2, false, u",", "00012,50"},
    {0.0, 8, 2, false, u"", "00000000"},
    {std::int64_t{7}, 4, 0, false, u"", "0007"},
    {std::int64_t{123456789012}, 8, 0, false, u"", "56789012"},
    {0.125, 6, 2, false, u"", "000013"}, // an exact binary half rounds away from zero
    {2.5, 1, 0, false, u"", "3"},
    {12.5, 8, 2, true, u"", "+0001250"},
    {1.005, 4, 2, false, u"", "0100"}, // the double is just below 1.005
    {0.0049999, 3, 2, false, u"", "000"},
    {99.995, 6, 2, false, u"", "010000"}, // the double is 99.99500000000000454...
    {2.675, 3, 2, false, u"", "267"},     // the double is 2.67499999999999982...
    {1e20, 21, 0, false, u"", "100000000000000000000"},
    {Currency::FromRaw(125000), 8, 2, false, u"", "00001250"},
    {Currency::FromRaw(50), 2, 2, false, u"", "01"}, // half a cent
    {Currency::FromRaw(49), 2, 2, false, u"", "00"},
    {Currency::FromRaw(-125000), 8, 2, true, u"", "-0001250"},
    {Currency::FromRaw(-125000), 8, 2, false, u"", "-0001250"}, // a negative never looks positive
    {-0.001, 4, 2, true, u"", "-000"},
    {-0.0, 4, 2, true, u"", "+000"},
    {Currency::FromRaw(std::numeric_limits<std::int64_t>::max()), 20, 4, false, u"", "09223372036854775807"},
    {Currency::FromRaw(std::numeric_limits<std::int64_t>::min()), 19, 4, false, u"", "-223372036854775808"},
    {Currency::FromRaw(99995), 4, 2, false, u"", "1000"}, // 9.9995 carries into a new digit: 10.00, cut to 4
    {Currency::FromRaw(12345), 7, 6, false, u".", ".234500"},
    {std::int64_t{std::numeric_limits<std::int64_t>::min()}, 20, 0, true, u"", "-9223372036854775808"},
    {std::int64_t{-5}, 3, 0, false, u"", "-05"},
};

TEST(Formatting, FormatNumberFixedRendersEveryKindOfValue) {
    for (const FixedCase& c : kFixedCases) {
        EXPECT_EQ(U8(Fixed(c)), c.expected) << "expected " << c.expected;
    }
}

TEST(Formatting, FormatNumberFixedRejectsUnusableArguments) {
    EXPECT_EQ(U8(ErrorOf([] { FormatNumberFixed(1.0, 0, 2, false, u""); })),
              "FormatNumberFixed: length 0 invalid. Allowed values are: 1 to 4096.");
    EXPECT_EQ(U8(ErrorOf([] { FormatNumberFixed(std::int64_t{1}, 4, -1, false, u""); })),
              "FormatNumberFixed: decimals -1 invalid. Allowed values are: 0 to 1000.");
    EXPECT_EQ(
        U8(ErrorOf([] { FormatNumberFixed(std::numeric_limits<double>::quiet_NaN(), 4, 0, false, u""); })),
        "FormatNumberFixed: value NaN is not a finite number.");
}

TEST(Formatting, Base36RoundTripsAndToleratesStrangeDigits) {
    struct Case {
        std::int64_t value;
        const char* text;
    };
    const Case cases[] = {{0, "0"},      {35, "Z"},
                          {36, "10"},    {1295, "ZZ"},
                          {1296, "100"}, {std::numeric_limits<std::int64_t>::max(), "1Y2P0IJ32E8E7"}};
    for (const Case& c : cases) {
        EXPECT_EQ(U8(IntToBase36(c.value)), c.text);
        EXPECT_EQ(Base36ToInt(Utf8ToText(c.text)), c.value) << c.text;
    }
    EXPECT_EQ(Base36ToInt(u"z"), 35);
    EXPECT_EQ(Base36ToInt(u"1y2p0ij32e8e7"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Base36ToInt(u""), 0);
    EXPECT_EQ(Base36ToInt(u"1-0"), 1296); // an unknown character is a zero digit that keeps its place
    EXPECT_EQ(Base36ToInt(u"ZZZZZZZZZZZZZZ"), -1823562080465190913); // 36^14 - 1 wraps
    EXPECT_EQ(U8(ErrorOf([] { IntToBase36(-1); })),
              "IntToBase36: value -1 invalid. Allowed values are: 0 or more.");
}

TEST(Formatting, DateTimeToISOIsFixedWhateverTheTime) {
    struct Case {
        TDateTime value;
        const char* plain;
        const char* withMs;
    };
    const Case cases[] = {
        {EncodeDateTime(2024, 5, 1, 14, 3, 7, 45), "2024-05-01T14:03:07", "2024-05-01T14:03:07.045"},
        {EncodeDateTime(2024, 5, 1), "2024-05-01T00:00:00", "2024-05-01T00:00:00.000"},
        {EncodeDateTime(1999, 12, 31, 23, 59, 59, 999), "1999-12-31T23:59:59", "1999-12-31T23:59:59.999"},
        {0.0, "1899-12-30T00:00:00", "1899-12-30T00:00:00.000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(DateTimeToISO(c.value, false)), c.plain);
        EXPECT_EQ(U8(DateTimeToISO(c.value, true)), c.withMs);
    }
}

TEST(Formatting, ISOReadersTakeFixedPositions) {
    struct Case {
        const char16_t* text;
        bool dateOnly;
        TDateTime expected; // -1: the reader fails
    };
    const TDateTime may1 = EncodeDateTime(2024, 5, 1);
    const Case cases[] = {
        {u"2024-05-01", true, may1},
        {u"2024-05-01T10:00:00", true, may1},
        {u"2024x05y01 and more", true, may1},
        {u"01/05/2024", true, -1},
        {u"2024-02-30", true, -1},
        {u"2024-13-01", true, -1},
        {u"0000-01-01", true, -1},
        {u"2024-05", true, -1},
        {u"", true, -1},
        {u"2024-05-01T10:20:30", false, EncodeDateTime(2024, 5, 1, 10, 20, 30)},
        {u"2024-05-01 10:20:30.5", false, EncodeDateTime(2024, 5, 1, 10, 20, 30, 5)},
        {u"2024-05-01T10:20:30.123456", false, EncodeDateTime(2024, 5, 1, 10, 20, 30, 123)},
        {u"2024-05-01T10:20:30+01:00", false, EncodeDateTime(2024, 5, 1, 10, 20, 30)},
        {u"2024-05-01T10:20:30Z", false, EncodeDateTime(2024, 5, 1, 10, 20, 30)},
        {u"2024-05-01", false, -1},
        {u"2024-05-01T24:00:00", false, -1},
        {u"2024-05-01T10:60:00", false, -1},
        {u"2024-05-01T10:20:3x", false, -1},
        {u"2024-02-30T10:20:30", false, -1},
    };
    for (const Case& c : cases) {
        const Text text = c.text;
        if (c.expected >= 0) {
            EXPECT_EQ(c.dateOnly ? ISOToDate(text) : ISOToDateTime(text), c.expected) << U8(text);
        } else if (c.dateOnly) {
            EXPECT_EQ(ErrorOf([&] { ISOToDate(text); }), u"Date Format invalid: [" + text + u"]");
        } else {
            EXPECT_EQ(ErrorOf([&] { ISOToDateTime(text); }), u"DateTime Format invalid: [" + text + u"]");
        }
    }
}

TEST(Formatting, ExtractFieldSplitsKeyValueLines) {
    struct Case {
        const char16_t* text;
        std::int32_t index;
        bool toEnd;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"a=b=c", 1, false, u"a"}, {u"a=b=c", 2, false, u"b"},     {u"a=b=c", 2, true, u"b=c"},
        {u"a=b=c", 3, false, u"c"}, {u"a=b=c", 4, false, u""},      {u"a==b", 2, true, u"=b"},
        {u"a==b", 2, false, u""},   {u"a==b", 3, false, u"b"},      {u"abc", 2, false, u""},
        {u"abc", 1, true, u"abc"},  {u"abc", 0, false, u""},        {u"abc", 0, true, u"abc"},
        {u"=x", 1, false, u""},     {u"=x", 2, false, u"x"},        {u"", 1, false, u""},
        {u"k=", 2, true, u""},      {u"a=b=c", -1, true, u"a=b=c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtractField(c.text, c.index, u'=', c.toEnd), Text(c.expected))
            << U8(c.text) << " field " << c.index << (c.toEnd ? " to end" : "");
    }
}

TEST(Formatting, TimeToMillisecondsIgnoresTheDate) {
    EXPECT_EQ(TimeToMilliseconds(EncodeDateTime(2024, 5, 1, 0, 0, 1, 500)), 1500);
    EXPECT_EQ(TimeToMilliseconds(EncodeDateTime(1970, 1, 2, 0, 0, 1, 500)), 1500);
    EXPECT_EQ(TimeToMilliseconds(EncodeDateTime(2024, 5, 1, 23, 59, 59, 999)), 86399999);
    EXPECT_EQ(TimeToMilliseconds(EncodeDateTime(2024, 5, 1, 10, 0, 2, 250)) -
                  TimeToMilliseconds(EncodeDateTime(2024, 5, 1, 10, 0, 0, 0)),
              2250);
}
} // namespace
