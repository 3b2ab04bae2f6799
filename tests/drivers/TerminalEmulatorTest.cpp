// The terminal emulator's side of the messages, byte for byte: the answers it writes and the requests it
// refuses. The driver's end-to-end tests only see what the driver makes of an answer, and the emulator
// reads and writes through the driver's own message layouts, so these bytes are written out by hand.
#include <gtest/gtest.h>

#include <functional>

#include "drivers/P17Link.h"
#include "io/IOHandler_TCP.h"
#include "support/LoopbackConnection.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
const std::string kPay = "000000000X"
                         "00000005"
                         "00000"
                         "00001234" +
                         std::string(126, ' ') + "R1" + "00000000";
const std::string kRefund = "000000000A"
                            "00000005"
                            "00000"
                            "00001234"
                            "00000000";
const std::string kVoid = "000000000Q"
                          "00000005"
                          "000000"
                          "000042"
                          "C1234"
                          "00000000003"
                          "00001234"
                          "A1B2C3"
                          "3112251230"
                          "0000000000";
const std::string kReprint = "000000000R1"
                             "0"
                             "0000000000";
const std::string kDayClose = "000000000C"
                              "00000005"
                              "0"
                              "0000000";
const std::string kTotals = "000000000T"
                            "00000005"
                            "0"
                            "0000000";

// aText with the characters from position aPos (from 1) replaced by aWith.
std::string With(std::string aText, std::size_t aPos, const std::string& aWith) {
    return aText.replace(aPos - 1, aWith.size(), aWith);
}

struct Exchange {
    std::string Answer; // empty when none came
    std::vector<std::string> Problems;
};

// Sends aRequest to a terminal configured by aSetUp and reads its answer (a print location has none).
Exchange Send(const std::string& aRequest, const std::function<void(p17emu::Config&)>& aSetUp = {}) {
    p17emu::Config config;
    config.DateTime = "3651230";
    config.Receipt = false;
    if (aSetUp) {
        aSetUp(config);
    }
    EmulatedTerminal terminal(config);
    kConnection connection = LoopbackTcp(terminal.Port());
    kIOHandler_TCP channel(&connection, Text(), Text());
    EXPECT_TRUE(channel.Connect());
    kP17Link link(channel);
    Exchange out;
    EXPECT_TRUE(link.SendFrame(BuildFrame(Utf8ToText(aRequest)))) << TextToUtf8(link.Fault());
    Text answer;
    const bool answered =
        aRequest.size() >= 10 && std::string("XAQRCT").find(aRequest[9]) != std::string::npos;
    if (answered && link.ReadResponse(3000, answer)) {
        out.Answer = TextToUtf8(answer);
    }
    out.Problems = terminal->Problems();
    return out;
}
} // namespace

TEST(TerminalEmulator, AnswersAreTheseBytes) {
    const auto set = [](std::function<void(p17emu::Config&)> f) { return f; };
    const struct {
        const char* Name;
        std::string Request;
        std::function<void(p17emu::Config&)> SetUp;
        std::string Answer;
    } cases[] = {
        {"payment approved",
         kPay,
         {},
         "100000010X00***************1234ICCA1B2C33651230000000000003000001000001000000012340"},
        {"payment approved, bank", kPay, set([](p17emu::Config& c) { c.BankFlag = true; }),
         "100000010X00***************1234ICCA1B2C33651230100000000003000001000001000000012340"},
        {"payment declined", kPay, set([](p17emu::Config& c) { c.PayResult = "01"; }),
         "100000010X01OPERAZIONE RIFIUTATA                           000001000000000000000000"},
        {"payment, other result", kPay, set([](p17emu::Config& c) { c.PayResult = "05"; }),
         "100000010X05OPERAZIONE RIFIUTATA                           000001000000000000000000"},
        {"payment converted", kPay, set([](p17emu::Config& c) { c.Conversion = true; }),
         "100000010V00***************"
         "1234ICCA1B2C33651230000000000003000001000001000000012341012345678400000000123452"},
        {"payment, long values cut", kPay, set([](p17emu::Config& c) {
             c.Pan = std::string(25, '9');
             c.AuthCode = "ABCDEFGH";
             c.ErrorText = std::string(30, 'E');
             c.Stan = "000777";
             c.OperationNumber = "000888";
         }),
         "100000010X009999999999999999999ICCABCDEF3651230000000000003000777000888000000012340"},
        {"payment, long reference",
         With(kPay, 160, "XYZ00000000"),
         {},
         "100000010X00***************1234ICCA1B2C33651230000000000003000001000001000000012340"},
        {"payment refused as invalid",
         With(kPay, 24, "0000123 "),
         {},
         "100000010X01RICHIESTA NON VALIDA                           000001000000000000000000"},
        {"refund approved", kRefund, {}, "100000010A00***************1234ICCA1B2C3000000000033651230"},
        {"refund declined", kRefund, set([](p17emu::Config& c) { c.RefundResult = "01"; }),
         "100000010A01***************1234ICCA1B2C3000000000033651230"},
        {"void approved",
         kVoid,
         {},
         "100000010Q00***************1234ICCA1B2C33651230000000000003000042000001000"},
        {"void approved, card given", kVoid, set([](p17emu::Config& c) { c.VoidPan = "4111111111111111"; }),
         "100000010Q004111111111111111   ICCA1B2C33651230000000000003000042000001000"},
        {"void declined", kVoid, set([](p17emu::Config& c) { c.VoidResult = "01"; }),
         "100000010Q01OPERAZIONE NON TROVATA             000000000003000042000001000"},
        {"void of no payment held", kVoid, set([](p17emu::Config& c) { c.VoidCheck = true; }),
         "100000010Q01OPERAZIONE NON TROVATA             000000000003000042000001000"},
        {"reprint without a receipt", kReprint, {}, "100000010R01"},
        {"day close", kDayClose, set([](p17emu::Config& c) { c.Total = 123456; }),
         "100000010C000000000000123456000000000000"},
        {"day close declined", kDayClose, set([](p17emu::Config& c) { c.DayCloseResult = "01"; }),
         "100000010C01CHIUSURA NON RIUSCI000000000"},
        {"totals", kTotals, set([](p17emu::Config& c) { c.Total = 1234; }), "100000010T000000000000001234"},
        {"totals below zero", kTotals, set([](p17emu::Config& c) { c.Total = -80; }),
         "100000010T00-000000000000080"},
        {"totals refused as invalid", With(kTotals, 11, "0000000A"), {}, "100000010T010000000000000000"},
    };
    for (const auto& c : cases) {
        const Exchange e = Send(c.Request, c.SetUp);
        EXPECT_EQ(e.Answer, c.Answer) << c.Name;
    }
}

TEST(TerminalEmulator, RefusesRequestsThatAreNotAsTheTerminalExpects) {
    const std::string fixed = "a fixed field is not as expected";
    const struct {
        const char* Name;
        std::string Request;
        std::string Problem; // empty: accepted
    } cases[] = {
        {"print location", "000000000E1", ""},
        {"reference longer than its field", With(kPay, 160, "XYZ00000000"), ""},
        {"anything in the reference", With(kPay, 32, "\x01?"), ""},
        {"anything in the void's authorisation", With(kVoid, 55, "      "), ""},
        {"header not zeros", With(kPay, 1, "1"), "X: header is not nine zeros and a code letter"},
        {"header filler", With(kTotals, 9, "1"), "T: header is not nine zeros and a code letter"},
        {"text without a code", "000000000", "?: header is not nine zeros and a code letter"},
        {"unknown code", "000000000Z", "Z: unknown request code Z"},
        {"print location too long", "000000000E10", "E: length 12, expected 11"},
        {"print location flag", "000000000E2", "E: print flag is neither 0 nor 1"},
        {"payment too short", kPay.substr(0, 166), "X: length 166, expected at least 167"},
        {"payment ecr", With(kPay, 11, " "), "X: " + fixed},
        {"payment filler", With(kPay, 23, "1"), "X: " + fixed},
        {"payment amount", With(kPay, 31, "x"), "X: " + fixed},
        {"payment last filler", With(kPay, 167, "1"), "X: " + fixed},
        {"long payment, last filler", With(kPay, 160, "XYZ00000001"), "X: " + fixed},
        {"refund too long", kRefund + "0", "A: length 40, expected 39"},
        {"refund ecr", With(kRefund, 18, "-"), "A: " + fixed},
        {"refund filler", With(kRefund, 19, "9"), "A: " + fixed},
        {"refund amount", With(kRefund, 24, "+"), "A: " + fixed},
        {"refund last filler", With(kRefund, 32, " "), "A: " + fixed},
        {"void too short", kVoid.substr(0, 79), "Q: length 79, expected 80"},
        {"void ecr", With(kVoid, 11, "a"), "Q: " + fixed},
        {"void filler", With(kVoid, 24, "1"), "Q: " + fixed},
        {"void stan", With(kVoid, 25, "A"), "Q: " + fixed},
        {"void card letter", With(kVoid, 31, "D"), "Q: " + fixed},
        {"void card digits", With(kVoid, 34, "*"), "Q: " + fixed},
        {"void acquirer", With(kVoid, 46, " "), "Q: " + fixed},
        {"void amount", With(kVoid, 47, "."), "Q: " + fixed},
        {"void date", With(kVoid, 70, "x"), "Q: " + fixed},
        {"void last filler", With(kVoid, 80, "1"), "Q: " + fixed},
        {"reprint too short", kReprint.substr(0, 21), "R: length 21, expected 22"},
        {"reprint flag", With(kReprint, 11, "2"), "R: " + fixed},
        {"reprint filler", With(kReprint, 12, "1"), "R: " + fixed},
        {"reprint last filler", With(kReprint, 22, "1"), "R: " + fixed},
        {"day close ecr", With(kDayClose, 11, " "), "C: " + fixed},
        {"day close filler", With(kDayClose, 19, "1"), "C: " + fixed},
        {"day close last filler", With(kDayClose, 26, "1"), "C: " + fixed},
        {"totals too long", kTotals + " ", "T: length 27, expected 26"},
        {"totals filler", With(kTotals, 20, "1"), "T: " + fixed},
    };
    for (const auto& c : cases) {
        const Exchange e = Send(c.Request);
        EXPECT_EQ(e.Problems, c.Problem.empty() ? std::vector<std::string>{} : std::vector{c.Problem})
            << c.Name;
    }
}
