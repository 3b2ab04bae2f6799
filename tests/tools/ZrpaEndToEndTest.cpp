// zrpa as a technician runs it: the built program, the library through its exports, a terminal
// emulated in this process. Every subcommand, each exit status, the output forms and the progress
// display on a pipe (on a pseudo-terminal: ZrpaSignalsTest_posix.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ZrpaToolSupport.h"
#include "drivers/JournalFormat.h"
#include "support/PaymentLogs.h"
#include "support/TempFolder.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
std::vector<std::string> Args(std::initializer_list<std::string> aArgs, const EmulatedTerminal& aTerminal,
                              const std::string& aLogId) {
    std::vector<std::string> args(aArgs);
    args.insert(args.end(), {"--tcp", "127.0.0.1:" + std::to_string(aTerminal.Port()), "--log-id", aLogId});
    return args;
}

bool Has(const std::string& aText, const std::string& aPart) {
    return aText.find(aPart) != std::string::npos;
}
} // namespace

TEST(ZrpaEndToEnd, UsageHelpAndCommandLineErrors) {
    const std::string recorded = RecordedLogPath("recorded.log");
    const struct {
        std::vector<std::string> Args;
        int Status;
        const char* Expected; // in standard output or error
    } kCases[] = {
        {{}, 2, "Usage: zrpa COMMAND"},
        {{"--help"}, 0, "Usage: zrpa COMMAND"},
        {{"help", "unknown"}, 0, "Outcome unknown (exit status 3)"},
        {{"help", "pay"}, 0, "Usage: zrpa pay AMOUNT"},
        {{"emulator", "--help"}, 0, "  zrpa emulator --tcp 5000 --fault close --fault-on X"},
        {{"emulator", "--bogus"}, 2, "unknown option --bogus"},
        {{"emulator", "--fault-when", "later"},
         2,
         "--fault-when later unknown. Allowed values are: before-processing"},
        {{"emulator", "--fault-count", "-1"}, 2, "--fault-count -1 invalid"},
        {{"frobnicate"}, 2, "unknown command frobnicate"},
        {{"pay"}, 2, "pay takes one argument"},
        {{"pay", "12,34", "--tcp", "127.0.0.1:1"}, 2, "amount 12,34 invalid"},
        // A sub-cent amount is not rounded into another charge, and the terminal charges euros only.
        {{"pay", "12.345", "--tcp", "127.0.0.1:1"},
         2,
         "amount 12.345 invalid: it has more than two decimals"},
        {{"refund", "0.001", "--tcp", "127.0.0.1:1"}, 2, "(type 0.00 or the amount you mean)"},
        {{"pay", "2.00", "--currency", "USD", "--tcp", "127.0.0.1:1"}, 2, "currency USD invalid"},
        {{"check", "extra", "--tcp", "127.0.0.1:1"}, 2, "totals takes no argument"},
        {{"pay", "1.00", "--tcp", "127.0.0.1"}, 2, "--tcp 127.0.0.1 invalid"},
        {{"pay", "1.00", "--serial", "ttyS0"}, 2, "--serial ttyS0 invalid"},
        {{"pay", "1.00", "--tcp", "127.0.0.1:1", "--bogus"}, 2, "unknown option --bogus"},
        {{"pay", "1.00", "--tcp", "127.0.0.1:1", "--xml", "--json"}, 2, "exclude each other"},
        {{"pay", "1.00", "--tcp", "127.0.0.1:1", "--connect-timeout", "soon"}, 2, "time-out soon invalid"},
        {{"refund", "1", "--tcp", "127.0.0.1:1", "--till"}, 2, "--till needs a value"},
        {{"void", "SHORT", "--tcp", "127.0.0.1:1"}, 2, "refund reference SHORT invalid"},
        {{"--tcp", "127.0.0.1:1", "pay"}, 2, "the command comes first"},
        {{"log", "no-such-file.log"}, 2, "cannot read no-such-file.log"},
        {{"log", recorded, "--since", "yesterday"}, 2, "time yesterday invalid"},
        {{"log", recorded, "--outcome", "maybe"}, 2, "outcome maybe invalid"},
        {{"send", "PAY"}, 2, "send takes an export and a file"},
        {{"send", "NOSUCHEXPORT", "-"}, 2, "export NOSUCHEXPORT unknown"},
    };
    for (const auto& c : kCases) {
        const ChildOutcome r = RunZrpaProgram(c.Args);
        std::string shown;
        for (const auto& a : c.Args) {
            shown += a + " ";
        }
        EXPECT_EQ(r.Status, c.Status) << shown << "\n" << r.Out << r.Err;
        EXPECT_TRUE(Has(r.Out + r.Err, c.Expected)) << shown << "\n" << r.Out << r.Err;
    }
    for (const char* command : {"pay", "refund", "void", "reprint", "totals", "check", "dayclose", "send",
                                "status", "version", "log", "demo"}) {
        const ChildOutcome r = RunZrpaProgram({command, "--help"});
        EXPECT_EQ(r.Status, 0) << command;
        EXPECT_TRUE(Has(r.Out, std::string("Usage: zrpa ") + command)) << r.Out;
        EXPECT_TRUE(Has(r.Out, "Example")) << r.Out;
    }
}

TEST(ZrpaEndToEnd, EveryOperationAgainstTheEmulator) {
    p17emu::Config config;
    config.VoidCheck = true; // the void must name the payment exactly
    EmulatedTerminal terminal(config);
    const std::string id = "zrpa-e2e-ops";
    RemoveLogsOf(u"zrpa-e2e-ops"); // the day's log of an earlier run

    const ChildOutcome pay =
        RunZrpaProgram(Args({"pay", "12.34", "--reference", "R1", "--json"}, terminal, id));
    ASSERT_EQ(pay.Status, 0) << pay.Out << pay.Err;
    EXPECT_EQ(JsonMember(pay.Out, "outcome"), "approved");
    EXPECT_EQ(JsonMember(pay.Out, "MaskedPAN"), "***************1234");
    const std::string reference = JsonMember(pay.Out, "RefundReference");
    ASSERT_EQ(reference.size(), 34u) << pay.Out;
    const std::string logFile = JsonMember(pay.Out, "log_file");
    EXPECT_EQ(JsonMember(pay.Out, "log_outcome"), "approved");

    const struct {
        std::vector<std::string> Args;
        const char* Expected;
    } kCases[] = {
        {{"void", reference, "--amount", "99.00"},
         "Warning:           --amount 99.00 is not the amount of the voided payment: the terminal takes back "
         "the 12.34 its refund reference names\n  Amount:            12.34 EUR"},
        {{"refund", "5.00", "--eft"}, "refund: approved"},
        {{"reprint"}, "Receipt:"},
        {{"reprint", "--eft"}, "reprint: done"},
        {{"totals", "--till", "3"}, "totals: done"},
        // The totals answer has no count: the journal's count of the day stands beside it.
        {{"totals"}, "  Today (journal):   1 payment, 1 refund, 1 void approved\n"},
        {{"check"}, "check: the terminal answers on network 127.0.0.1:"},
        {{"check"}, "  Round trip:        "},
        {{"dayclose"}, "  Total:             -5.00 EUR"},
        // A total of nothing is still a total.
        {{"totals"}, "  Total:             0.00 EUR"},
        {{"pay", "1.00"}, "    |   TRANSAZIONE ESEGUITA"},
    };
    for (const auto& c : kCases) {
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"--tcp", "127.0.0.1:" + std::to_string(terminal.Port()), "--log-id", id});
        const ChildOutcome out = RunZrpaProgram(args);
        EXPECT_EQ(out.Status, 0) << args[0] << "\n" << out.Out << out.Err;
        EXPECT_TRUE(Has(out.Out, c.Expected)) << args[0] << "\n" << out.Out;
    }
    // The raw result document.
    const ChildOutcome xml = RunZrpaProgram(Args({"pay", "2.00", "--xml"}, terminal, id));
    EXPECT_EQ(xml.Status, 0);
    EXPECT_TRUE(xml.Out.starts_with("<DeviceId>10000001</DeviceId>")) << xml.Out;
    EXPECT_TRUE(Has(xml.Out, "<Error>False</Error>")) << xml.Out;

    // What the log of these operations says.
    const ChildOutcome log = RunZrpaProgram({"log", logFile});
    EXPECT_EQ(log.Status, 0) << log.Err;
    EXPECT_TRUE(Has(log.Out, "13 operations: 13 approved, 0 declined, 0 failed, 0 outcome unknown"))
        << log.Out;
    // The total below zero after the refund reads as money, as a positive one does.
    EXPECT_TRUE(Has(log.Out, "total=-5.00")) << log.Out;
    EXPECT_FALSE(Has(log.Out, "total=-0000")) << log.Out;
    // Without a file: today's logs, wherever the library wrote them.
    const ChildOutcome today = RunZrpaProgram({"log", "--outcome", "approved"});
    EXPECT_EQ(today.Status, 0) << today.Err;
    // (Named by the folder it was found in: compare the file's own name.)
    EXPECT_TRUE(Has(today.Out, logFile.substr(logFile.find_last_of("/\\") + 1) + ":")) << today.Out;
    const ChildOutcome logJson = RunZrpaProgram({"log", logFile, "--json", "--outcome", "approved"});
    EXPECT_TRUE(logJson.Out.starts_with("[")) << logJson.Out;
    EXPECT_EQ(JsonMember(logJson.Out, "operation"), "PAY");
}

TEST(ZrpaEndToEnd, SendStatusAndVersion) {
    EmulatedTerminal terminal;
    TempFolder folder;
    const std::string request =
        "<ReceiptPrinterManager><Driver>ZRPA_RIVEVEDEV17_10</Driver><LogId>zrpa-e2e-send</LogId>"
        "<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>" +
        std::to_string(terminal.Port()) +
        "</Port></Connection><GetTotals><TillCode>1</TillCode></GetTotals>"
        "</ReceiptPrinterManager>";
    const auto file = folder.Path() / "totals.xml";
    std::ofstream(file, std::ios::binary) << request;
    const std::u8string name = file.u8string();

    const ChildOutcome fromFile =
        RunZrpaProgram({"send", "GETTOTALS", std::string(name.begin(), name.end()), "--json"});
    EXPECT_EQ(fromFile.Status, 0) << fromFile.Out << fromFile.Err;
    EXPECT_EQ(JsonMember(fromFile.Out, "Error"), "False") << fromFile.Out;
    const ChildOutcome fromInput = RunZrpaProgram({"send", "GETTOTALS", "-", "--xml"}, request);
    EXPECT_EQ(fromInput.Status, 0) << fromInput.Out << fromInput.Err;
    EXPECT_TRUE(Has(fromInput.Out, "<TotalAmount>")) << fromInput.Out;
    const ChildOutcome refused = RunZrpaProgram({"send", "PAY", "-"}, "<not a request");
    EXPECT_NE(refused.Status, 0);

    const ChildOutcome status = RunZrpaProgram({"status", "--json"});
    EXPECT_EQ(status.Status, 0);
    EXPECT_EQ(JsonMember(status.Out, "export"), "GETSTATUS");
    const ChildOutcome version = RunZrpaProgram({"version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_TRUE(Has(version.Out, "Version 1.27")) << version.Out;
}

TEST(ZrpaEndToEnd, DeclinedAndFailedOperationsEndWithStatusOne) {
    p17emu::Config declining;
    declining.PayResult = "01";
    declining.RefundResult = "01";
    EmulatedTerminal terminal(declining);
    const ChildOutcome pay = RunZrpaProgram(Args({"pay", "1.00"}, terminal, "zrpa-e2e-declined"));
    EXPECT_EQ(pay.Status, 1);
    EXPECT_TRUE(Has(pay.Out, "pay: declined")) << pay.Out;
    EXPECT_TRUE(Has(pay.Out, "OPERAZIONE RIFIUTATA")) << pay.Out;
    const ChildOutcome refund =
        RunZrpaProgram(Args({"refund", "1.00", "--json"}, terminal, "zrpa-e2e-declined"));
    EXPECT_EQ(refund.Status, 1);
    EXPECT_EQ(JsonMember(refund.Out, "outcome"), "declined") << refund.Out;

    const std::string closed = "127.0.0.1:" + std::to_string(ClosedLoopbackPort());
    const ChildOutcome refused =
        RunZrpaProgram({"pay", "1.00", "--tcp", closed, "--log-id", "zrpa-e2e-refused"});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_TRUE(Has(refused.Out, "pay: failed")) << refused.Out;
    EXPECT_TRUE(Has(refused.Out, "Error:             could not connect to the terminal at " + closed))
        << refused.Out;
    // The library's own words are one --verbose away.
    const ChildOutcome verbose =
        RunZrpaProgram({"pay", "1.00", "--tcp", closed, "--log-id", "zrpa-e2e-refused", "--verbose"});
    EXPECT_TRUE(Has(verbose.Out, "Library's text:    Unable to connect to device " + closed)) << verbose.Out;
    // zrpa check says what to look at.
    const ChildOutcome check = RunZrpaProgram({"check", "--tcp", closed, "--log-id", "zrpa-e2e-refused"});
    EXPECT_EQ(check.Status, 1);
    EXPECT_TRUE(Has(check.Out, "check: no answer from the terminal on network " + closed)) << check.Out;
    EXPECT_TRUE(Has(check.Out, "Look at:\n  - the address " + closed)) << check.Out;
}

// The terminal acknowledges the payment and hangs up, and hangs up on the library's check of its total
// and last receipt too: the customer may have paid. The driver's error text says so ("Outcome unknown:
// ..."), and the device log's result line carries it. When the check is answered, the payment is
// approved after all.
TEST(ZrpaEndToEnd, SlowOutcomeUnknownWhenTheTerminalHangsUpAfterTakingThePayment) {
    p17emu::Config config;
    config.FaultKind = p17emu::Fault::Close;
    config.FaultOn = "X";
    config.FaultWhen = p17emu::FaultMoment::AfterApproving;
    config.FaultCount = 1;
    EmulatedTerminal recovered(config);
    const ChildOutcome approved =
        RunZrpaProgram(Args({"pay", "1.00", "--json"}, recovered, "zrpa-e2e-recovered"));
    EXPECT_EQ(approved.Status, 0) << approved.Out << approved.Err;
    EXPECT_EQ(JsonMember(approved.Out, "outcome"), "approved") << approved.Out;
    const ChildOutcome shown = RunZrpaProgram({"log", JsonMember(approved.Out, "log_file"), "--verbose"});
    EXPECT_TRUE(Has(shown.Out, "Outcome recovered: approved (the period total was")) << shown.Out;

    config.FaultOn = "XRT";
    config.FaultCount = 0;
    EmulatedTerminal terminal(config);
    const ChildOutcome r = RunZrpaProgram(Args({"pay", "1.00", "--json"}, terminal, "zrpa-e2e-unknown"));
    EXPECT_EQ(r.Status, 3) << r.Out << r.Err;
    EXPECT_EQ(JsonMember(r.Out, "outcome"), "outcome unknown") << r.Out;
    const ChildOutcome text = RunZrpaProgram({"log", JsonMember(r.Out, "log_file"), "--outcome", "unknown"});
    EXPECT_TRUE(Has(text.Out, "outcome: outcome unknown (Outcome unknown: the terminal accepted the payment"))
        << text.Out;
}

TEST(ZrpaEndToEnd, ProgressOnAPipeIsPlainLines) {
    EmulatedTerminal terminal;
    // Printing on the cash register, the driver waits a second before collecting the receipt.
    const ChildOutcome r = RunZrpaProgram(Args({"pay", "1.00", "--ecr"}, terminal, "zrpa-e2e-progress"));
    EXPECT_EQ(r.Status, 0);
    // The step in words with the elapsed seconds, not a raw log line.
    EXPECT_TRUE(r.Err.starts_with("0 s: ")) << r.Err;
    EXPECT_FALSE(Has(r.Err, "<ACK>") || Has(r.Err, "Read:")) << r.Err;
    EXPECT_EQ(r.Err.find('\r'), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out.find("waiting"), std::string::npos) << r.Out;
}

TEST(ZrpaEndToEnd, DemoChecksEveryResultOfTheDay) {
    const ChildOutcome r = RunZrpaProgram({"demo"});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_TRUE(Has(r.Out, "Every result is what a cash register expects.")) << r.Out;
}

TEST(ZrpaEndToEnd, JournalListsWhatNothingHasSettled) {
    TempFolder folder;
    const std::filesystem::path journal = folder.Path() / "P17_127.0.0.1_9100.journal";
    {
        std::ofstream out(journal, std::ios::binary);
        auto record = [&](const std::string& aOp, const std::string& aStep,
                          std::vector<std::pair<std::string, std::string>> aFields = {}) {
            out << FormatJournalRecord({"2025-03-07 14:00:00:000", aOp, aStep, std::move(aFields)});
        };
        record("settled", "asked", {{"kind", "PAY"}, {"amount", "12.34"}, {"currency", "EUR"}});
        record("settled", "sent");
        record("settled", "answer", {{"result", "00"}, {"terminal_id", "10000001"}});
        record("open", "asked", {{"kind", "REFUND"}, {"amount", "3"}, {"currency", "EUR"}});
        record("open", "sent");
        record("open", "ack");
        out << "ZRJ1\tcut by a cra"; // the last line of a crash
    }
    const std::string file = journal.string();
    const auto all = RunZrpaProgram({"journal", file});
    EXPECT_EQ(all.Status, 0) << all.Err;
    EXPECT_TRUE(Has(all.Out, "PAY 12.34 EUR  approved")) << all.Out;
    EXPECT_TRUE(Has(all.Out, "REFUND 3 EUR  outcome unknown (the record ends)")) << all.Out;
    EXPECT_TRUE(Has(all.Out, "2 operations, 1 unresolved, 1 damaged line skipped")) << all.Out;

    const auto open = RunZrpaProgram({"journal", folder.Path().string(), "--unresolved", "--json"});
    EXPECT_EQ(open.Status, 0) << open.Err;
    EXPECT_TRUE(Has(open.Out, "\"operation\":\"open\"")) << open.Out;
    EXPECT_FALSE(Has(open.Out, "\"operation\":\"settled\"")) << open.Out;

    const auto missing = RunZrpaProgram({"journal", file + ".none"});
    EXPECT_EQ(missing.Status, 2);
    EXPECT_TRUE(Has(missing.Err, "cannot read")) << missing.Err;
}
