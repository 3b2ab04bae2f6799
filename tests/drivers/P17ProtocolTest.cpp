// The operations over a fake channel: request texts, every answer path, the exchange of each operation.
#include <gtest/gtest.h>

#include <limits>

#include "base/ZrError.h"
#include "drivers/P17Protocol.h"
#include "drivers/RefundReference.h"
#include "support/ErrorOf.h"
#include "support/ScriptedDriver.h"

namespace {
const TDateTime kNow = EncodeDateTime(2025, 3, 7, 14, 30); // day 066 of 2025

Text Fit(const Text& aText, std::size_t aWidth) {
    Text t = aText.substr(0, aWidth);
    t.resize(aWidth, u' ');
    return t;
}

// Answer payloads laid out as a terminal sends them.
Text PayAnswer(const Text& aCode = u"00", const Text& aStan = u"000123",
               const Text& aAcquirer = u"00000080006", const Text& aBank = u"0",
               const Text& aAmount = u"00001234") {
    if (aCode != u"00") {
        return u"100000010X" + aCode + Fit(u"CARTA RIFIUTATA", 24) + Text(23, u' ') + aStan + u"000000000" +
               u"000000000";
    }
    return u"100000010X00" + Fit(u"***************1234", 19) + u"CLI" + u"123456" + u"0661405" + aBank +
           aAcquirer + aStan + u"000045" + u"000" + aAmount + u"0";
}

Text ConversionAnswer(const Text& aDecimals, const Text& aForeign = u"000000012345") {
    Text a = PayAnswer();
    a[9] = u'V';
    a.back() = u'1';
    return a + u"01234567" + u"840" + aForeign + aDecimals;
}

struct Protocol : ScriptedDriver {
    explicit Protocol(Text aClass = u"kIOHandler_TCP")
        : ScriptedDriver(std::move(aClass), [] { return kNow; }) {}
};

kPaymentReceipt Receipt(Currency aAmount = Currency::FromRaw(123400),
                        ZrPrintLocation aWhere = ZrPrintLocation::pl_ECR) {
    return TillRequest(aWhere, aAmount);
}

Text ReceiptFrame(const Text& aText) {
    return TerminalFrame(u"100000010S" + aText);
}

} // namespace

TEST(P17Messages, RequestTexts) {
    const Text payment = kP17Protocol::PayMessage(u"00000005", u"00001234", Text(126, u' ') + u"R1");
    EXPECT_EQ(payment, u"000000000X"
                       u"00000005"
                       u"00000"
                       u"00001234" +
                           Text(126, u' ') + u"R1" + u"00000000");
    EXPECT_EQ(payment.size(), 167u);
    EXPECT_EQ(kP17Protocol::PrintLocationMessage(true), u"000000000E1");
    EXPECT_EQ(kP17Protocol::PrintLocationMessage(false), u"000000000E0");
    EXPECT_EQ(kP17Protocol::RefundMessage(u"00000005", u"00001234"), u"000000000A"
                                                                     u"00000005"
                                                                     u"00000"
                                                                     u"00001234"
                                                                     u"00000000");
    EXPECT_EQ(kP17Protocol::ReprintMessage(false), u"000000000R"
                                                   u"0"
                                                   u"0"
                                                   u"0000000000");
    EXPECT_EQ(kP17Protocol::ReprintMessage(true), u"000000000R"
                                                  u"1"
                                                  u"0"
                                                  u"0000000000");
    EXPECT_EQ(kP17Protocol::DayCloseMessage(u"00000005"), u"000000000C"
                                                          u"00000005"
                                                          u"0"
                                                          u"0000000");
    EXPECT_EQ(kP17Protocol::TotalsMessage(u"00000005"), u"000000000T"
                                                        u"00000005"
                                                        u"0"
                                                        u"0000000");
    const Text voidText = kP17Protocol::VoidMessage(u"00000005", u"003F0YA00001PQE0000YA1234560BMP499");
    EXPECT_EQ(voidText, u"000000000Q"
                        u"00000005"
                        u"000000"
                        u"000123"
                        u"C1234"
                        u"00000080006"
                        u"00001234"
                        u"123456"
                        u"0703251405"
                        u"0000000000");
    EXPECT_EQ(voidText.size(), 80u);
}

TEST(P17Messages, EcrIdentifier) {
    const struct {
        Text Till, Ecr;
    } cases[] = {{u"5", u"00000005"},   {u"12345678", u"12345678"}, {u"123456789012", u"56789012"},
                 {u"ABC", u"00000000"}, {u"", u"00000000"},         {u"5A", u"00000000"},
                 {u"-5", u"00000000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(kP17Protocol::EcrIdentifier(c.Till), c.Ecr) << TextToUtf8(c.Till);
    }
}

TEST(P17Messages, AmountMustFitTheCentsField) {
    const struct {
        std::int64_t Raw;
        Text Field; // empty: refused
    } cases[] = {{0, u"00000000"},  {123400, u"00001234"},     {125000, u"00001250"},
                 {50, u"00000001"}, {9999999900, u"99999999"}, {9999999949, u"99999999"},
                 {9999999950, u""}, {10000000000, u""},        {-100, u""},
                 {-1, u""}};
    for (const auto& c : cases) {
        Text field, error;
        const bool ok = kP17Protocol::AmountField(Currency::FromRaw(c.Raw), field, error);
        EXPECT_EQ(ok, !c.Field.empty()) << c.Raw;
        if (ok) {
            EXPECT_EQ(field, c.Field) << c.Raw;
        } else {
            EXPECT_EQ(error, u"Amount " + Currency::FromRaw(c.Raw).ToText() +
                                 u" invalid. Allowed values are: 0 to 999999.99.");
        }
    }
}

TEST(P17Messages, ReferenceMustTravelInsideTheFrame) {
    Text field, error;
    EXPECT_TRUE(kP17Protocol::ReferenceField(Text(128, u'r'), field, error));
    EXPECT_EQ(field, Text(128, u'r')) << "128 characters are sent whole";
    EXPECT_TRUE(kP17Protocol::ReferenceField(u"caff\u00E8", field, error));
    EXPECT_EQ(field.size(), 128u);
    EXPECT_TRUE(kP17Protocol::ReferenceField(Text(), field, error));
    EXPECT_EQ(field, Text(128, u' '));
    const struct {
        Text Reference;
        Text Error;
    } refused[] = {
        // The value is quoted up to 64 characters: a huge reference never comes back whole.
        {Text(129, u'r'), u"Reference [" + Text(64, u'r') + u"\u2026(129 characters)" +
                              u"] invalid: 129 characters. Allowed are at most 128 characters."},
        {u"R1\x03",
         u"Reference [R1?] invalid: the character U+0003 at position 3 cannot be sent to the terminal. "
         u"Allowed are the characters U+0020 to U+00FF except U+007F."},
        {u"\x02R",
         u"Reference [?R] invalid: the character U+0002 at position 1 cannot be sent to the terminal. "
         u"Allowed are the characters U+0020 to U+00FF except U+007F."},
        {u"5\u20AC",
         u"Reference [5\u20AC] invalid: the character U+20AC at position 2 cannot be sent to the terminal. "
         u"Allowed are the characters U+0020 to U+00FF except U+007F."},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(kP17Protocol::ReferenceField(c.Reference, field, error));
        EXPECT_EQ(error, c.Error);
    }
}

// An amount meant in another currency would be charged as euros: it is refused before anything is sent.
TEST(P17Messages, OnlyEurosOrNoCurrencyAreCharged) {
    Text error;
    for (const Text& fine : {Text(), Text(u"EUR"), Text(u"eur")}) {
        EXPECT_TRUE(kP17Protocol::CurrencyAccepted(fine, error)) << TextToUtf8(fine);
    }
    EXPECT_FALSE(kP17Protocol::CurrencyAccepted(u"USD", error));
    EXPECT_EQ(
        error,
        u"Currency [USD] invalid: the terminal charges in euros only. Allowed values are: EUR, or none.");
    Protocol p;
    kPaymentReceipt dollars;
    dollars.fAmount = Currency::FromRaw(20000);
    dollars.fCurrency = u"US\nD";
    _int_PAY_result paid;
    EXPECT_FALSE(p.P17.DoPay(dollars, paid));
    EXPECT_TRUE(paid.Error);
    EXPECT_EQ(
        paid.ErrorText,
        u"Currency [US?D] invalid: the terminal charges in euros only. Allowed values are: EUR, or none.");
    _int_PAY_result refunded;
    EXPECT_FALSE(p.P17.DoRefund(dollars, refunded));
    EXPECT_EQ(refunded.ErrorText, paid.ErrorText);
    EXPECT_TRUE(p.Channel.Writes.empty()) << "nothing reached the terminal";
}

TEST(P17Messages, TerminalDateTimeAroundTheTurnOfTheYear) {
    const struct {
        Text Field;
        TDateTime Now, Expected;
        const char* Why;
    } cases[] = {
        {u"0010005", EncodeDateTime(2025, 1, 1, 0, 10), EncodeDateTime(2025, 1, 1, 0, 5),
         "new year, this year"},
        {u"3652300", EncodeDateTime(2025, 1, 1, 0, 30), EncodeDateTime(2024, 12, 31, 23, 0),
         "last year's last day"},
        {u"3652359", EncodeDateTime(2025, 12, 31, 23, 59), EncodeDateTime(2025, 12, 31, 23, 59),
         "same minute"},
        {u"0661405", kNow, EncodeDateTime(2025, 3, 7, 14, 5), "ordinary day"},
        {u"0600000", EncodeDateTime(2024, 3, 1), EncodeDateTime(2024, 2, 29), "29 February"},
        {u"4250000", EncodeDateTime(2023, 1, 1), EncodeDateTime(2023, 2, 28),
         "12 months back from 29 February"},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(kP17Protocol::DecodeTerminalDateTime(c.Field, c.Now), c.Expected, 1e-7) << c.Why;
    }
    const struct {
        Text Field, Error;
    } bad[] = {{u"0012400", u"Invalid argument to time encode"},
               {u"0012360", u"Invalid argument to time encode"},
               {u"ABC1200", u"'ABC' is not a valid integer value"},
               {u"", u"'' is not a valid integer value"},
               {u"00112", u"'' is not a valid integer value"}};
    for (const auto& c : bad) {
        EXPECT_EQ(ErrorOf([&]() { kP17Protocol::DecodeTerminalDateTime(c.Field, kNow); }), c.Error);
    }
}

// The numeric fields of an answer: the whole 64-bit range reads exactly, and nothing beyond it may wrap
// around into a small number.
TEST(P17Messages, IntegerReadersRefuseWhatDoesNotFit) {
    EXPECT_EQ(kP17Protocol::StrToInt64(u"9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(kP17Protocol::StrToInt64(u"-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(kP17Protocol::StrToInt64(u" +000000000000000000042"), 42);
    EXPECT_EQ(kP17Protocol::StrToInt(u"-2147483648"), std::numeric_limits<std::int32_t>::min());
    for (const Text& tooLarge : {Text(u"9223372036854775808"), Text(u"-9223372036854775809"),
                                 Text(u"18446744073709551617"), Text(u"20000000000000000000")}) {
        EXPECT_EQ(ErrorOf([&]() { kP17Protocol::StrToInt64(tooLarge); }),
                  u"'" + tooLarge + u"' is not a valid integer value");
        EXPECT_EQ(ErrorOf([&]() { kP17Protocol::StrToInt(tooLarge); }),
                  u"'" + tooLarge + u"' is not a valid integer value");
    }
}

// An approved answer whose date the terminal wrote wrongly stays approved: the money has moved. Its
// refund reference would carry a date that names no payment, so there is none, and the host is told.
TEST(P17Answers, AnImpossibleDateLeavesTheApprovalStanding) {
    Protocol p;
    Text payload = PayAnswer();
    payload.replace(40, 7, u"0012460"); // minute 60
    _int_PAY_result paid;
    EXPECT_TRUE(p.P17.ParsePayResponse(payload, paid));
    EXPECT_FALSE(paid.Error);
    EXPECT_EQ(paid.PaymentAmount, Currency::FromRaw(123400));
    EXPECT_NEAR(paid.PaymentDateTime, kNow, 1e-7);
    EXPECT_TRUE(paid.RefundReference.empty());
    EXPECT_EQ(paid.ErrorText,
              kP17Protocol::NoRefundReferenceText(
                  u"the terminal's date and time [0012460] is not a valid time (Invalid argument "
                  u"to time encode)"));
    // A refusal with such a date moved nothing: its conversion failure stands.
    Text refused = u"100000010A01" + Text(19, u'*') + u"CLI" + u"123456" + u"00000080006" + u"0012460";
    _int_PAY_result refund;
    EXPECT_EQ(ErrorOf([&] { p.P17.ParseRefundResponse(refused, refund); }),
              u"Invalid argument to time encode");
    refused.replace(10, 2, u"00");
    EXPECT_TRUE(p.P17.ParseRefundResponse(refused, refund));
}

TEST(P17Answers, Payment) {
    Protocol p;
    _int_PAY_result r;
    EXPECT_TRUE(p.P17.ParsePayResponse(PayAnswer(), r));
    EXPECT_FALSE(r.Error);
    EXPECT_EQ(r.DeviceId, u"10000001");
    EXPECT_NEAR(r.PaymentDateTime, EncodeDateTime(2025, 3, 7, 14, 5), 1e-7);
    EXPECT_EQ(r.PaymentNumber, u"000045");
    EXPECT_EQ(r.PaymentAmount, Currency::FromRaw(123400));
    EXPECT_EQ(r.PaymentCurrency, u"EUR");
    EXPECT_EQ(r.PaymentNetwork, zrPaymentNetwork::Nexi);
    EXPECT_EQ(r.TransactionType, zrPaymentTransactionType::ptt_ClessChip);
    EXPECT_EQ(r.AuthCode, u"123456");
    EXPECT_EQ(r.MaskedPAN, u"***************1234");
    EXPECT_EQ(r.TraceAuditId, u"000123");
    EXPECT_EQ(r.RefundReference, u"003F0YA00001PQE0000YA1234560BMP499");
    EXPECT_TRUE(r.ErrorText.empty());
    EXPECT_EQ(r.ExchangeRate, Currency());

    const struct {
        Text Payload;
        zrPaymentNetwork Network;
        Text Rate, Foreign, ForeignCurrency, Stan, Reference;
        const char* Why;
    } cases[] = {
        {PayAnswer(u"00", u"000123", u"00000000001", u"1"), zrPaymentNetwork::Bank, u"0", u"0", u"",
         u"000123", u"003F0YA000000010000YA1234560BMP499", "bank flag over a Visa acquirer"},
        {ConversionAnswer(u"2"), zrPaymentNetwork::Nexi, u"123.4567", u"123.45", u"840", u"000123",
         u"003F0YA00001PQE0000YA1234560BMP499", "conversion block"},
        {ConversionAnswer(u"0"), zrPaymentNetwork::Nexi, u"123.4567", u"12345", u"840", u"000123",
         u"003F0YA00001PQE0000YA1234560BMP499", "currency without decimals"},
        // The field has 12 digits: an approved payment in a currency of large units (about 1,300 EUR in
        // rupiah passes 2^31) must not turn into a conversion failure after the money has moved.
        {ConversionAnswer(u"2", u"999999999999"), zrPaymentNetwork::Nexi, u"123.4567", u"9999999999.99",
         u"840", u"000123", u"003F0YA00001PQE0000YA1234560BMP499", "foreign amount beyond 32 bits"},
        {ConversionAnswer(u"0", u"002147483648"), zrPaymentNetwork::Nexi, u"123.4567", u"2147483648", u"840",
         u"000123", u"003F0YA00001PQE0000YA1234560BMP499", "foreign amount just beyond 32 bits, no decimals"},
        {PayAnswer(u"00", u"00A1B2"), zrPaymentNetwork::Nexi, u"0", u"0", u"", u"00A1B2", u"",
         "alphanumeric STAN: no refund reference, payment stays approved"},
    };
    for (const auto& c : cases) {
        _int_PAY_result x;
        EXPECT_TRUE(p.P17.ParsePayResponse(c.Payload, x)) << c.Why;
        EXPECT_EQ(x.PaymentNetwork, c.Network) << c.Why;
        EXPECT_EQ(x.ExchangeRate.ToText(), c.Rate) << c.Why;
        EXPECT_EQ(x.PaymentAmountCurrency.ToText(), c.Foreign) << c.Why;
        EXPECT_EQ(x.PaymentCurrencyCurrency, c.ForeignCurrency) << c.Why;
        EXPECT_EQ(x.TraceAuditId, c.Stan) << c.Why;
        EXPECT_EQ(x.RefundReference, c.Reference) << c.Why;
    }
    p.Custom = {u"00000080006=visa"};
    _int_PAY_result custom;
    p.P17.ParsePayResponse(PayAnswer(), custom);
    EXPECT_EQ(custom.PaymentNetwork, zrPaymentNetwork::Visa) << "the settings file overrides the table";
}

TEST(P17Answers, PaymentRefusals) {
    const struct {
        Text Payload;
        Text ErrorText, PaymentNumber, Stan;
        const char* Why;
    } cases[] = {
        {PayAnswer(u"01"), Fit(u"CARTA RIFIUTATA", 24), u"0", u"000123", "declined"},
        {PayAnswer(u"01", u"000000"), Fit(u"CARTA RIFIUTATA", 24), u"0", u"000000", "declined before a STAN"},
        {PayAnswer(u"05"), u"Unknown Result: [05]", u"", u"", "other result code"},
        {Text(), u"Unknown Result: []", u"", u"", "an empty answer"},
    };
    for (const auto& c : cases) {
        Protocol p;
        _int_PAY_result r;
        EXPECT_FALSE(p.P17.ParsePayResponse(c.Payload, r)) << c.Why;
        EXPECT_TRUE(r.Error) << c.Why;
        EXPECT_EQ(r.ErrorText, c.ErrorText) << c.Why;
        EXPECT_EQ(r.PaymentNumber, c.PaymentNumber) << c.Why;
        EXPECT_EQ(r.TraceAuditId, c.Stan) << c.Why;
        EXPECT_EQ(r.PaymentAmount, Currency()) << c.Why;
        EXPECT_EQ(r.PaymentNetwork, zrPaymentNetwork::Other) << c.Why;
        EXPECT_EQ(r.TransactionType, zrPaymentTransactionType::ptt_Other) << c.Why;
        EXPECT_NEAR(r.PaymentDateTime, kNow, 1e-9) << c.Why;
        EXPECT_TRUE(r.RefundReference.empty()) << c.Why;
    }
    Protocol p;
    _int_PAY_result r;
    EXPECT_EQ(ErrorOf([&]() {
                  p.P17.ParsePayResponse(PayAnswer(u"00", u"000123", u"00000080006", u"0", u"0000AB34"), r);
              }),
              u"'0000AB34' is not a valid integer value");
}

TEST(P17Answers, RefundAndVoid) {
    const Text refundBody =
        Fit(u"***************1234", 19) + u"MAG" + u"654321" + u"00000000003" + u"0661405";
    const Text voidTail = Text(u"0") + u"00000000003" + u"000777" + u"000046" + u"000";
    const Text voidOk = Fit(u"***************1234", 19) + u"ICC" + u"654321" + u"0661405";
    const Text voidError = Fit(u"OPERAZIONE NON TROVATA", 24) + Text(11, u' ');
    const struct {
        bool Refund;
        Text Payload;
        bool Ok;
        Text ErrorText, Auth, Stan, PaymentNumber;
        zrPaymentTransactionType Type;
        const char* Why;
    } cases[] = {
        {true, u"100000010A00" + refundBody, true, u"", u"654321", u"", u"",
         zrPaymentTransactionType::ptt_MagStripe, "refund approved"},
        {true, u"100000010A01" + refundBody, false, u"ERRORE", u"654321", u"", u"",
         zrPaymentTransactionType::ptt_MagStripe, "refund refused"},
        {true, u"100000010A02" + refundBody, false, u"Unknown Result: [02]", u"654321", u"", u"",
         zrPaymentTransactionType::ptt_MagStripe, "refund, other code"},
        {false, u"100000010Q00" + voidOk + voidTail, true, u"", u"654321", u"000777", u"000046",
         zrPaymentTransactionType::ptt_Chip, "void approved"},
        {false, u"100000010Q01" + voidError + voidTail, false, Fit(u"OPERAZIONE NON TROVATA", 24), u"",
         u"000777", u"000046", zrPaymentTransactionType::ptt_Other, "void refused"},
        {false, u"100000010Q91" + voidError + voidTail, false, Fit(u"OPERAZIONE NON TROVATA", 24), u"",
         u"000777", u"000046", zrPaymentTransactionType::ptt_Other, "void refused, 91"},
        {false, u"100000010Q05" + voidError + voidTail, false, u"Unknown Result: [05]", u"", u"000777",
         u"000046", zrPaymentTransactionType::ptt_Other, "void, other code"},
    };
    for (const auto& c : cases) {
        Protocol p;
        _int_PAY_result r;
        r.PaymentCurrencyCurrency = u"kept";
        r.RefundReference = u"kept";
        const bool ok =
            c.Refund ? p.P17.ParseRefundResponse(c.Payload, r) : p.P17.ParseVoidResponse(c.Payload, r);
        EXPECT_EQ(ok, c.Ok) << c.Why;
        EXPECT_EQ(r.Error, !c.Ok) << c.Why;
        EXPECT_EQ(r.ErrorText, c.ErrorText) << c.Why;
        EXPECT_EQ(r.AuthCode, c.Auth) << c.Why;
        EXPECT_EQ(r.TraceAuditId, c.Stan) << c.Why;
        EXPECT_EQ(r.PaymentNumber, c.PaymentNumber) << c.Why;
        EXPECT_EQ(r.TransactionType, c.Type) << c.Why;
        EXPECT_EQ(r.PaymentNetwork, zrPaymentNetwork::Mastercard) << c.Why;
        EXPECT_EQ(r.DeviceId, u"10000001") << c.Why;
        EXPECT_EQ(r.PaymentCurrencyCurrency, u"kept") << c.Why;
        EXPECT_EQ(r.RefundReference, u"kept") << c.Why;
        if (c.Ok || c.Refund) {
            EXPECT_NEAR(r.PaymentDateTime, EncodeDateTime(2025, 3, 7, 14, 5), 1e-7) << c.Why;
        } else {
            EXPECT_NEAR(r.PaymentDateTime, kNow, 1e-9) << c.Why;
        }
    }
    Protocol p;
    _int_PAY_result r;
    EXPECT_EQ(ErrorOf([&]() { p.P17.ParseRefundResponse(Text(), r); }), u"'' is not a valid integer value")
        << "the refund's date is read whatever the result";
}

TEST(P17Answers, DayCloseAndTotals) {
    Protocol p;
    _int_DAYCLOSE_result d;
    EXPECT_TRUE(p.P17.ParseDayCloseResponse(u"100000010C000000000000012345000000000000", d));
    EXPECT_EQ(d.TotalAmount.ToText(), u"123.45");
    EXPECT_EQ(d.Currency, u"EUR");
    EXPECT_EQ(d.ClosureNumber, u"0");
    EXPECT_EQ(d.DeviceId, u"10000001");
    EXPECT_TRUE(d.ErrorText.empty());
    _int_DAYCLOSE_result d1;
    EXPECT_FALSE(p.P17.ParseDayCloseResponse(u"100000010C01CHIUSURA NON RIUSCITA000000000", d1));
    EXPECT_EQ(d1.ErrorText, u"CHIUSURA NON RIUSCI");
    EXPECT_EQ(d1.TotalAmount, Currency());
    _int_DAYCLOSE_result d2;
    EXPECT_FALSE(p.P17.ParseDayCloseResponse(u"100000010C02", d2));
    EXPECT_EQ(d2.ErrorText, u"Unknown Result: [02]");
    EXPECT_EQ(ErrorOf([&]() { p.P17.ParseDayCloseResponse(u"100000010C00000000000000ABCD", d2); }),
              u"'000000000000ABCD' is not a valid integer value");

    _int_GETTOTALS_result t;
    EXPECT_TRUE(p.P17.ParseTotalsResponse(u"100000010T000000000000012345", t));
    EXPECT_EQ(t.TotalAmount.ToText(), u"123.45");
    EXPECT_TRUE(t.ErrorText.empty());
    _int_GETTOTALS_result t1;
    EXPECT_FALSE(p.P17.ParseTotalsResponse(u"100000010T010000000000000000", t1));
    EXPECT_EQ(t1.ErrorText, u"Get Totals Error. Device does not return an error description");
    EXPECT_EQ(ErrorOf([&]() { p.P17.ParseTotalsResponse(u"100000010T000000002147483648", t1); }),
              u"'0000002147483648' is not a valid integer value");
    EXPECT_EQ(ErrorOf([&]() { p.P17.ParseTotalsResponse(Text(), t1); }), u"'' is not a valid integer value");
}

TEST(P17Exchange, PaymentOnTheCashRegisterPrinter) {
    Protocol p;
    p.Channel.Replies = {TerminalAck(), // E
                         TerminalAck() +
                             StatusFrame(u"10000001"
                                         u"0SPIN") +
                             TerminalFrame(PayAnswer()),           // X
                         ReceiptFrame(Text(24, u'a')),             // ACK of the answer
                         ReceiptFrame(Text(23, u'b') + P17::ESC)}; // ACK of the first receipt frame
    _int_PAY_result r;
    EXPECT_TRUE(p.P17.DoPay(Receipt(), r));
    EXPECT_FALSE(r.Error);
    EXPECT_EQ(r.ReceiptText, Text(24, u'a') + u"\r\n" + Text(23, u'b') + u" \r\n");
    ASSERT_EQ(p.Channel.Writes.size(), 6u) << "E, X, the answer's ACK, one per receipt frame, the final ACK";
    EXPECT_EQ(p.Channel.Writes[0], BuildFrame(u"000000000E1"));
    EXPECT_EQ(p.Channel.Writes[1],
              BuildFrame(kP17Protocol::PayMessage(u"00000005", u"00001234", Text(126, u' ') + u"R1")));
    for (std::size_t i = 2; i < 6; ++i) {
        EXPECT_EQ(p.Channel.Writes[i], AckFrame());
    }
    EXPECT_EQ(p.Channel.Calls.front(), "Connect");
    EXPECT_EQ(p.Channel.Calls[1], "ClearBuffers");
    EXPECT_EQ(p.Channel.Calls.back(), "Disconnect");
    EXPECT_TRUE(p.Pauses.empty()) << "no fixed pause before the receipt";
    EXPECT_EQ(p.Channel.Count("WaitForInput 1000"), 1u);
}

TEST(P17Exchange, PaymentFailuresBeforeTheAnswer) {
    {
        Protocol p;
        p.Channel.ConnectSucceeds = false;
        _int_PAY_result r;
        EXPECT_FALSE(p.P17.DoPay(Receipt(), r));
        EXPECT_EQ(r.ErrorText, u"Unable to connect to device 127.0.0.1:4000");
        EXPECT_TRUE(r.Error);
        EXPECT_TRUE(p.Channel.Writes.empty());
        EXPECT_EQ(p.Channel.Count("Disconnect"), 0u);
    }
    {
        Protocol p; // "E" not acknowledged
        _int_PAY_result r;
        EXPECT_FALSE(p.P17.DoPay(Receipt(), r));
        EXPECT_EQ(r.ErrorText, u"Errore");
        EXPECT_EQ(p.Channel.Writes.size(), 1u);
        EXPECT_EQ(p.Channel.Calls.back(), "Disconnect");
    }
    {
        Protocol p; // "X" not acknowledged: no answer is read
        p.Channel.Replies = {TerminalAck(), Text()};
        _int_PAY_result r;
        EXPECT_FALSE(p.P17.DoPay(Receipt(), r));
        EXPECT_TRUE(r.Error);
        EXPECT_EQ(r.ErrorText,
                  u"The terminal did not acknowledge the payment request (no ACK within 3000 ms)");
        EXPECT_EQ(p.Channel.Count("ReadUpTo 180000"), 0u);
    }
    for (const Currency amount : {Currency::FromUnits(1000000), Currency::FromRaw(-100)}) {
        Protocol p; // refused before connecting
        _int_PAY_result r;
        EXPECT_FALSE(p.P17.DoPay(Receipt(amount), r));
        EXPECT_TRUE(r.Error);
        EXPECT_EQ(r.ErrorText,
                  u"Amount " + amount.ToText() + u" invalid. Allowed values are: 0 to 999999.99.");
        EXPECT_TRUE(p.Channel.Calls.empty());
        _int_PAY_result refund;
        EXPECT_FALSE(p.P17.DoRefund(Receipt(amount), refund));
        EXPECT_EQ(refund.ErrorText, r.ErrorText);
        EXPECT_TRUE(p.Channel.Calls.empty());
    }
    {
        Protocol p;
        kPaymentReceipt receipt = Receipt();
        receipt.fReference = u"R\x02";
        _int_PAY_result r;
        EXPECT_FALSE(p.P17.DoPay(receipt, r));
        EXPECT_NE(r.ErrorText.find(u"Reference [R?] invalid"), Text::npos);
        EXPECT_TRUE(p.Channel.Calls.empty());
    }
}

TEST(P17Exchange, ReceiptCollectionDependsOnPrinterAndStan) {
    const struct {
        Text Answer;
        ZrPrintLocation Where;
        bool Collected;
        const char* Why;
    } cases[] = {
        {PayAnswer(), ZrPrintLocation::pl_ECR, true, "approved, cash register prints"},
        {PayAnswer(), ZrPrintLocation::pl_EFT, false, "approved, terminal prints"},
        {PayAnswer(u"01", u"000321"), ZrPrintLocation::pl_ECR, true, "declined with a STAN"},
        {PayAnswer(u"01", u"000000"), ZrPrintLocation::pl_ECR, false, "declined before a STAN"},
    };
    for (const auto& c : cases) {
        Protocol p;
        p.Channel.Replies = {TerminalAck(), TerminalAck() + TerminalFrame(c.Answer),
                             ReceiptFrame(Text(23, u'r') + P17::ESC)};
        _int_PAY_result r;
        p.P17.DoPay(Receipt(Currency::FromRaw(123400), c.Where), r);
        EXPECT_EQ(!r.ReceiptText.empty(), c.Collected) << c.Why;
        EXPECT_EQ(p.Channel.Writes[0],
                  BuildFrame(kP17Protocol::PrintLocationMessage(c.Where == ZrPrintLocation::pl_ECR)))
            << c.Why;
    }
}

TEST(P17Exchange, ADamagedAnswerIsAnUnknownOutcomeAndStillDisconnects) {
    Protocol p;
    Text bad = TerminalFrame(PayAnswer());
    bad.back() = static_cast<char16_t>(bad.back() ^ 1);
    p.Channel.Replies = {TerminalAck(), TerminalAck() + bad};
    _int_PAY_result r;
    EXPECT_FALSE(p.P17.DoPay(Receipt(), r));
    EXPECT_EQ(r.ErrorText.rfind(u"Outcome unknown: ", 0), 0u) << TextToUtf8(r.ErrorText);
    EXPECT_EQ(p.Channel.Calls.back(), "Disconnect");
    EXPECT_EQ(p.Channel.AcksWritten(), 0u);
}

TEST(P17Exchange, RefundCollectsReceiptEvenWhenRefused) {
    Protocol p;
    const Text answer =
        u"100000010A01" + Fit(u"***************1234", 19) + u"MAG" + u"654321" + u"00000000003" + u"0661405";
    p.Channel.Replies = {TerminalAck(), TerminalAck() + TerminalFrame(answer),
                         ReceiptFrame(Text(23, u'r') + P17::ESC)};
    kPaymentReceipt receipt = Receipt(Currency::FromRaw(50000));
    receipt.fCurrency = u"eur"; // the request's own text comes back
    _int_PAY_result r;
    EXPECT_FALSE(p.P17.DoRefund(receipt, r));
    EXPECT_EQ(r.ErrorText, u"ERRORE");
    EXPECT_EQ(r.PaymentAmount.ToText(), u"5");
    EXPECT_EQ(r.PaymentCurrency, u"eur");
    EXPECT_EQ(r.ReceiptText, Text(23, u'r') + u" \r\n");
    EXPECT_EQ(p.Channel.Writes[1], BuildFrame(kP17Protocol::RefundMessage(u"00000005", u"00000500")));
}

TEST(P17Exchange, VoidNeedsAWellFormedRefundReference) {
    for (const Text& reference :
         {Text(), Text(u"003F0YA00001PQE0000YA1234560BMP49"), Text(u"003F0YA00001PQE0000YA1234560BMP4990"),
          Text(u"003F0YA00001PQE0000YA12\x03"
               u"4560BMP499")}) {
        Protocol p;
        kPaymentReceipt receipt = Receipt();
        receipt.fRefundReference.PaymentNumber = reference;
        _int_PAY_result r;
        EXPECT_FALSE(p.P17.DoVoid(receipt, r));
        EXPECT_TRUE(r.Error);
        EXPECT_EQ(r.ErrorText, u"Invalid Refund Reference");
        EXPECT_TRUE(p.Channel.Calls.empty()) << "nothing is connected or sent";
    }
    Protocol p;
    kPaymentReceipt receipt = Receipt(Currency::FromRaw(123400), ZrPrintLocation::pl_EFT);
    receipt.fRefundReference.PaymentNumber = u"003F0YA00001PQE0000YA1234560BMP499";
    const Text answer = u"100000010Q00" + Fit(u"***************1234", 19) + u"ICC" + u"123456" + u"0661405" +
                        u"0" + u"00000080006" + u"000123" + u"000046" + u"000";
    p.Channel.Replies = {TerminalAck(), TerminalAck() + TerminalFrame(answer)};
    _int_PAY_result r;
    EXPECT_TRUE(p.P17.DoVoid(receipt, r));
    EXPECT_EQ(p.Channel.Writes[0], BuildFrame(u"000000000E0"));
    EXPECT_EQ(p.Channel.Writes[1],
              BuildFrame(kP17Protocol::VoidMessage(u"00000005", u"003F0YA00001PQE0000YA1234560BMP499")));
    EXPECT_EQ(r.PaymentAmount.ToText(), u"12.34");
    EXPECT_EQ(r.PaymentCurrency, u"EUR");
    EXPECT_EQ(r.PaymentNetwork, zrPaymentNetwork::Nexi);
    EXPECT_TRUE(r.ReceiptText.empty());
}

TEST(P17Exchange, ReprintDayCloseTotalsAndVerification) {
    {
        Protocol p; // on the terminal: acknowledged is enough, even without an answer
        p.Channel.Replies = {TerminalAck()};
        _int_REPRINT_result r;
        EXPECT_TRUE(p.P17.DoReprint(Receipt(Currency(), ZrPrintLocation::pl_EFT), r));
        EXPECT_FALSE(r.Error);
        EXPECT_EQ(p.Channel.Writes[0], BuildFrame(u"000000000R000000000000"));
        EXPECT_EQ(p.Channel.Count("ReadUpTo 30000"), 11u);
        EXPECT_EQ(p.Pauses, std::vector<std::int32_t>(10, 500));
        EXPECT_TRUE(r.ReceiptText.empty());
    }
    {
        Protocol p; // to the cash register
        p.Channel.Replies = {TerminalAck() + TerminalFrame(u"100000010R00"),
                             ReceiptFrame(Text(23, u'c') + P17::ESC)};
        _int_REPRINT_result r;
        EXPECT_TRUE(p.P17.DoReprint(Receipt(), r));
        EXPECT_EQ(r.ReceiptText, Text(23, u'c') + u" \r\n");
    }
    {
        Protocol p; // not acknowledged
        _int_REPRINT_result r;
        EXPECT_FALSE(p.P17.DoReprint(Receipt(), r));
        EXPECT_TRUE(r.Error);
        EXPECT_EQ(r.ErrorText,
                  u"The terminal did not acknowledge the reprint request (no ACK within 3000 ms)");
    }
    {
        Protocol p; // a print location outside the type prints on the terminal
        p.Channel.Replies = {TerminalAck() + TerminalFrame(u"100000010R00")};
        _int_REPRINT_result r;
        p.P17.DoReprint(Receipt(Currency(), static_cast<ZrPrintLocation>(7)), r);
        EXPECT_EQ(p.Channel.Writes[0], BuildFrame(u"000000000R000000000000"));
    }
    {
        Protocol p;
        p.Channel.Replies = {TerminalAck() + TerminalFrame(u"100000010C000000000000012345000000000000")};
        kPaymentDayClose close;
        close.fTillCode = u"12";
        _int_DAYCLOSE_result r;
        EXPECT_TRUE(p.P17.DoDayClose(close, r));
        EXPECT_EQ(p.Channel.Writes[0], BuildFrame(u"000000000C000000120"
                                                  u"0000000"));
        EXPECT_EQ(r.TotalAmount.ToText(), u"123.45");
        EXPECT_EQ(p.Channel.Calls.back(), "Disconnect");
    }
    {
        Protocol p;
        p.Channel.Replies = {TerminalAck() + TerminalFrame(u"100000010T010000000000000000")};
        kPaymentTotals totals;
        _int_GETTOTALS_result r;
        EXPECT_FALSE(p.P17.DoGetTotals(totals, r));
        EXPECT_EQ(p.Channel.Writes[0], BuildFrame(u"000000000T000000000"
                                                  u"0000000"));
        EXPECT_EQ(r.ErrorText, u"Get Totals Error. Device does not return an error description");
    }
    {
        Protocol p;
        _int_PAY_result r;
        EXPECT_FALSE(p.P17.DoVerifyTran(Receipt(), r));
        EXPECT_EQ(r.ErrorText, u"unsupported");
        EXPECT_TRUE(r.Error);
        EXPECT_TRUE(p.Channel.Calls.empty());
    }
}
