#include <gtest/gtest.h>

#include "base/Currency.h"

TEST(Currency, ShortestDecimalForm) {
    const struct {
        std::int64_t raw;
        const char16_t* text;
    } cases[] = {{0, u"0"},         {100, u"0.01"},   {1000000, u"100"},        {-25000, u"-2.5"},
                 {125000, u"12.5"}, {12345678, u"1234.5678"}, {INT64_MIN, u"-922337203685477.5808"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Currency::FromRaw(c.raw).ToText(), c.text) << c.raw;
    }
}

TEST(Currency, ParseRoundsToFourDecimalsAndRejectsOtherForms) {
    const struct {
        const char16_t* text;
        bool ok;
        std::int64_t raw;
    } cases[] = {{u"10", true, 100000},       {u"0.005", true, 50},      {u"1e2", true, 1000000},
                 {u"-2.5", true, -25000},     {u"0.00005", true, 1},     {u"0.00004", true, 0},
                 {u"+.5", true, 5000},        {u"1,000.00", false, 0},   {u"", false, 0},
                 {u"abc", false, 0},          {u"1e", false, 0},         {u"12,50", false, 0},
                 {u"1e400", false, 0},        {u"99999999999999999999", false, 0}};
    for (const auto& c : cases) {
        Currency v;
        EXPECT_EQ(Currency::TryParse(c.text, v), c.ok) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        if (c.ok) {
            EXPECT_EQ(v.Raw(), c.raw);
        }
    }
}
