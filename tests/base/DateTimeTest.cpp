// Date-times are doubles, so every build (the i686 product, x86_64, Linux) must round them alike:
// the bit patterns below are what IEEE double arithmetic gives, and a build that computes with wider
// intermediates (the x87 unit) lands one bit off on some of them.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "base/DateTime.h"
#include "base/Formatting.h"
#include "base/Text.h"

namespace {
std::uint64_t Bits(double aValue) {
    return std::bit_cast<std::uint64_t>(aValue);
}
}  // namespace

TEST(DateTime, EncodingIsBitExactOnEveryBuild) {
    struct Case {
        DateTimeParts Parts;
        std::uint64_t Bits;
    };
    const Case cases[] = {
        {{2024, 5, 1, 14, 3, 7, 0}, 0x40e62cb2bc65a438},
        {{2024, 12, 31, 23, 59, 59, 999}, 0x40e64b3ffffff9c9},
        {{2025, 1, 1, 0, 0, 0, 0}, 0x40e64b4000000000},
        {{1899, 12, 30, 12, 0, 0, 0}, 0x3fe0000000000000},
        {{1899, 12, 29, 6, 0, 0, 0}, 0xbff4000000000000},
        {{9999, 12, 31, 23, 59, 59, 999}, 0x41469240ffffffe7},
        {{2000, 2, 29, 0, 0, 0, 1}, 0x40e1dd2000000637},
        {{2026, 12, 9, 16, 42, 33, 517}, 0x40e6a3b64771cfa8},
    };
    for (const auto& c : cases) {
        const auto& p = c.Parts;
        TDateTime v = 0;
        ASSERT_TRUE(TryEncodeDateTime(p, v)) << p.Year << "-" << p.Month << "-" << p.Day;
        EXPECT_EQ(Bits(v), c.Bits) << TextToUtf8(DateTimeToISO(v, true));
    }
}

// Every millisecond near the turn of a day, and every second of a whole day, come back as they went in:
// 23:59:59.999 never rounds into the next day, midnight never into the previous one.
TEST(DateTime, DecodingRoundTripsAtTheEdgesOfADay) {
    const auto roundTrips = [](int y, int mo, int d, int h, int mi, int s, int ms) {
        const DateTimeParts back = DecodeDateTime(EncodeDateTime(y, mo, d, h, mi, s, ms));
        return back.Year == y && back.Month == mo && back.Day == d && back.Hour == h && back.Minute == mi &&
               back.Second == s && back.Millisecond == ms;
    };
    for (int ms = 0; ms < 1000; ++ms) {
        ASSERT_TRUE(roundTrips(2024, 12, 31, 23, 59, 59, ms)) << ms;
        ASSERT_TRUE(roundTrips(2025, 1, 1, 0, 0, 0, ms)) << ms;
        ASSERT_TRUE(roundTrips(1899, 12, 29, 23, 59, 59, ms)) << "before the epoch " << ms;
        ASSERT_TRUE(roundTrips(9999, 12, 31, 23, 59, 59, ms)) << "last day " << ms;
    }
    for (int s = 0; s < 86400; ++s) {
        ASSERT_TRUE(roundTrips(2024, 2, 29, s / 3600, s / 60 % 60, s % 60, 999)) << s;
    }
}

// The texts and milliseconds the documents and the terminal fields are made from.
TEST(DateTime, TextsAndMillisecondsAtTheEdges) {
    const TDateTime last = EncodeDateTime(2024, 12, 31, 23, 59, 59, 999);
    EXPECT_EQ(DateTimeToISO(last, true), u"2024-12-31T23:59:59.999");
    EXPECT_EQ(DateTimeToISO(last), u"2024-12-31T23:59:59");
    EXPECT_EQ(TimeToMilliseconds(last), 86399999);
    EXPECT_EQ(TimeToMilliseconds(EncodeDateTime(2025, 1, 1)), 0);
    EXPECT_EQ(DateTimeToISO(EncodeDateTime(2025, 1, 1)), u"2025-01-01T00:00:00");
    // A text read back gives exactly the value encoded from its parts.
    EXPECT_EQ(Bits(ISOToDateTime(u"2024-05-01T14:03:07")), Bits(EncodeDateTime(2024, 5, 1, 14, 3, 7)));
    EXPECT_EQ(Bits(ISOToDateTime(u"2026-12-09T16:42:33.517")), 0x40e6a3b64771cfa8u);
    EXPECT_EQ(Bits(ISOToDate(u"2025-01-01")), Bits(EncodeDateTime(2025, 1, 1)));
}

// Fixed fields from doubles round the exact binary value half away from zero, alike on every build.
TEST(DateTime, FixedFieldsFromDoublesRoundTheExactValue) {
    EXPECT_EQ(FormatNumberFixed(0.125, 4, 2, false, u"."), u"0.13");
    EXPECT_EQ(FormatNumberFixed(-0.125, 5, 2, true, u"."), u"-0.13");
    EXPECT_EQ(FormatNumberFixed(1.005, 4, 2, false, u"."), u"1.00");  // 1.00499999999999989...
    EXPECT_EQ(FormatNumberFixed(2.675, 4, 2, false, u"."), u"2.67");  // 2.67499999999999982...
    EXPECT_EQ(FormatNumberFixed(45657.999999988424, 12, 6, false, u"."), u"45658.000000");
}
