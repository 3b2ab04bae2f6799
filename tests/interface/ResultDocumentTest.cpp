// The result documents byte for byte, through each command class's Format.
#include <gtest/gtest.h>

#include <locale>

#include "interface/PaymentWrapper.h"
#include "interface/ResultDocument.h"

namespace {
struct Formatted {
    Text Output;
    Text ErrorMessage;
    bool ErrorWasNull = true;
    std::int16_t Result = 99;
};

Formatted RunFormat(kPaymentWrapper& aCommand) {
    BSTR output = nullptr;
    BSTR error = nullptr;
    Formatted f;
    aCommand.Format(output, error, f.Result);
    f.Output = BstrToText(output);
    f.ErrorMessage = BstrToText(error);
    f.ErrorWasNull = error == nullptr;
    SysFreeString(output);
    SysFreeString(error);
    return f;
}

Text Lines(std::initializer_list<const char16_t*> aLines) {
    Text out;
    for (const char16_t* line : aLines) {
        if (!out.empty()) {
            out += u"\r\n";
        }
        out += line;
    }
    return out;
}

_int_PAY_result FilledPay() {
    _int_PAY_result r;
    r.DeviceId = u"T1";
    r.PaymentDateTime = EncodeDateTime(2024, 5, 1, 14, 3, 7, 400);
    r.PaymentNumber = u"000123";
    r.PaymentAmount = Currency::FromRaw(125000);
    r.PaymentCurrency = u"EUR";
    r.MaskedPAN = u"****1234";
    r.SerialNumber = u"SN9";
    r.TransactionType = zrPaymentTransactionType::ptt_ClessChip;
    r.PaymentNetwork = zrPaymentNetwork::NHS;
    r.AuthCode = u"A1";
    r.TraceAuditId = u"77";
    r.ExchangeRate = Currency::FromRaw(12345678);
    r.PaymentAmountCurrency = Currency::FromRaw(100);
    r.PaymentCurrencyCurrency = u"USD";
    r.TippedAmount = Currency::FromRaw(-25000);
    r.RemainingBalance = Currency::FromRaw(1000000);
    r.InstalmentCount = -3;
    r.NumberOfItems = 2;
    r.SingleItemAmount = Currency::FromRaw(5);
    r.SignatureRequested = true;
    r.CustomerCountryCode = u"IT";
    r.CardToken = u"tok";
    r.RefundReference = u"RR";
    r.ReceiptText = u"LINE 1\r\nLINE 2\tX";
    r.CashierReceiptText = u"C";
    r.RawResponse = u"NEVER WRITTEN";
    r.DigitalSignature = u"DS";
    r.DigitalSignatureInput = u"DSI";
    r.Error = false;
    r.ErrorText = u"a<b & c'd";
    r.LogFileName = u"/x/y.log";
    return r;
}

const Text kFilledPayDocument = Lines({
    u"<DeviceId>T1</DeviceId>",
    u"<PaymentDateTime>2024-05-01T14:03:07</PaymentDateTime>",
    u"<PaymentNumber>000123</PaymentNumber>",
    u"<PaymentAmount>12.5</PaymentAmount>",
    u"<PaymentCurrency>EUR</PaymentCurrency>",
    u"<ExchangeRate>1234.5678</ExchangeRate>",
    u"<PaymentAmountCurrency>0.01</PaymentAmountCurrency>",
    u"<PaymentCurrencyCurrency>USD</PaymentCurrencyCurrency>",
    u"<TippedAmount>-2.5</TippedAmount>",
    u"<RemainingBalance>100</RemainingBalance>",
    u"<InstalmentCount>-3</InstalmentCount>",
    u"<MaskedPAN>****1234</MaskedPAN>",
    u"<SerialNumber>SN9</SerialNumber>",
    u"<PaymentNetwork>NHS</PaymentNetwork>",
    u"<TransactionType>CLESSCHIP</TransactionType>",
    u"<AuthCode>A1</AuthCode>",
    u"<TraceAuditId>77</TraceAuditId>",
    u"<NumberOfItems>2</NumberOfItems>",
    u"<SingleItemAmount>0.0005</SingleItemAmount>",
    u"<SignatureRequested>True</SignatureRequested>",
    u"<CustomerCountryCode>IT</CustomerCountryCode>",
    u"<CardToken>tok</CardToken>",
    u"<RefundReference>RR</RefundReference>",
    u"<ReceiptText>LINE 1\r\nLINE 2\tX</ReceiptText>",
    u"<CashierReceiptText>C</CashierReceiptText>",
    u"<DigitalSignature>DS</DigitalSignature>",
    u"<DigitalSignatureInput>DSI</DigitalSignatureInput>",
    u"<Error>False</Error>",
    u"<ErrorText>a&lt;b &amp; c&apos;d</ErrorText>",
    u"<LogFileName>/x/y.log</LogFileName>",
});

// What every PAY or VERIFYTRAN that failed with a raised error writes.
Text ClearedPayDocument(const Text& aErrorText) {
    return Lines({u"<DeviceId></DeviceId>",
                  u"<PaymentDateTime>1899-12-30T00:00:00</PaymentDateTime>",
                  u"<PaymentNumber></PaymentNumber>",
                  u"<PaymentAmount>0</PaymentAmount>",
                  u"<PaymentCurrency></PaymentCurrency>",
                  u"<ExchangeRate>0</ExchangeRate>",
                  u"<PaymentAmountCurrency>0</PaymentAmountCurrency>",
                  u"<PaymentCurrencyCurrency></PaymentCurrencyCurrency>",
                  u"<TippedAmount>0</TippedAmount>",
                  u"<RemainingBalance>0</RemainingBalance>",
                  u"<InstalmentCount>0</InstalmentCount>",
                  u"<MaskedPAN></MaskedPAN>",
                  u"<SerialNumber></SerialNumber>",
                  u"<PaymentNetwork>other</PaymentNetwork>",
                  u"<TransactionType>OTHER</TransactionType>",
                  u"<AuthCode></AuthCode>",
                  u"<TraceAuditId></TraceAuditId>",
                  u"<NumberOfItems>0</NumberOfItems>",
                  u"<SingleItemAmount>0</SingleItemAmount>",
                  u"<SignatureRequested>False</SignatureRequested>",
                  u"<CustomerCountryCode></CustomerCountryCode>",
                  u"<CardToken></CardToken>",
                  u"<RefundReference></RefundReference>",
                  u"<ReceiptText></ReceiptText>",
                  u"<CashierReceiptText></CashierReceiptText>",
                  u"<DigitalSignature></DigitalSignature>",
                  u"<DigitalSignatureInput></DigitalSignatureInput>",
                  u"<Error>True</Error>"}) +
           u"\r\n<ErrorText>" + aErrorText + u"</ErrorText>\r\n<LogFileName></LogFileName>";
}

// A decimal comma in the C++ global locale must not reach any document.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
} // namespace

TEST(ResultDocument, EscapeXmlReplacesTheFiveCharactersOnce) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"a<b & c'd", u"a&lt;b &amp; c&apos;d"},
        {u"&lt;", u"&amp;lt;"},
        {u"\"x\" > y", u"&quot;x&quot; &gt; y"},
        {u"", u""},
        {u"line\r\nbreak\x01\x1f", u"line\r\nbreak\x01\x1f"},
        {u"\u00e8\u20ac", u"\u00e8\u20ac"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kPaymentWrapper::EscapeXml(c.in), c.out);
    }
}

// A text element is written in one pass: it must read as the two steps one after the other.
TEST(ResultDocument, TextElementsAreTheEscapeOfTheXmlCharacters) {
    const Text values[] = {
        u"",
        u"a<b & c'd \"e\" > f",
        Text(u"nul\0 soh\x01 tab\t lf\n cr\r us\x1f del\x7f", 31),
        u"pair \xD83D\xDE00 lone high \xD83D, lone low \xDE00, high at end \xD83D",
        u"\xFFFE \xFFFF \xFFFD &amp;",
    };
    for (const Text& value : values) {
        tZR_ResultDocument document;
        document.AddText(u"A", value);
        document.AddText(u"B", value);
        const Text expected = XmlEscaped(XmlCharactersOnly(value));
        EXPECT_EQ(document.Document(), u"<A>" + expected + u"</A>\r\n<B>" + expected + u"</B>");
    }
}

TEST(ResultDocument, PayAndVerifyTranWriteTheSameThirtyElements) {
    kPaymentWrapper_PAY pay;
    pay.fResult = FilledPay();
    kPaymentWrapper_VERIFYTRAN verify;
    verify.fResult = FilledPay();

    const Formatted p = RunFormat(pay);
    EXPECT_EQ(p.Output, kFilledPayDocument);
    EXPECT_EQ(p.Result, 0);
    // The error text goes out unescaped even on success.
    EXPECT_EQ(p.ErrorMessage, u"a<b & c'd");
    EXPECT_EQ(RunFormat(verify).Output, kFilledPayDocument);
}

TEST(ResultDocument, ClearedRecordsGiveTheFailureDocuments) {
    kPaymentWrapper_PAY pay;
    pay.ClearResult();
    pay.fResult.ErrorText = u"bad <request>";
    const Formatted p = RunFormat(pay);
    EXPECT_EQ(p.Output, ClearedPayDocument(u"bad &lt;request&gt;"));
    EXPECT_EQ(p.Result, -1);
    EXPECT_EQ(p.ErrorMessage, u"bad <request>");

    kPaymentWrapper_VERIFYTRAN verify;
    verify.ClearResult();
    EXPECT_EQ(RunFormat(verify).Output, ClearedPayDocument(u""));
    // A failure without a text still reports -1, with a null error text.
    EXPECT_EQ(RunFormat(verify).Result, -1);
    EXPECT_TRUE(RunFormat(verify).ErrorWasNull);

    kPaymentWrapper_OPEN open;
    open.ClearResult();
    open.fResult.ErrorText = u"Device Handle not found";
    EXPECT_EQ(RunFormat(open).Output,
              Lines({u"<Handle>0</Handle>", u"<Error>True</Error>",
                     u"<ErrorText>Device Handle not found</ErrorText>", u"<LogFileName></LogFileName>"}));
}

TEST(ResultDocument, EachCommandWritesItsElementsInOrder) {
    kPaymentWrapper_REPRINT reprint;
    reprint.fResult.ReceiptText = u"R1\r\nR2";
    reprint.fResult.CashierReceiptText = u"&";
    reprint.fResult.Error = false;

    kPaymentWrapper_OPEN open;
    open.fResult.Handle = 3;
    open.fResult.Error = false;

    kPaymentWrapper_CLOSE close;
    close.fResult.Error = false;

    kPaymentWrapper_GETSTATUS status;
    status.fResult.DayOpened = true;
    status.fResult.DateTime = EncodeDateTime(2030, 12, 31, 23, 59, 59);
    status.fResult.CoverOpen = true;
    status.fResult.FirmwareVersion = u"1.0";
    status.fResult.SerialNumber = u"S";
    status.fResult.FiscalMode = u"F";
    status.fResult.Error = true;
    status.fResult.ErrorText = u"x";
    status.fResult.LogFileName = u"L";

    kPaymentWrapper_DAYCLOSE dayClose;
    dayClose.fResult.DeviceId = u"D";
    dayClose.fResult.ClosureDateTime = EncodeDateTime(2024, 1, 2, 3, 4, 5);
    dayClose.fResult.ClosureNumber = u"0042";
    dayClose.fResult.TransactionsCount = 12;
    dayClose.fResult.TotalAmount = Currency::FromRaw(-1);
    dayClose.fResult.Currency = u"EUR";
    dayClose.fResult.ReceiptText = u"TOT";
    dayClose.fResult.LogFileName = u"C:\\LogFiles\\Payment\\a.log";

    kPaymentWrapper_GETTOTALS totals;
    totals.fResult.DeviceId = u"D";
    totals.fResult.TransactionsCount = 0;
    totals.fResult.TotalAmount = Currency::FromUnits(1000000);
    totals.fResult.Currency = u"EUR";

    const struct {
        kPaymentWrapper* command;
        Text document;
        std::int16_t result;
    } cases[] = {
        {&reprint,
         Lines({u"<ReceiptText>R1\r\nR2</ReceiptText>", u"<CashierReceiptText>&amp;</CashierReceiptText>",
                u"<Error>False</Error>", u"<ErrorText></ErrorText>", u"<LogFileName></LogFileName>"}),
         0},
        {&open,
         Lines({u"<Handle>3</Handle>", u"<Error>False</Error>", u"<ErrorText></ErrorText>",
                u"<LogFileName></LogFileName>"}),
         0},
        {&close, Lines({u"<Error>False</Error>", u"<ErrorText></ErrorText>", u"<LogFileName></LogFileName>"}),
         0},
        {&status,
         Lines({u"<DayOpened>True</DayOpened>", u"<DateTime>2030-12-31T23:59:59</DateTime>",
                u"<PaperEnd>False</PaperEnd>", u"<PaperNearEnd>False</PaperNearEnd>",
                u"<CoverOpen>True</CoverOpen>", u"<FiscalReceiptOpen>False</FiscalReceiptOpen>",
                u"<ReceiptOpen>False</ReceiptOpen>", u"<TrainingMode>False</TrainingMode>",
                u"<FirmwareVersion>1.0</FirmwareVersion>", u"<SerialNumber>S</SerialNumber>",
                u"<FiscalMode>F</FiscalMode>", u"<Error>True</Error>", u"<ErrorText>x</ErrorText>",
                u"<LogFileName>L</LogFileName>"}),
         -1},
        {&dayClose,
         Lines({u"<DeviceId>D</DeviceId>", u"<ClosureDateTime>2024-01-02T03:04:05</ClosureDateTime>",
                u"<ClosureNumber>0042</ClosureNumber>", u"<TransactionsCount>12</TransactionsCount>",
                u"<TotalAmount>-0.0001</TotalAmount>", u"<Currency>EUR</Currency>",
                u"<ReceiptText>TOT</ReceiptText>", u"<Error>False</Error>", u"<ErrorText></ErrorText>",
                u"<LogFileName>C:\\LogFiles\\Payment\\a.log</LogFileName>"}),
         0},
        {&totals,
         Lines({u"<DeviceId>D</DeviceId>", u"<DateTime>1899-12-30T00:00:00</DateTime>",
                u"<TransactionsCount>0</TransactionsCount>", u"<TotalAmount>1000000</TotalAmount>",
                u"<Currency>EUR</Currency>", u"<ReceiptText></ReceiptText>", u"<Error>False</Error>",
                u"<ErrorText></ErrorText>", u"<LogFileName></LogFileName>"}),
         0},
    };
    for (const auto& c : cases) {
        const Formatted f = RunFormat(*c.command);
        EXPECT_EQ(f.Output, c.document);
        EXPECT_EQ(f.Result, c.result);
    }
}

TEST(ResultDocument, DocumentsIgnoreTheGlobalLocale) {
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    kPaymentWrapper_PAY pay;
    pay.fResult = FilledPay();
    const Text document = RunFormat(pay).Output;
    std::locale::global(previous);
    EXPECT_EQ(document, kFilledPayDocument);
}
