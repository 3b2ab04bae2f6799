// Control characters that a terminal sends never reach a result document or an error text raw.
#include <gtest/gtest.h>

#include "drivers/P17Protocol.h"
#include "interface/PaymentWrapper.h"
#include "io/IOHandler_TCP.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
// Every code unit is one that XML 1.0 can carry (surrogates only in pairs).
bool XmlCarries(const Text& aText) {
    for (std::size_t i = 0; i < aText.size(); ++i) {
        const char16_t c = aText[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aText.size() && aText[i + 1] >= 0xDC00 &&
            aText[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
    }
    return true;
}

// Every text the terminal fills, with aBad inside.
p17emu::Config Dirty(char aBad) {
    const std::string b(1, aBad);
    p17emu::Config c;
    c.TerminalId = "1000000" + b;
    c.Pan = "**************" + b + "1234";
    c.EntryMode = "IC" + b;
    c.AuthCode = "A1B2C" + b;
    c.Acquirer = "0000000000" + b;
    c.Stan = "00012" + b;
    c.OperationNumber = "00012" + b;
    c.ErrorText = "RIFIUTATA " + b;
    c.VoidErrorText = "NON TROVATA " + b;
    c.DayCloseErrorText = "NON RIUSCITA " + b;
    c.ReceiptRaw = "}RICEVUTA " + b + std::string(12, ' ') + b + "\x1b";
    return c;
}

struct Outcome {
    Text Document;
    Text ErrorText;
};
} // namespace

TEST(WellFormedDocuments, ControlCharactersFromTheTerminalBecomeSpaces) {
    for (const char bad : {'\x00', '\x07', '\x0c', '\x1d', '\x1f', '\x01'}) {
        EmulatedTerminal terminal;
        kConnection connection;
        connection.ConnectionType = zrConnectionType::TCP;
        connection.Address = u"127.0.0.1";
        connection.Port = terminal.Port();
        kIOHandler_TCP channel(&connection, Text(), Text());
        TextList custom;
        kP17Protocol p17(channel, custom, u"127.0.0.1");
        kPaymentReceipt request;
        request.fAmount = Currency::FromRaw(10000);
        _int_PAY_result clean;
        ASSERT_TRUE(p17.DoPay(request, clean));

        std::vector<std::pair<std::string, Outcome>> outcomes;
        auto card = [&](const char* aName, const p17emu::Config& aConfig, zrPaymentAction aAction) {
            terminal->SetConfig(aConfig);
            kPaymentReceipt r = request;
            r.fRefundReference.PaymentNumber = clean.RefundReference;
            _int_PAY_result result;
            aAction == zrPaymentAction::pa_Pay      ? p17.DoPay(r, result)
            : aAction == zrPaymentAction::pa_Refund ? p17.DoRefund(r, result)
                                                    : p17.DoVoid(r, result);
            EXPECT_TRUE(p17.OperationNote().empty()) << aName;
            outcomes.push_back({aName, {PayResultDocument(result), result.ErrorText}});
            return result;
        };
        p17emu::Config dirty = Dirty(bad);
        const _int_PAY_result approved = card("approved payment", dirty, zrPaymentAction::pa_Pay);
        EXPECT_FALSE(approved.Error);
        EXPECT_TRUE(approved.RefundReference.empty()) << "an authorisation code a void cannot send back";
        EXPECT_NE(TextToUtf8(outcomes.back().second.Document).find("<AuthCode>A1B2C </AuthCode>"),
                  std::string::npos);
        card("refund", dirty, zrPaymentAction::pa_Refund);
        dirty.PayResult = "01";
        dirty.RefundResult = "01";
        dirty.VoidResult = "01";
        dirty.DayCloseResult = "01";
        card("declined payment", dirty, zrPaymentAction::pa_Pay);
        card("refused void", dirty, zrPaymentAction::pa_Void);
        dirty.PayResult = std::string(1, bad) + "5";
        card("unknown result code", dirty, zrPaymentAction::pa_Pay);

        terminal->SetConfig(dirty);
        _int_DAYCLOSE_result closed;
        p17.DoDayClose(kPaymentDayClose(), closed);
        outcomes.push_back({"day close", {DayCloseResultDocument(closed), closed.ErrorText}});
        kPaymentReceipt reprint;
        _int_REPRINT_result reprinted;
        p17.DoReprint(reprint, reprinted);
        EXPECT_FALSE(reprinted.ReceiptText.empty());
        outcomes.push_back({"reprint", {ReprintResultDocument(reprinted), reprinted.ErrorText}});

        for (const auto& [name, outcome] : outcomes) {
            EXPECT_TRUE(XmlCarries(outcome.Document)) << name << ", byte " << int(bad);
        }
    }
}

TEST(WellFormedDocuments, ErrorTextsAndEveryDocumentFieldCarryOnlyXmlCharacters) {
    const Text bad[] = {Text(1, u'\0'),
                        u"\x0B",
                        u"\x1B",
                        Text(1, char16_t(0xFFFE)),
                        Text(1, char16_t(0xFFFF)),
                        Text(1, char16_t(0xD800)),
                        Text(1, char16_t(0xDC00))};
    for (const Text& b : bad) {
        _int_PAY_result r;
        r.DeviceId = r.PaymentNumber = r.MaskedPAN = r.AuthCode = r.TraceAuditId = r.RefundReference =
            r.ReceiptText = r.PaymentCurrency = r.PaymentCurrencyCurrency = r.ErrorText = u"x" + b + u"y";
        const Text document = PayResultDocument(r);
        EXPECT_TRUE(XmlCarries(document)) << int(b[0]);
        EXPECT_NE(document.find(u"<ErrorText>x y</ErrorText>"), Text::npos) << int(b[0]);
        EXPECT_EQ(XmlCharactersOnly(r.ErrorText), u"x y") << int(b[0]);
    }
    const Text pair = u"a\xD83D\xDE00z\tb\r\nc";
    EXPECT_EQ(XmlCharactersOnly(pair), pair) << "pairs, tab, CR and LF stay";
}
