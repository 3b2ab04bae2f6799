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

// The card layouts terminals send: whatever surrounds the last four digits, the void names those four.
TEST(RefundReference, BuiltFromTheAnswerOverCardLayouts) {
    const TDateTime when = EncodeDateTime(2025, 3, 7, 14, 5);
    const struct {
        Text Card;
        Text Last4; // empty: no reference can be built
    } cases[] = {
        {u"***************1234", u"C1234"},
        {u"411111******1234   ", u"C1234"},
        {u"************1234   ", u"C1234"},
        {u"   ************1234", u"C1234"},
        {u"4111 11** **** 1234", u"C1234"},
        {u"4111-11**-****-0042", u"C0042"},
        {Text(u"411111XXXXXX9876") + Text(3, u'\0'), u"C9876"},
        {u"1234", u"C1234"},
        {u"4111 11** **** ****", u""},
        {u"***************12  ", u""},
        {u"123", u""},
        {u"", u""},
    };
    for (const auto& c : cases) {
        Text why;
        const Text reference = RefundReferenceOfAnswer(u"000123", c.Card, u"00000080006",
                                                       Currency::FromRaw(123400), u"A1B2C3", when, why);
        if (c.Last4.empty()) {
            EXPECT_TRUE(reference.empty()) << TextToUtf8(c.Card);
            EXPECT_NE(why.find(u"the card number"), Text::npos) << TextToUtf8(why);
        } else {
            ASSERT_TRUE(IsWellFormedRefundReference(reference))
                << TextToUtf8(c.Card) << ": " << TextToUtf8(why);
            EXPECT_EQ(Decode(reference).Pan, c.Last4) << TextToUtf8(c.Card);
            EXPECT_TRUE(why.empty());
        }
    }
}

// The other fields: blanks around numbers are layout; what a void cannot send back is named.
TEST(RefundReference, BuiltFromTheAnswerOverOtherFields) {
    const TDateTime when = EncodeDateTime(2025, 3, 7, 14, 5);
    const struct {
        Text Stan, Acquirer, AuthCode;
        Text Why; // empty: built; else the start of the reason
    } cases[] = {
        {u"000123", u"0000008000 ", u"A1B2C3", u""},
        {u" 123  ", u"   80006   ", u"A1B2C3", u""},
        {u"000123", u"00000080006", u"A1B\u00C7C3", u""},
        {u"000123", u"00000080006", u"12 4  ", u""},
        {u"00A123", u"00000080006", u"A1B2C3", u"the STAN"},
        {u"      ", u"00000080006", u"A1B2C3", u"the STAN"},
        {u"000123", u"0000008000X", u"A1B2C3", u"the acquirer"},
        {u"000123", u"           ", u"A1B2C3", u"the acquirer"},
        {u"000123", u"00000080006", u"A1B\u0085C3", u"the authorisation code"},
        {u"000123", u"00000080006", u"A1B\u20ACC3", u"the authorisation code"},
    };
    for (const auto& c : cases) {
        Text why;
        const Text reference = RefundReferenceOfAnswer(c.Stan, u"****1234", c.Acquirer,
                                                       Currency::FromRaw(500), c.AuthCode, when, why);
        const std::string name = TextToUtf8(c.Stan + u"|" + c.Acquirer + u"|" + c.AuthCode);
        if (c.Why.empty()) {
            ASSERT_TRUE(IsWellFormedRefundReference(reference)) << name << ": " << TextToUtf8(why);
            const Fields f = Decode(reference);
            EXPECT_EQ(f.AuthCode, c.AuthCode.substr(0, 6))
                << name << ": the void sends the code back as it came";
            EXPECT_EQ(f.Amount, u"00000005") << name;
        } else {
            EXPECT_TRUE(reference.empty()) << name;
            EXPECT_EQ(why.rfind(c.Why, 0), 0u) << name << ": " << TextToUtf8(why);
        }
    }
    Currency named;
    ASSERT_TRUE(RefundReferenceAmount(u"003F0YA00001PQE0000YA1234560BMP499", named));
    EXPECT_EQ(named.ToText(), u"12.34");
    EXPECT_FALSE(RefundReferenceAmount(u"003F0YA", named));
}
