// The message layouts and the driver that builds and parses with them: every request the driver builds
// carries its values where the layout puts them, and every answer laid out by the layout is read by the
// driver into the fields the layout names.
#include <gtest/gtest.h>

#include "drivers/AcquirerTable.h"
#include "drivers/P17MessageText.h"
#include "drivers/P17Protocol.h"
#include "drivers/RefundReference.h"
#include "support/ErrorOf.h"
#include "support/ScriptedDriver.h"

namespace {
const TDateTime kNow = EncodeDateTime(2025, 3, 7, 14, 30);

std::string Build(char aCode, bool aAnswer, std::initializer_list<P17Value> aValues) {
    const P17Layout* layout = aAnswer ? P17AnswerLayout(aCode) : P17RequestLayout(aCode);
    EXPECT_NE(layout, nullptr) << aCode;
    return layout ? P17Build(*layout, std::vector<P17Value>(aValues)) : std::string();
}

struct Parser : ScriptedDriver {
    Parser() : ScriptedDriver(u"kIOHandler_TCP", [] { return kNow; }) {}
};

// The decoded value of aName in aText read with the answer layout of aCode ("(unread)" when the driver
// does not read that field for this answer).
std::string Decoded(char aCode, const std::string& aText, P17Name aName) {
    for (const auto& f : P17Decode(*P17AnswerLayout(aCode), aText)) {
        if (P17Is(*f.Field, aName)) {
            return f.Value;
        }
    }
    return "(unread)";
}
} // namespace

// Each request the driver builds, against its bytes written out by hand from the message tables: a
// layout with a wrong position or width fails here even where the layouts agree with themselves.
TEST(P17Layouts, RequestsAreTheBytesOfTheMessageTables) {
    const Text reference = CalcRefundReference(123, 1234, 80006, Currency::FromRaw(123400), u"A1B2C3",
                                               EncodeDateTime(2025, 3, 7, 14, 5));
    Text ref128, error;
    ASSERT_TRUE(kP17Protocol::ReferenceField(u"R1", ref128, error));
    const struct {
        Text Driver;
        std::string Expected;
    } kCases[] = {
        {kP17Protocol::PrintLocationMessage(true), "000000000E1"},
        {kP17Protocol::PrintLocationMessage(false), "000000000E0"},
        {kP17Protocol::PayMessage(u"00000005", u"00001234", ref128), "000000000X"
                                                                     "00000005"
                                                                     "00000"
                                                                     "00001234" +
                                                                         std::string(126, ' ') + "R1" +
                                                                         "00000000"},
        {kP17Protocol::RefundMessage(u"00000007", u"00000500"), "000000000A"
                                                                "00000007"
                                                                "00000"
                                                                "00000500"
                                                                "00000000"},
        {kP17Protocol::VoidMessage(u"00000001", reference), "000000000Q"
                                                            "00000001"
                                                            "000000"
                                                            "000123"
                                                            "C1234"
                                                            "00000080006"
                                                            "00001234"
                                                            "A1B2C3"
                                                            "0703251405"
                                                            "0000000000"},
        {kP17Protocol::ReprintMessage(true), "000000000R"
                                             "1"
                                             "0"
                                             "0000000000"},
        {kP17Protocol::ReprintMessage(false), "000000000R"
                                              "0"
                                              "0"
                                              "0000000000"},
        {kP17Protocol::DayCloseMessage(u"00000042"), "000000000C"
                                                     "00000042"
                                                     "0"
                                                     "0000000"},
        {kP17Protocol::TotalsMessage(u"00000042"), "000000000T"
                                                   "00000042"
                                                   "0"
                                                   "0000000"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(TextToBytes(c.Driver), c.Expected);
    }
    EXPECT_EQ(TextToBytes(kP17Protocol::PayMessage(u"00000005", u"00001234", ref128)).size(), 167u);
    EXPECT_EQ(TextToBytes(kP17Protocol::VoidMessage(u"00000001", reference)).size(), 80u);
}

TEST(P17Layouts, RequestsBuiltFromTheLayoutsAreTheDriversRequests) {
    const Text reference = CalcRefundReference(123, 1234, 80006, Currency::FromRaw(123400), u"A1B2C3",
                                               EncodeDateTime(2025, 3, 7, 14, 5));
    ASSERT_TRUE(IsWellFormedRefundReference(reference));
    Text ref128, error;
    ASSERT_TRUE(kP17Protocol::ReferenceField(u"R1", ref128, error));
    const struct {
        char Code;
        std::vector<P17Value> Values;
        Text Driver;
    } kCases[] = {
        {'E', {{"print_on_ecr", "1"}}, kP17Protocol::PrintLocationMessage(true)},
        {'E', {{"print_on_ecr", "0"}}, kP17Protocol::PrintLocationMessage(false)},
        {'X',
         {{"ecr", "00000005"}, {"amount", "00001234"}, {"reference", "R1"}},
         kP17Protocol::PayMessage(kP17Protocol::EcrIdentifier(u"5"), u"00001234", ref128)},
        {'A',
         {{"ecr", "00000007"}, {"amount", "500"}},
         kP17Protocol::RefundMessage(u"00000007", u"00000500")},
        {'Q',
         {{"ecr", "00000001"},
          {"stan", "000123"},
          {"card", "C1234"},
          {"acquirer", "00000080006"},
          {"amount", "00001234"},
          {"auth_code", "A1B2C3"},
          {"date_time", "0703251405"}},
         kP17Protocol::VoidMessage(u"00000001", reference)},
        {'R', {{"print_on_ecr", "1"}}, kP17Protocol::ReprintMessage(true)},
        {'R', {{"print_on_ecr", "0"}}, kP17Protocol::ReprintMessage(false)},
        {'C', {{"ecr", "00000042"}}, kP17Protocol::DayCloseMessage(u"00000042")},
        {'T', {{"ecr", "00000042"}}, kP17Protocol::TotalsMessage(u"00000042")},
    };
    for (const auto& c : kCases) {
        const P17Layout& layout = *P17RequestLayout(c.Code);
        const std::string built = P17Build(layout, c.Values);
        EXPECT_EQ(built, TextToBytes(c.Driver)) << layout.Name;
        EXPECT_EQ(built.size(), layout.Length) << layout.Name;
        // Read back, every value sits where it was put.
        for (const auto& v : c.Values) {
            const P17Field* f = P17FindField(layout, v.Name);
            ASSERT_NE(f, nullptr) << v.Name.View();
            std::string expected = v.Value;
            expected.insert(0, f->Width - expected.size(), f->Kind == P17FieldKind::Text ? ' ' : '0');
            EXPECT_EQ(P17FieldText(built, *f), expected) << layout.Name << " " << v.Name.View();
        }
    }
}

TEST(P17Layouts, AnOverLongReferenceIsPlacedWholeAsTheDriverSendsIt) {
    const std::string longReference(130, 'r');
    const std::string built = Build('X', false, {{"ecr", "00000001"}, {"reference", longReference}});
    EXPECT_EQ(built.size(), 169u);
    EXPECT_EQ(built.substr(31, 130), longReference);
    EXPECT_EQ(built.substr(161), "00000000");
}

TEST(P17Layouts, PaymentAnswersAreReadByTheDriverAsTheLayoutSays) {
    const struct {
        const char* What;
        std::vector<P17Value> Values;
    } kCases[] = {
        {"approved",
         {{"terminal_id", "10000001"},
          {"result", "00"},
          {"card", "***************1234"},
          {"entry_mode", "CLI"},
          {"auth_code", "A1B2C3"},
          {"date_time", "0661405"},
          {"acquirer", "00000080006"},
          {"stan", "000123"},
          {"operation", "000045"},
          {"amount", "00001234"}}},
        {"approved, bank flag",
         {{"terminal_id", "10000002"},
          {"result", "00"},
          {"card", "************9876"},
          {"entry_mode", "ICC"},
          {"auth_code", "ZZ9999"},
          {"date_time", "0010000"},
          {"bank_flag", "1"},
          {"acquirer", "00000000003"},
          {"stan", "A0B1C2"},
          {"operation", "1"},
          {"amount", "1"}}},
        {"conversion",
         {{"terminal_id", "10000001"},
          {"code", "V"},
          {"result", "00"},
          {"card", "***************1234"},
          {"entry_mode", "MAG"},
          {"auth_code", "A1B2C3"},
          {"date_time", "0661405"},
          {"acquirer", "00000080006"},
          {"stan", "000123"},
          {"operation", "000045"},
          {"amount", "00001234"},
          {"conversion", "1"},
          {"rate", "01234567"},
          {"currency", "840"},
          {"foreign_amount", "000000012345"},
          {"decimals", "2"}}},
        {"declined",
         {{"terminal_id", "10000001"},
          {"result", "01"},
          {"error_text", "CARTA RIFIUTATA"},
          {"stan", "000124"}}},
    };
    for (const auto& c : kCases) {
        const std::string answer = P17Build(*P17AnswerLayout('X'), c.Values);
        Parser p;
        _int_PAY_result r;
        const bool approved = p.P17.ParsePayResponse(BytesToText(answer), r);
        SCOPED_TRACE(c.What);
        auto field = [&](P17Name aName) { return BytesToText(Decoded('X', answer, aName)); };
        EXPECT_EQ(approved, field("result") == u"00");
        EXPECT_EQ(r.DeviceId, field("terminal_id"));
        EXPECT_EQ(r.TraceAuditId, field("stan"));
        if (approved) {
            EXPECT_EQ(r.MaskedPAN, field("card"));
            EXPECT_EQ(r.AuthCode, field("auth_code"));
            EXPECT_EQ(r.PaymentNumber, field("operation"));
            EXPECT_EQ(r.TransactionType, DecodeEntryMode(field("entry_mode")));
            EXPECT_EQ(r.PaymentAmount.Cents(), kP17Protocol::StrToInt(field("amount")));
            const zrPaymentNetwork network = field("bank_flag") == u"1"
                                                 ? zrPaymentNetwork::Bank
                                                 : DecodeAcquirer(field("acquirer"), p.Custom);
            EXPECT_EQ(r.PaymentNetwork, network);
            EXPECT_DOUBLE_EQ(r.PaymentDateTime,
                             kP17Protocol::DecodeTerminalDateTime(field("date_time"), kNow));
            const bool conversion = Decoded('X', answer, "rate") != "(unread)";
            EXPECT_EQ(conversion, r.ExchangeRate.Raw() != 0);
            if (conversion) {
                EXPECT_EQ(r.ExchangeRate.Raw(), kP17Protocol::StrToInt(field("rate")));
                EXPECT_EQ(r.PaymentCurrencyCurrency, field("currency"));
            }
            EXPECT_EQ(Decoded('X', answer, "error_text"), "(unread)");
        } else {
            EXPECT_EQ(r.ErrorText, field("error_text"));
            EXPECT_EQ(Decoded('X', answer, "card"), "(unread)");
        }
    }
}

TEST(P17Layouts, RefundAndVoidAnswersShareTheCardFieldsTheDriverReads) {
    const std::vector<P17Value> card = {{"terminal_id", "10000001"}, {"card", "***************5678"},
                                        {"entry_mode", "CLM"},       {"auth_code", "B2C3D4"},
                                        {"acquirer", "00000000001"}, {"date_time", "0661405"},
                                        {"stan", "000321"},          {"operation", "000099"}};
    for (const char* code : {"00", "01"}) {
        std::vector<P17Value> values = card;
        values.push_back({"result", code});
        const std::string answer = P17Build(*P17AnswerLayout('A'), values);
        Parser p;
        _int_PAY_result r;
        EXPECT_EQ(p.P17.ParseRefundResponse(BytesToText(answer), r), std::string(code) == "00");
        // All refund fields are read whatever the result code.
        EXPECT_EQ(TextToBytes(r.MaskedPAN), Decoded('A', answer, "card")) << code;
        EXPECT_EQ(TextToBytes(r.AuthCode), Decoded('A', answer, "auth_code")) << code;
        EXPECT_EQ(r.PaymentNetwork, DecodeAcquirer(BytesToText(Decoded('A', answer, "acquirer")), p.Custom));
    }
    for (const char* code : {"00", "01", "91"}) {
        std::vector<P17Value> values = card;
        values.push_back({"result", code});
        values.push_back({"error_text", "OPERAZIONE NON TROVATA"});
        const std::string answer = P17Build(*P17AnswerLayout('Q'), values);
        Parser p;
        _int_PAY_result r;
        const bool approved = p.P17.ParseVoidResponse(BytesToText(answer), r);
        EXPECT_EQ(approved, std::string(code) == "00");
        EXPECT_EQ(TextToBytes(r.TraceAuditId), Decoded('Q', answer, "stan")) << code;
        EXPECT_EQ(TextToBytes(r.PaymentNumber), Decoded('Q', answer, "operation")) << code;
        if (approved) {
            EXPECT_EQ(TextToBytes(r.MaskedPAN), Decoded('Q', answer, "card"));
            EXPECT_EQ(TextToBytes(r.AuthCode), Decoded('Q', answer, "auth_code"));
        } else {
            EXPECT_EQ(TextToBytes(r.ErrorText), Decoded('Q', answer, "error_text")) << code;
        }
    }
    // One table of card fields: the three answers name the same positions.
    static constexpr P17Name kCardFields[] = {"card", "entry_mode", "auth_code"};
    for (const P17Name name : kCardFields) {
        const P17Field* pay = P17FindField(*P17AnswerLayout('X'), name);
        EXPECT_EQ(pay, P17FindField(*P17AnswerLayout('A'), name)) << name.View();
        EXPECT_EQ(pay, P17FindField(*P17AnswerLayout('Q'), name)) << name.View();
    }
}

TEST(P17Layouts, DayCloseAndTotalsAnswersAreReadAsTheLayoutSays) {
    for (const char* code : {"00", "01"}) {
        const std::string answer = Build('C', true,
                                         {{"terminal_id", "10000001"},
                                          {"result", code},
                                          {"total", "0000000000012345"},
                                          {"error_text", "CHIUSURA NON RIUSC"}});
        Parser p;
        _int_DAYCLOSE_result r;
        EXPECT_EQ(p.P17.ParseDayCloseResponse(BytesToText(answer), r), std::string(code) == "00");
        if (std::string(code) == "00") {
            EXPECT_EQ(r.TotalAmount.Cents(), 12345);
        } else {
            EXPECT_EQ(TextToBytes(r.ErrorText), Decoded('C', answer, "error_text"));
        }
    }
    const std::string totals =
        Build('T', true, {{"terminal_id", "10000001"}, {"result", "00"}, {"total", "999"}});
    Parser p;
    _int_GETTOTALS_result r;
    EXPECT_TRUE(p.P17.ParseTotalsResponse(BytesToText(totals), r));
    EXPECT_EQ(r.TotalAmount.Cents(), 999);
    EXPECT_EQ(TextToBytes(r.DeviceId), Decoded('T', totals, "terminal_id"));
}

TEST(P17Layouts, DecodingNeverFailsOnShortOrDamagedTexts) {
    const std::string full = Build('X', true, {{"result", "00"}, {"card", "***1234"}, {"amount", "1"}});
    for (const P17Layout* layout : P17AllLayouts()) {
        for (std::size_t cut = 0; cut <= full.size(); cut += 7) {
            for (const auto& f : P17Decode(*layout, std::string_view(full).substr(0, cut))) {
                EXPECT_LE(f.Value.size(), f.Field->Width);
                EXPECT_EQ(f.Complete, f.Value.size() == f.Field->Width);
            }
        }
    }
    EXPECT_EQ(P17RequestLayout('Z'), nullptr);
    EXPECT_EQ(P17AnswerLayout('E'), nullptr);
    EXPECT_EQ(P17MessageCode(full), 'X');
    EXPECT_EQ(P17MessageCode(std::string_view(full).substr(0, 9)), '\0');
}

// Which fields the driver reads follows from the answer's result code, code letter and conversion flag
// alone; a character beyond one byte never passes for the digit it ends in.
TEST(P17Layouts, TheAnswerKeyDecidesWhatTheDriverReads) {
    const Text approved = u"100000010V00" + Text(70, u'0') + u"1";
    Text wide = approved;
    wide[11] = u'\u0130'; // low byte '0'
    const struct {
        char Code;
        Text Answer;
        P17Name Field;
        bool Read;
    } cases[] = {
        {'X', approved, "card", true},
        {'X', approved, "rate", true},
        {'X', approved, "error_text", false},
        {'X', u"100000010X00" + Text(70, u'0') + u"1", "rate", false},
        {'X', u"100000010V01" + Text(70, u'0') + u"1", "rate", false},
        {'X', u"100000010V01", "stan", true},
        {'X', u"100000010V01", "error_text", true},
        {'X', u"100000010V0", "stan", false},
        {'X', wide, "card", false},
        {'X', wide, "stan", false},
        {'Q', u"100000010Q91", "error_text", true},
        {'Q', u"100000010Q91", "card", false},
        {'Q', u"100000010Q05", "stan", true},
        {'A', u"", "card", true},
        {'C', u"100000010C00", "total", true},
        {'C', u"100000010C00", "error_text", false},
        {'T', u"100000010T05", "total", true},
        {'T', u"100000010T00", "card", false},
    };
    for (const auto& c : cases) {
        const kP17Answer answer(c.Code, c.Answer);
        if (c.Code == 'T' && c.Field == P17Name("card")) {
            EXPECT_EQ(ErrorOf([&]() { answer.Reads(c.Field); }), u"The answer to totals has no field card");
            continue;
        }
        EXPECT_EQ(answer.Reads(c.Field), c.Read)
            << c.Code << " " << c.Field.View() << " " << TextToUtf8(c.Answer);
        const std::string bytes = TextToBytes(c.Answer);
        EXPECT_EQ(P17Reads(*P17AnswerLayout(c.Code), c.Field, P17KeyOf(*P17AnswerLayout(c.Code), bytes)),
                  c.Read)
            << "the byte text of the same answer";
    }
}

// The one cutter of receipt lines, for the driver (BreakReceiptLines, lines followed by CR LF) and the
// zrpa tool (P17ReceiptLines).
TEST(P17Receipt, LineBreaking) {
    const std::string esc(1, '\x1B');
    const struct {
        std::string Input;
        std::vector<std::string> Lines;
        const char* Why;
    } cases[] = {
        {"ABC" + std::string(21, ' ') + "^" + std::string(41, 'x') + esc,
         {"ABC" + std::string(21, ' '), std::string(41, 'x') + " "},
         "24 then 42, ESC shown as a blank"},
        {std::string(30, 'a'), {std::string(24, 'a')}, "a last partial line is dropped"},
        {"{" + std::string(24, 'b'), {std::string(12, 'b'), std::string(12, 'b')}, "width 12"},
        {"|" + std::string(12, 'c') + "~" + std::string(24, 'd'),
         {std::string(12, 'c'), std::string(24, 'd')},
         "| then ~"},
        {"^}" + std::string(24, 'e') + "\x7F", {std::string(24, 'e')}, "selectors are not text"},
        {std::string(20, 'f') + "{g",
         {std::string(20, 'f') + "g"},
         "a narrower width ends the current line at once"},
        {"{twelve chars}" + std::string(24, 'z') + "|" + std::string(12, 'w') + "~" + std::string(24, 'v'),
         {"twelve chars", std::string(24, 'z'), std::string(12, 'w'), std::string(24, 'v')},
         "every selector in turn"},
        {"^" + std::string(20, 'a') + "}" + std::string(10, 'b') + "\x7F" + "c",
         {std::string(20, 'a') + std::string(4, 'b')},
         "a line begun at 42 ends at 24 once 24 long"},
        {"", {}, "no text"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(P17ReceiptLines(c.Input), c.Lines) << c.Why;
        Text printed;
        for (const auto& line : c.Lines) {
            printed += BytesToText(line) + u"\r\n";
        }
        EXPECT_EQ(BreakReceiptLines(BytesToText(c.Input)), printed) << c.Why;
    }
}
