#include <gtest/gtest.h>

#include "base/ZrError.h"
#include "drivers/RefundReference.h"

namespace {
struct Fields {
    Text Stan, Pan, Acquirer, Amount, AuthCode, DateTime;
};
Fields Decode(const Text& aReference) {
    Fields f;
    DecodeRefundReference(aReference, f.Stan, f.Pan, f.Acquirer, f.Amount, f.AuthCode, f.DateTime);
    return f;
}
} // namespace

TEST(RefundReference, PacksAndUnpacksTheWorkedExamples) {
    const struct {
        std::int64_t Acquirer;
        Text AuthCode;
        TDateTime When;
        Text Reference;
        Text AuthField, DateField, AcquirerField;
    } cases[] = {
        {80006, u"123456", EncodeDateTime(2025, 3, 7, 14, 5), u"003F0YA00001PQE0000YA1234560BMP499",
         u"123456", u"0703251405", u"00000080006"},
        {90000005000, u"4711", EncodeDateTime(2025, 12, 31, 23, 59), u"003F0YA15CFOGAW0000YA0047111FGYDAF",
         u"004711", u"3112252359", u"90000005000"},
    };
    for (const auto& c : cases) {
        const Text reference =
            CalcRefundReference(123, 1234, c.Acquirer, Currency::FromRaw(123400), c.AuthCode, c.When);
        EXPECT_EQ(reference, c.Reference);
        EXPECT_TRUE(IsWellFormedRefundReference(reference));
        const Fields f = Decode(reference);
        EXPECT_EQ(f.Stan, u"000123");
        EXPECT_EQ(f.Pan, u"C1234");
        EXPECT_EQ(f.Acquirer, c.AcquirerField);
        EXPECT_EQ(f.Amount, u"00001234");
        EXPECT_EQ(f.AuthCode, c.AuthField);
        EXPECT_EQ(f.DateTime, c.DateField);
        // Lower-case letters unpack like capitals.
        Text lower = reference;
        for (auto& ch : lower) {
            ch = ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch + 32) : ch;
        }
        const Fields l = Decode(lower);
        EXPECT_EQ(l.Acquirer, f.Acquirer);
        EXPECT_EQ(l.DateTime, f.DateTime);
    }
}

TEST(RefundReference, FractionsOfACentAreCutAndLongAuthCodesCut) {
    const Text r = CalcRefundReference(1, 1, 1, Currency::FromRaw(123499), u"ABCDEFGH",
                                       EncodeDateTime(2025, 1, 2, 3, 4));
    EXPECT_EQ(Decode(r).Amount, u"00001234");
    EXPECT_EQ(Decode(r).AuthCode, u"ABCDEF");
}

TEST(RefundReference, OversizedValuesLengthenTheReference) {
    // 21 767 823.36 needs seven base-36 digits: the reference grows and is no longer well formed.
    const Text r = CalcRefundReference(123, 1234, 80006, Currency::FromRaw(217678233600), u"123456",
                                       EncodeDateTime(2025, 3, 7, 14, 5));
    EXPECT_EQ(r.size(), 35u);
    EXPECT_FALSE(IsWellFormedRefundReference(r));
}

TEST(RefundReference, NegativeValuesCannotBePacked) {
    EXPECT_THROW(CalcRefundReference(-1, 1, 1, Currency(), u"1", 45000.0), ZrError);
    EXPECT_THROW(CalcRefundReference(1, 1, 1, Currency::FromRaw(-100), u"1", 45000.0), ZrError);
}

TEST(RefundReference, WellFormedness) {
    const Text good = u"003F0YA00001PQE0000YA1234560BMP499";
    Text withControl = good;
    withControl[23] = 0x02;
    Text withBlankInBase36 = good;
    withBlankInBase36[2] = u' ';
    Text blankAuth = good;
    blankAuth[21] = u' ';
    const struct {
        Text Reference;
        bool Good;
    } cases[] = {{good, true},         {good.substr(0, 33), false}, {good + u"0", false}, {Text(), false},
                 {withControl, false}, {withBlankInBase36, false},  {blankAuth, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsWellFormedRefundReference(c.Reference), c.Good) << TextToUtf8(c.Reference);
    }
    // Unpacking never fails, whatever it is given.
    EXPECT_EQ(Decode(u"").Stan, u"000000");
    EXPECT_EQ(Decode(u"#!").Stan, u"000000");
}
