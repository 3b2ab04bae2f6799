// What a technician reads: the library's phrases in plain words, the progress step, frames with their
// check character apart, money with two decimals, and the emulator's own lines. Each case is the text
// shown, since a technician who meets an odd or repeated text goes looking for a fault that is not there.
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "DayCount.h"
#include "LogLines.h"
#include "PlainWords.h"
#include "ZrpaOutput.h"
#include "ZrpaToolSupport.h"
#include "emulator/EmulatorScreen.h"
#include "support/TempFolder.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
bool Has(const std::string& aText, const std::string& aPart) {
    return aText.find(aPart) != std::string::npos;
}

// A frame as the library logs it: control characters named, the check character after the end.
std::string Logged(char aStart, const std::string& aText) {
    std::string frame = std::string(1, aStart) + aText + "\x03";
    char lrc = 0x7F;
    for (const char c : frame) {
        lrc = static_cast<char>(lrc ^ c);
    }
    return ShowBytes(frame + lrc);
}

std::string WriteLog(const TempFolder& aFolder, const std::string& aName, const std::string& aText) {
    const auto path = aFolder.Path() / aName;
    std::ofstream(path, std::ios::binary) << aText;
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}
} // namespace

TEST(TechnicianView, LibraryPhrasesAndStepsInPlainWords) {
    const struct {
        const char* Library;
        const char* Plain;
    } kPhrases[] = {
        {"ReadUpTo Unexpected error:Connection Closed Gracefully.", "the terminal closed the connection"},
        {"3 reads without data, last: ReadUpTo Unexpected error:Connection reset",
         "3 reads without data, last: reading from the terminal failed: Connection reset"},
        {"Unable to connect to device 127.0.0.1:1", "could not connect to the terminal at 127.0.0.1:1"},
        {"Invalid Packet Received", "the terminal sent a damaged message"},
        {"OPERAZIONE RIFIUTATA", "OPERAZIONE RIFIUTATA"},
    };
    for (const auto& c : kPhrases) {
        EXPECT_EQ(TechnicianText(c.Library), c.Plain);
    }
    EXPECT_EQ(ChannelName("kIOHandler_TCP"), "network (TCP)");
    EXPECT_EQ(ChannelName("kIOHandler_Serial"), "serial line");
    EXPECT_EQ(ChannelName("kIOHandler_Future"), "Future");

    const struct {
        const char* Line;
        const char* Step; // "" keeps the step shown before
    } kSteps[] = {
        {"kIOHandler_TCP", "connecting to the terminal"},
        {"Request: PAY | amount=1.00", "sending the request"},
        {"Write:<STX>000000000E1<ETX>:", "sending the request"},
        {"Read:<ACK><ETX>z", "the terminal took the request: waiting for its answer"},
        {"Read:z", ""},
        {"Set Read Timeout to 180000", "waiting for the terminal (the customer may be at the card reader)"},
        {"Read:<SOH>100000010SATTENDERE<ETX>", "the terminal is working (status message)"},
        {"Read:<STX>100000010X00***************1234", "receiving the answer"},
        {"Read:<STX>100000010S}   TERMINALE", "receiving the receipt"},
        {"Result: approved | code=0", "finishing"},
        {"Disconnect:Gracefully", "closing the connection"},
        {"Something else", ""},
    };
    for (const auto& c : kSteps) {
        EXPECT_EQ(ProgressStep(c.Line), c.Step) << c.Line;
    }
}

TEST(TechnicianView, AFrameShowsItsCheckCharacterApart) {
    const struct {
        std::string Bytes;
        const char* Shown;
    } kCases[] = {
        {std::string("\x06\x03\x7A", 3), "<ACK><ETX> LRC=7A"},
        {std::string("\x06\x03\x7B", 3), "<ACK><ETX> LRC=7B"},
        {std::string("\x02"
                     "AB\x04\x0A",
                     5),
         "<STX>AB<EOT> LRC=0A"},
        {std::string("\x02"
                     "AB",
                     3),
         "<STX>AB"}, // cut short: no check character to show
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(ShowFrame(c.Bytes), c.Shown);
    }
}

// zrpa log on a real file: a total below zero, a cash register's amount with one decimal, receipt text
// with its width selector, a library phrase, an acknowledgement with a wrong check character.
TEST(TechnicianView, LogShowsMoneyWithTwoDecimalsAndReceiptTextAsPrinted) {
    const std::string receipt =
        std::string("100000010S}") + "   TERMINALE 10000001   " + "COPIA ULTIMO SCONTRINO  " + "\x1B";
    const std::string log =
        "2025-03-07 14:00:00:000 - ------------------------------------------------------------ GetTotals\r\n"
        "2025-03-07 14:00:00:001 - kIOHandler_TCP\r\n"
        "2025-03-07 14:00:00:002 - Write:" +
        Logged(0x02, "000000000T0000000100000000") +
        "\r\n"
        "2025-03-07 14:00:00:003 - Read:<ACK><ETX>z\r\n"
        "2025-03-07 14:00:00:004 - Read:" +
        Logged(0x02, "100000010T00-000000000000080") +
        "\r\n"
        "2025-03-07 14:00:01:000 - ------------------------------------------------------------ Reprint\r\n"
        "2025-03-07 14:00:01:001 - Write:" +
        Logged(0x02, "000000000R100000000000") +
        "\r\n"
        "2025-03-07 14:00:01:003 - Read:<ACK><ETX>z\r\n"
        "2025-03-07 14:00:01:004 - Read:" +
        Logged(0x02, "100000010R00") +
        "\r\n"
        "2025-03-07 14:00:01:005 - Read:" +
        Logged(0x02, receipt) +
        "\r\n"
        "2025-03-07 14:00:02:000 - ------------------------------------------------------------ Pay\r\n"
        "2025-03-07 14:00:02:001 - Request: PAY | amount=0.1 | currency=EUR | print=ECR | till=1\r\n"
        "2025-03-07 14:00:02:002 - Read:<ACK><ETX>{\r\n"
        "2025-03-07 14:00:02:002 - ERROR - ReadUpTo Unexpected error:Connection Closed Gracefully.\r\n"
        "2025-03-07 14:00:02:003 - Result: failed | code=-1 | amount=0.1 | elapsed=2 ms | "
        "error=ReadUpTo Unexpected error:Connection Closed Gracefully.\r\n";
    TempFolder folder;
    const ChildOutcome r = RunZrpaProgram({"log", WriteLog(folder, "day.log", log)});
    EXPECT_EQ(r.Status, 0) << r.Err;
    const struct {
        const char* Part;
        bool Shown;
    } kCases[] = {
        {"total=-0.80", true},
        {"outcome: totals -0.80, ", true}, // what the totals are, not an approval
        {"-000000000000080", false},
        {"network (TCP)", true},
        {"kIOHandler", false},
        {"acknowledgement with a wrong check character: <ACK><ETX> LRC=7B", true},
        {"(amount 0.10, ", true},
        {"0.1,", false},
        {"text=\"   TERMINALE 10000001   COPIA", true},
        {"}", false},
        {"the terminal closed the connection", true},
        {"Gracefully", false},
        {"3 operations: 2 approved", true},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Has(r.Out, c.Part), c.Shown) << c.Part << "\n" << r.Out;
    }
    const ChildOutcome one = RunZrpaProgram(
        {"log", WriteLog(folder, "one.log", log.substr(0, log.find("2025-03-07 14:00:01:000")))});
    EXPECT_TRUE(Has(one.Out, "\n1 operation: 1 approved, 0 declined")) << one.Out;
}

TEST(TechnicianView, SummarySaysEachThingOnce) {
    ZrpaResult unknown;
    unknown.Command = "pay";
    unknown.Outcome = "outcome unknown";
    unknown.ExitStatus = 3;
    unknown.Document = "<Error>True</Error><ErrorText>Outcome unknown: the terminal took the payment request "
                       "and no answer came (the connection was closed or reset). The terminal may have "
                       "approved it: check the terminal before charging again.</ErrorText>";
    unknown.LogReason = "the terminal took the request and no answer came (2 reads without data, last: "
                        "ReadUpTo Unexpected error:Connection Closed Gracefully.)";
    const std::string text = SummaryText(unknown);
    EXPECT_TRUE(Has(text, "  Why:               the terminal took the payment request and no answer came "
                          "(the connection was closed or reset)\n"))
        << text;
    EXPECT_FALSE(Has(text, "Error:") || Has(text, "From the log:") || Has(text, "Outcome unknown:") ||
                 Has(text, "charging again"))
        << text;
    EXPECT_TRUE(Has(text, "The customer may have paid.")) << text;

    unknown.Verbose = true;
    const std::string verbose = SummaryText(unknown);
    EXPECT_TRUE(Has(verbose, "  Library's text:    Outcome unknown: the terminal took")) << verbose;
    EXPECT_TRUE(
        Has(verbose, "  Log's reason:      the terminal took the request and no answer came (2 reads"))
        << verbose;

    const struct {
        const char* Document;
        const char* Line;
    } kTotals[] = {
        {"<TotalAmount>0</TotalAmount><Currency>EUR</Currency>", "  Total:             0.00 EUR\n"},
        {"<TotalAmount>0.00</TotalAmount>", "  Total:             0.00\n"},
        {"<TotalAmount>-0.8</TotalAmount><Currency>EUR</Currency>", "  Total:             -0.80 EUR\n"},
        {"<TotalAmount>12.3</TotalAmount><Currency>EUR</Currency>", "  Total:             12.30 EUR\n"},
    };
    for (const auto& c : kTotals) {
        ZrpaResult totals;
        totals.Command = "totals";
        totals.Outcome = "done";
        totals.Document = c.Document;
        EXPECT_TRUE(Has(SummaryText(totals), c.Line)) << SummaryText(totals);
    }

    // An approval with a remark says it: here one the library's check learnt after the answer was lost.
    ZrpaResult recovered;
    recovered.Command = "pay";
    recovered.Outcome = "approved";
    recovered.Document = "<PaymentAmount>1</PaymentAmount><Error>False</Error><ErrorText>Approved without a "
                         "refund reference: the answer was lost (x). A void of this payment must be made on "
                         "the terminal.</ErrorText>";
    EXPECT_TRUE(Has(SummaryText(recovered), "  Note:              Approved without a refund reference: the "
                                            "answer was lost (x). A void of this payment must be made on the "
                                            "terminal.\n"))
        << SummaryText(recovered);

    ZrpaResult serial;
    serial.Command = "pay";
    serial.Outcome = "failed";
    serial.ExitStatus = 1;
    serial.ErrorMessage = "COM9 is not a valid COM port.";
    serial.Hint = "COM9 is /dev/ttyS8 on this computer";
    EXPECT_TRUE(Has(SummaryText(serial), "  Error:             COM9 is not a valid COM port.\n"
                                         "  Check:             COM9 is /dev/ttyS8 on this computer\n"))
        << SummaryText(serial);
}

TEST(TechnicianView, EmulatorSaysWhatItChoseAndWhy) {
    using namespace p17emu;
    Config plain;
    Config declining;
    declining.PayResult = "01";
    Config fixedTotal;
    fixedTotal.Total = -80;
    std::string pay = std::string("000000000X") + "00000001" + "00000" + "00000123";
    pay.resize(167, '0');
    std::string voidRequest = std::string("000000000Q") + "00000001" + "000000" + "000001" + "C" + "1234" +
                              "00000000003" + "00001234";
    voidRequest.resize(80, '0');
    const struct {
        char Code;
        std::string Request;
        std::string Answer;
        std::string Why;
        bool NotProcessed;
        const char* Line;
    } kLines[] = {
        {'X', pay, "100000010X00", WhyOutcome(plain, 'X', "", Fault::None, FaultMoment::BeforeProcessing, ""),
         false, "outcome: payment 1.23 approved"},
        {'X', pay, "100000010X01",
         WhyOutcome(declining, 'X', "", Fault::None, FaultMoment::BeforeProcessing, ""), false,
         "outcome: payment 1.23 declined, result 01 (--pay-result 01)"},
        {'X', pay, "100000010X00",
         WhyOutcome(declining, 'X', "", Fault::Reset, FaultMoment::AfterApproving, ""), false,
         "outcome: payment 1.23 approved (fault reset after-approving)"},
        {'X', pay, "100000010X01",
         WhyOutcome(plain, 'X', "", Fault::Close, FaultMoment::BeforeProcessing, ""), true,
         "outcome: payment 1.23 not processed (fault close before-processing)"},
        {'Q', voidRequest, "100000010Q01",
         WhyOutcome(plain, 'Q', "", Fault::None, FaultMoment::BeforeProcessing, "void check: no payment"),
         false, "outcome: void 12.34 declined, result 01 (void check: no payment)"},
        {'X', "000000000X", "100000010X01",
         WhyOutcome(plain, 'X', "length 10", Fault::None, FaultMoment::BeforeProcessing, ""), false,
         "outcome: payment declined, result 01 (invalid request: length 10)"},
        {'T', "", "100000010T00-000000000000080",
         WhyOutcome(fixedTotal, 'T', "", Fault::None, FaultMoment::BeforeProcessing, ""), false,
         "outcome: totals -0.80 (--total -0.80)"},
        {'C', "", "100000010C000000000000001234", "", false, "outcome: day close done, total 12.34"},
    };
    for (const auto& c : kLines) {
        EXPECT_EQ(OutcomeLine(c.Code, c.Request, c.Answer, c.Why, c.NotProcessed), c.Line);
    }
    TerminalEmulator::Held held;
    held.Payments = 2;
    held.Refunds = 1;
    held.Voids = 1;
    EXPECT_EQ(HoldingsLine(held, 1134), "holds: 2 payments, 1 refund, 1 void; total 11.34");
    EXPECT_EQ(HoldingsLine({}, -80), "holds: 0 payments, 0 refunds, 0 voids; total -0.80");
}

// The emulator program checks voids as a terminal does: a second void of one payment is declined, and
// its screen says so and what it holds after each booking.
TEST(TechnicianView, EmulatorScreenShowsOutcomesAndHoldings) {
    p17emu::Config config;
    config.VoidCheck = true; // the program's default
    EmulatedTerminal terminal(config);
    std::mutex lock;
    std::string screen;
    terminal->SetObserver([&](const std::string& aLine) {
        std::lock_guard<std::mutex> guard(lock);
        screen += aLine + "\n";
    });
    const std::vector<std::string> at = {"--tcp", "127.0.0.1:" + std::to_string(terminal.Port()), "--log-id",
                                         "technician-view"};
    auto zrpa = [&](std::vector<std::string> aArgs) {
        aArgs.insert(aArgs.end(), at.begin(), at.end());
        const ChildOutcome r = RunZrpaProgram(aArgs);
        terminal->WaitIdle(5000);
        return r;
    };
    const ChildOutcome pay = zrpa({"pay", "12.34", "--json"});
    ASSERT_EQ(pay.Status, 0) << pay.Out << pay.Err;
    const std::string reference = JsonMember(pay.Out, "RefundReference");
    EXPECT_EQ(zrpa({"void", reference}).Status, 0);
    const ChildOutcome again = zrpa({"void", reference});
    EXPECT_EQ(again.Status, 1) << again.Out;
    EXPECT_TRUE(Has(again.Out, "void: declined")) << again.Out;
    EXPECT_TRUE(Has(zrpa({"totals"}).Out, "  Total:             0.00 EUR")) << screen;

    std::lock_guard<std::mutex> guard(lock);
    const char* const kLines[] = {
        "** outcome: payment 12.34 approved\n",
        "** holds: 1 payment, 0 refunds, 0 voids; total 12.34\n",
        "** outcome: void 12.34 approved\n",
        "** holds: 1 payment, 0 refunds, 1 void; total 0.00\n",
        "** outcome: void 12.34 declined, result 01 (void check: it names no payment the terminal holds, or "
        "one already voided)\n",
        "** outcome: totals 0.00\n",
    };
    std::size_t from = 0;
    for (const char* line : kLines) {
        const std::size_t found = screen.find(line, from);
        EXPECT_NE(found, std::string::npos) << line << "\n" << screen;
        from = found == std::string::npos ? from : found;
    }
    // The driver's frames point at the terminal, the terminal's back, as zrpa log draws them.
    EXPECT_TRUE(Has(screen, "-> STX 000000000X")) << screen;
    EXPECT_TRUE(Has(screen, "<- ACK ETX LRC=7A")) << screen;
}

// The count beside the terminal's total: approved operations of this terminal and day only, and the
// unsettled ones named apart.
TEST(TechnicianView, DayCountFromTheJournal) {
    auto entry = [](const char* aKind, const char* aTerminal, const char* aDay,
                    std::vector<std::string> aSteps, const char* aResult) {
        JournalEntry e;
        for (const auto& step : aSteps) {
            JournalRecord r;
            r.Time = std::string(aDay) + " 10:00:00:000";
            r.Operation = "op";
            r.Step = step;
            if (step == "asked") {
                r.Fields = {{"kind", aKind}, {"terminal", aTerminal}};
            } else if (step == "answer") {
                r.Fields = {{"result", aResult}};
            }
            e.Operation.Records.push_back(r);
        }
        return e;
    };
    const std::vector<std::string> answered = {"asked", "sent", "ack", "answer", "end"};
    const std::vector<JournalEntry> entries = {
        entry("PAY", "10.0.0.5:1234", "2026-12-10", answered, "00"),
        entry("PAY", "10.0.0.5:1234", "2026-12-10", answered, "00"),
        entry("PAY", "10.0.0.5:1234", "2026-12-10", answered, "01"), // declined
        entry("REFUND", "10.0.0.5:1234", "2026-12-10", answered, "00"),
        entry("VOID", "10.0.0.5:1234", "2026-12-09", answered, "00"),       // another day
        entry("VOID", "10.0.0.6:1234", "2026-12-10", answered, "00"),       // another terminal
        entry("PAY", "10.0.0.5:1234", "2026-12-10", {"asked", "sent"}, ""), // may have moved money
    };
    EXPECT_EQ(DayCountText(entries, "10.0.0.5:1234", "2026-12-10"),
              "2 payments, 1 refund, 0 voids approved, 1 outcome unknown");
    EXPECT_EQ(DayCountText(entries, "10.0.0.6:1234", "2026-12-10"), "0 payments, 0 refunds, 1 void approved");
    EXPECT_EQ(DayCountText({}, "COM3", "2026-12-10"), "0 payments, 0 refunds, 0 voids approved");
}
