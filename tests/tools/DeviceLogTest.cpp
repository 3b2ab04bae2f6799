// zrpa log's reader: recorded logs of every operation and fault of the emulator, with and without the
// hex dump, in the older raw form and with named control characters and Request/Result lines, and
// damaged logs.
#include <gtest/gtest.h>

#include <cstdint>

#include "DeviceLog.h"
#include "JournalReport.h"
#include "Json.h"
#include "LogReport.h"
#include "ZrpaFiles.h"
#include "ZrpaToolSupport.h"

namespace {
struct Expected {
    const char* Name;
    LogOutcome Outcome;
    const char* Why; // the emulator's setting that gave the log
};
// The operations of recorded.log and recorded-hex.log, in order.
const Expected kRecorded[] = {
    {"PAY", LogOutcome::Approved, "pay 12.34 ECR"},
    {"PAY", LogOutcome::Approved, "pay EFT"},
    {"PAY", LogOutcome::Declined, "--decline"},
    {"REFUND", LogOutcome::Approved, "refund"},
    {"REFUND", LogOutcome::Declined, "--refund-result 01"},
    {"VOID", LogOutcome::Approved, "void"},
    {"VOID", LogOutcome::Declined, "--void-result 91"},
    {"REPRINT", LogOutcome::Approved, "reprint ECR"},
    {"REPRINT", LogOutcome::Approved, "reprint EFT"},
    {"TOTALS", LogOutcome::Approved, "totals"},
    {"TOTALS", LogOutcome::Failed, "--totals-result 01"},
    {"DAY CLOSE", LogOutcome::Approved, "dayclose"},
    {"DAY CLOSE", LogOutcome::Failed, "--dayclose-result 01"},
    {"PAY", LogOutcome::Failed, "--fault no-ack --fault-on E"},
    {"PAY", LogOutcome::Failed, "--fault no-ack"},
    {"PAY", LogOutcome::Failed, "--fault bad-ack"},
    {"PAY", LogOutcome::Failed, "--fault data-for-ack"},
    {"PAY", LogOutcome::Unknown, "--fault wrong-lrc"},
    {"PAY", LogOutcome::Approved, "--fault eot"},
    {"PAY", LogOutcome::Unknown, "--fault close"},
    {"PAY", LogOutcome::Unknown, "--fault close-mid-frame"},
    {"REFUND", LogOutcome::Unknown, "--fault close"},
    {"VOID", LogOutcome::Unknown, "--fault close"},
    {"DAY CLOSE", LogOutcome::Failed, "--fault close"},
    {"PAY", LogOutcome::Approved, "--status-frames 2"},
    {"PAY", LogOutcome::Approved, "--conversion"},
    {"PAY", LogOutcome::Approved, "--bank-flag --entry-mode MAG, till 7"},
    {"PAY", LogOutcome::Failed, "nothing listening"},
};

std::string Recorded(const std::string& aName) {
    std::string content;
    EXPECT_TRUE(ReadWholeFile(RecordedLogPath(aName), content)) << RecordedLogPath(aName);
    return content;
}

std::string Field(const LogFields& aFields, const std::string& aName) {
    for (const auto& [name, value] : aFields) {
        if (name == aName) {
            return value;
        }
    }
    return "(absent)";
}

// The log as a newer library writes it: control characters of frame lines named, as <STX> or <0A>.
std::string WithNamedControls(const std::string& aLog) {
    std::string out;
    for (const auto& line : SplitLogLines(aLog)) {
        std::string text = line.Text;
        for (const char* title : {"Write:", "Read Timeout:", "Read:"}) {
            if (text.starts_with(title)) {
                const std::string message = text.substr(std::string(title).size());
                text = title + ShowBytes(MessageBytes(message));
                break;
            }
        }
        out += line.Stamp + (line.Error ? " - ERROR - " : " - ") + text + "\r\n";
    }
    return out;
}

// Everything of an operation that the log form must not change. aWithTexts: also the texts that carry
// the time of day (receipts, dates), which differ between two recordings.
std::string Essence(const LogOperation& aOp, bool aWithTexts) {
    std::string out = aOp.Name + "|" + LogOutcomeName(aOp.Outcome) + "|" + aOp.Reason + "|";
    for (const auto& e : aOp.Events) {
        out += e.Kind + ":" + e.Text + ":" + std::to_string(e.Count) + ";";
        for (const auto& [name, value] : e.Fields) {
            if (aWithTexts || (name != "date_time" && name != "text")) {
                out += name + "=" + value + ",";
            }
        }
    }
    for (const auto& line : aOp.Receipt) {
        out += (aWithTexts ? line : line.substr(0, 3)) + "/";
    }
    return out;
}
} // namespace

TEST(DeviceLog, RecordedLogsTellTheOutcomeOfEveryOperationAndFault) {
    for (const char* file : {"recorded.log", "recorded-hex.log"}) {
        SCOPED_TRACE(file);
        const auto ops = ReadDeviceLog(Recorded(file), file);
        ASSERT_EQ(ops.size(), std::size(kRecorded));
        for (std::size_t i = 0; i < ops.size(); ++i) {
            EXPECT_EQ(ops[i].Name, kRecorded[i].Name) << kRecorded[i].Why;
            EXPECT_EQ(LogOutcomeName(ops[i].Outcome), std::string(LogOutcomeName(kRecorded[i].Outcome)))
                << kRecorded[i].Why << ": " << ops[i].Reason;
            EXPECT_FALSE(ops[i].Reason.empty() && ops[i].Outcome != LogOutcome::Approved) << kRecorded[i].Why;
        }
        // The first payment in detail: the request as asked, the answer decoded, the receipt as printed.
        const LogOperation& pay = ops[0];
        EXPECT_EQ(Field(pay.Request, "amount"), "12.34");
        EXPECT_EQ(Field(pay.Request, "reference"), "R1");
        EXPECT_EQ(Field(pay.Request, "print"), "ECR");
        EXPECT_EQ(Field(pay.Answer, "result"), "00");
        EXPECT_EQ(Field(pay.Answer, "stan"), "000001");
        EXPECT_EQ(Field(pay.Answer, "auth_code"), "A1B2C3");
        EXPECT_EQ(Field(pay.Answer, "card"), "***************1234");
        EXPECT_EQ(Field(pay.Answer, "acquirer"), "00000000003");
        EXPECT_EQ(Field(pay.Answer, "amount"), "12.34");
        ASSERT_EQ(pay.Receipt.size(), 9u);
        EXPECT_NE(pay.Receipt[6].find("EUR 12,34"), std::string::npos) << pay.Receipt[6];
        EXPECT_EQ(Field(ops[2].Answer, "error_text"), "OPERAZIONE RIFIUTATA");
        EXPECT_EQ(Field(ops[25].Answer, "currency"), "840");
        EXPECT_EQ(Field(ops[26].Answer, "bank_flag"), "1");
        EXPECT_EQ(Field(ops[26].Request, "till"), "7");
    }
}

TEST(DeviceLog, HexDumpNamedControlsAndRawBytesReadAlike) {
    const auto plain = ReadDeviceLog(Recorded("recorded.log"), "plain");
    const auto hex = ReadDeviceLog(Recorded("recorded-hex.log"), "hex");
    const auto named = ReadDeviceLog(WithNamedControls(Recorded("recorded.log")), "named");
    const auto namedHex = ReadDeviceLog(WithNamedControls(Recorded("recorded-hex.log")), "named hex");
    ASSERT_EQ(plain.size(), hex.size());
    ASSERT_EQ(plain.size(), named.size());
    ASSERT_EQ(plain.size(), namedHex.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(Essence(plain[i], false), Essence(hex[i], false)) << kRecorded[i].Why;
        EXPECT_EQ(Essence(plain[i], true), Essence(named[i], true)) << kRecorded[i].Why;
        EXPECT_EQ(Essence(hex[i], true), Essence(namedHex[i], true)) << kRecorded[i].Why;
    }
}

TEST(DeviceLog, RequestAndResultLinesGiveTheHostsRequestAndTheDriversOutcome) {
    const std::string log =
        "2025-03-07 14:00:00:000 - ------------------------------------------------------------ Pay\r\n"
        "2025-03-07 14:00:00:001 - Request: PAY | amount=12.34 | currency=EUR | print=ECR | till=5 | "
        "reference=TABLE 7\r\n"
        "2025-03-07 14:00:00:002 - Write:<STX>000000000E1<ETX>:\r\n"
        "2025-03-07 14:00:00:003 - Read:<ACK><ETX>\r\n"
        "2025-03-07 14:00:00:004 - Read:z\r\n"
        "2025-03-07 14:00:05:004 - Result: outcome unknown | code=-1 | stan= | auth= | card= | amount=12.34 "
        "| "
        "elapsed=5004 ms | error=Outcome unknown: no answer | after the ACK | note=check the terminal\r\n"
        "2025-03-07 14:01:00:000 - --------------------------------------------------------------- "
        "Reprint\r\n"
        "2025-03-07 14:01:00:001 - Request: REPRINT | print=EFT\r\n"
        "2025-03-07 14:01:00:500 - Result: approved | code=0 | elapsed=499 ms | error=\r\n";
    const auto ops = ReadDeviceLog(log, "new");
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].Name, "PAY");
    EXPECT_EQ(Field(ops[0].Request, "amount"), "12.34");
    EXPECT_EQ(Field(ops[0].Request, "reference"), "TABLE 7");
    EXPECT_EQ(Field(ops[0].Request, "till"), "5");
    EXPECT_TRUE(ops[0].HasResultLine);
    EXPECT_EQ(ops[0].Outcome, LogOutcome::Unknown);
    EXPECT_EQ(ops[0].Reason, "Outcome unknown: no answer | after the ACK; check the terminal");
    EXPECT_EQ(ops[0].ElapsedMs, 5004);
    EXPECT_EQ(ops[0].Events.size(), 2u); // the print location and its ACK
    EXPECT_EQ(ops[1].Name, "REPRINT");
    EXPECT_EQ(ops[1].Outcome, LogOutcome::Approved);
}

TEST(DeviceLog, ACheckCharacterThatIsALineBreakSplitsNoFrameOfAnOlderLog) {
    // An answer whose check character is LF or CR, written raw: the line break is part of the frame.
    for (const char lrc : {'\n', '\r'}) {
        std::string text = std::string("100000010X00") + "***************1234" + "ICC" + "A1B2C3" +
                           "0061405" + "0" + "00000000003" + "000001" + "000001" + "000" + "00001234" + "0";
        // Positions 9 and 72 are read by nobody: two printable characters there give the check character.
        auto check = [&]() {
            char sum = 0x7F ^ 0x02 ^ 0x03;
            for (const char c : text) {
                sum = static_cast<char>(sum ^ c);
            }
            return sum;
        };
        for (char a = ' '; a <= '~' && check() != lrc; ++a) {
            for (char b = ' '; b <= '~' && check() != lrc; ++b) {
                text[8] = a;
                text[71] = b;
            }
        }
        ASSERT_EQ(check(), lrc);
        const std::string log =
            "2025-03-07 14:00:00:000 - ------------------------------------------------------------ Pay\r\n"
            "2025-03-07 14:00:00:001 - Write:\x02"
            "000000000X000000010000000001234" +
            std::string(128, ' ') +
            "00000000\x03"
            "0\r\n"
            "2025-03-07 14:00:00:002 - Read:\x06\x03\r\n"
            "2025-03-07 14:00:00:003 - Read:z\r\n"
            "2025-03-07 14:00:00:004 - Read:\x02" +
            text +
            "\x03\r\n"
            "2025-03-07 14:00:00:005 - Read:" +
            std::string(1, lrc) +
            "\r\n"
            "2025-03-07 14:00:00:006 - Write:\x06\x03z\r\n";
        const auto ops = ReadDeviceLog(log, "raw");
        ASSERT_EQ(ops.size(), 1u);
        EXPECT_EQ(ops[0].Outcome, LogOutcome::Approved) << ops[0].Reason;
        EXPECT_EQ(Field(ops[0].Answer, "stan"), "000001");
    }
}

TEST(DeviceLog, FiltersByTimeAndOutcome) {
    const auto ops = ReadDeviceLog(Recorded("recorded.log"), "recorded.log");
    ASSERT_EQ(ops.size(), std::size(kRecorded));
    LogFilter unknown{"", "", "unknown"};
    std::string error;
    ASSERT_TRUE(CheckLogFilter(unknown, error));
    std::size_t unknowns = 0;
    for (const auto& op : ops) {
        unknowns += MatchesFilter(op, unknown) ? 1 : 0;
    }
    EXPECT_EQ(unknowns, 5u);
    // The operations of one second of the day: the bounds are inclusive.
    LogFilter window{ops[10].Start.substr(0, 19), ops[12].Start.substr(0, 19), ""};
    ASSERT_TRUE(CheckLogFilter(window, error)) << error;
    std::size_t inside = 0;
    for (const auto& op : ops) {
        inside += MatchesFilter(op, window) ? 1 : 0;
    }
    EXPECT_GE(inside, 3u);
    EXPECT_LT(inside, ops.size());
    for (const char* bad : {"yesterday", "2025-13", "2025-03-07 1400"}) {
        LogFilter f{bad, "", ""};
        EXPECT_FALSE(CheckLogFilter(f, error));
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
    LogFilter badOutcome{"", "", "maybe"};
    EXPECT_FALSE(CheckLogFilter(badOutcome, error));
    EXPECT_NE(error.find("maybe"), std::string::npos);
}

TEST(DeviceLog, DamagedLogsNeverCrashAndReportValidText) {
    const std::string original = Recorded("recorded-hex.log").substr(0, 20000);
    // Deterministic: the same damages on every run.
    std::uint32_t state = 12345;
    auto next = [&]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const char kNasty[] = {'\x02', '\x03', '\x04', '\x06', '\x01', '\r',   '\n',
                           '<',    '>',    '|',    '[',    ']',    '\xC3', '\xFF'};
    for (int round = 0; round < 300; ++round) {
        std::string damaged = original.substr(0, next() % original.size());
        for (int k = 0, edits = static_cast<int>(next() % 40); k < edits && !damaged.empty(); ++k) {
            const std::size_t at = next() % damaged.size();
            switch (next() % 3) {
            case 0:
                damaged[at] = kNasty[next() % sizeof kNasty];
                break;
            case 1:
                damaged.erase(at, next() % 64);
                break;
            default:
                damaged.insert(at, 1, static_cast<char>(next() % 256));
            }
        }
        const auto ops = ReadDeviceLog(damaged, "damaged");
        EXPECT_LE(ops.size(), std::size(kRecorded) + 40u);
        const std::string json = LogReportJson(ops);
        EXPECT_EQ(ValidUtf8(json), json);
        const std::string text = LogReportText(ops);
        EXPECT_EQ(ValidUtf8(text), text);
    }
}

TEST(DeviceLog, ALogCutByACrashNeverCallsAMoneyOperationThatMayHaveGoneOutFailed) {
    const std::vector<std::string> lines = {
        "2025-03-07 14:00:00:000 - ------------------------------------------------------------ Pay",
        "2025-03-07 14:00:00:001 - Request: PAY | amount=12.34 | currency=EUR | print=ECR | till=5 | "
        "reference=R",
        "2025-03-07 14:00:00:002 - kIOHandler_TCP",
        "2025-03-07 14:00:00:003 - Write:<STX>000000000E1<ETX>:",
        "2025-03-07 14:00:00:004 - Read:<ACK><ETX>z",
        "2025-03-07 14:00:00:005 - Write:<STX>000000000X0000000500000000012340000000000<ETX>Q",
        "2025-03-07 14:00:00:006 - Read:<ACK><ETX>z",
        "2025-03-07 14:00:00:007 - Set Read Timeout to 180000",
    };
    // Every cut after the request line: the lines that follow may have been lost, not skipped.
    for (std::size_t keep = 2; keep <= lines.size(); ++keep) {
        std::string log;
        for (std::size_t i = 0; i < keep; ++i) {
            log += lines[i] + "\r\n";
        }
        const auto ops = ReadDeviceLog(log, "cut");
        ASSERT_EQ(ops.size(), 1u) << keep;
        EXPECT_EQ(ops[0].Outcome, LogOutcome::Unknown) << "cut after line " << keep << ": " << ops[0].Reason;
        EXPECT_EQ(ops[0].Reason, kRecordEnds) << keep;
    }
    // Lines that settle it before the request could go out keep their verdict.
    const struct {
        const char* Line;
        LogOutcome Outcome;
    } settled[] = {
        {"2025-03-07 14:00:00:002 - ERROR - Amount -1 invalid. Allowed values are: 0 to 999999.99.",
         LogOutcome::Failed},
        {"2025-03-07 14:00:00:002 - ERROR - The terminal did not acknowledge the payment request (no ACK)",
         LogOutcome::Failed},
        {"2025-03-07 14:00:00:002 - Connect Error:refused", LogOutcome::Failed},
    };
    for (const auto& s : settled) {
        const auto ops = ReadDeviceLog(lines[0] + "\r\n" + lines[1] + "\r\n" + s.Line + "\r\n", "settled");
        ASSERT_EQ(ops.size(), 1u) << s.Line;
        EXPECT_EQ(ops[0].Outcome, s.Outcome) << s.Line << ": " << ops[0].Reason;
    }
}

// The operations of aLog ("Payment/day.log") completed by the journal content aJournal.
std::vector<LogOperation> CompletedLog(const std::string& aLog, const std::string& aJournal) {
    std::vector<JournalEntry> entries;
    for (auto& op : ReadJournal(aJournal)) {
        entries.push_back({"P17_t.journal", std::move(op)});
    }
    auto ops = ReadDeviceLog(aLog, "Payment/day.log");
    CompleteFromJournal(ops, "Payment/day.log", entries);
    return ops;
}

TEST(DeviceLog, TheJournalCompletesALogCutByACrash) {
    const std::string log =
        "2025-03-07 14:00:00:000 - ------------------------------------------------------------ Pay\r\n"
        "2025-03-07 14:00:00:001 - Request: PAY | amount=12.34 | currency=EUR | print=ECR | till=5\r\n"
        "2025-03-07 14:05:00:000 - ------------------------------------------------------------ Pay\r\n"
        "2025-03-07 14:05:00:001 - Request: REFUND | amount=3.00 | currency=EUR | print=ECR | till=5\r\n";
    auto record = [](const std::string& aTime, const std::string& aOp, const std::string& aStep,
                     std::vector<std::pair<std::string, std::string>> aFields = {}) {
        return FormatJournalRecord({aTime, aOp, aStep, std::move(aFields)});
    };
    const std::string journal =
        record("2025-03-07 14:00:00:002", "a", "asked", {{"kind", "PAY"}, {"log", "day.log"}}) +
        record("2025-03-07 14:00:00:003", "a", "sent") +
        record("2025-03-07 14:00:02:000", "a", "answer", {{"result", "00"}, {"stan", "000042"}}) +
        record("2025-03-07 14:05:00:002", "b", "asked", {{"kind", "REFUND"}, {"log", "day.log"}}) +
        record("2025-03-07 14:05:00:003", "b", "sent") +
        // The log lost every line of this one; the journal has it.
        record("2025-03-07 14:09:00:000", "c", "asked",
               {{"kind", "VOID"}, {"log", "day.log"}, {"amount", "1"}}) +
        record("2025-03-07 14:09:00:001", "c", "sent") + record("2025-03-07 14:09:00:002", "c", "ack") +
        // Another device log's operation is not this log's.
        record("2025-03-07 14:00:00:002", "d", "asked", {{"kind", "PAY"}, {"log", "other.log"}});
    const auto ops = CompletedLog(log, journal);
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].Outcome, LogOutcome::Approved);
    EXPECT_EQ(Field(ops[0].Answer, "stan"), "000042");
    EXPECT_EQ(ops[0].Journal, "approved");
    EXPECT_EQ(ops[1].Name, "REFUND");
    EXPECT_EQ(ops[1].Outcome, LogOutcome::Unknown);
    EXPECT_EQ(ops[1].Reason, kRecordEnds);
    EXPECT_EQ(ops[2].Name, "VOID");
    EXPECT_EQ(ops[2].Outcome, LogOutcome::Unknown);
    EXPECT_EQ(Field(ops[2].Request, "amount"), "1");
    EXPECT_EQ(JournalFolderOf("LogFiles/Payment/day.log"), "LogFiles/Payment/Journal");
}

// Hosts killed one after another: two while the library checked the terminal (their banners, no journal
// record), then one after its record and before its request, then one after its request went out, those
// two with no line in the log. Each journal record belongs to the last operation begun before it, or to
// none: the payment whose request went out stays the last, and unknown.
TEST(DeviceLog, AJournalRecordBelongsToTheLastOperationBegunBeforeIt) {
    const std::string banner = " - ------------------------------------------------------------ Pay\r\n";
    const std::string log = "2025-03-07 14:10:00:000" + banner + "2025-03-07 14:10:01:000" + banner;
    auto record = [](const std::string& aTime, const std::string& aOp, const std::string& aStep) {
        return FormatJournalRecord(
            {aTime, aOp, aStep,
             aStep == "asked"
                 ? std::vector<std::pair<std::string, std::string>>{{"kind", "PAY"}, {"log", "day.log"}}
                 : std::vector<std::pair<std::string, std::string>>{}});
    };
    const std::string journal = record("2025-03-07 14:10:02:000", "e", "asked") +
                                record("2025-03-07 14:10:03:000", "f", "asked") +
                                record("2025-03-07 14:10:03:001", "f", "sent");
    const auto ops = CompletedLog(log, journal);
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[1].Journal, "not sent") << "the record after the second banner is its operation's";
    EXPECT_EQ(ops[0].Journal, "") << "the first banner has no record";
    EXPECT_EQ(ops[2].Outcome, LogOutcome::Unknown);
    EXPECT_EQ(ops[2].Reason, kRecordEnds);
}

// The library's words about its check keep the journal's operation id whole (its seventeen digits of date
// and time are no card number), and still mask a card number elsewhere in them.
TEST(DeviceLog, CheckLinesKeepTheJournalsOperationIdAndMaskCardNumbers) {
    const std::string log =
        "2025-03-07 14:00:00:000 - ------------------------------------------------------------ Pay\r\n"
        "2025-03-07 14:00:00:001 - Request: PAY | amount=1.00 | currency=EUR | print=ECR | till=5 | "
        "reference=\r\n"
        "2025-03-07 14:00:00:002 - The journal holds a PAY of 5 whose outcome is open (operation "
        "20250307135920205-C912B646-1): the terminal is checked before this operation\r\n"
        "2025-03-07 14:00:00:003 - The check could not settle it: the terminal said 4929180473652170 "
        "(operation 4929180473652170)\r\n"
        "2025-03-07 14:00:00:500 - Result: approved | code=0 | elapsed=499 ms | error=\r\n";
    const auto ops = ReadDeviceLog(log, "new");
    ASSERT_EQ(ops.size(), 1u);
    std::vector<std::string> checks;
    for (const auto& e : ops[0].Events) {
        if (e.Kind == "check") {
            checks.push_back(e.Text);
        }
    }
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_NE(checks[0].find("(operation 20250307135920205-C912B646-1)"), std::string::npos) << checks[0];
    EXPECT_EQ(checks[1].find("4929180473652170"), std::string::npos) << checks[1];
    EXPECT_NE(checks[1].find("492918"), std::string::npos) << checks[1];
}

// The closing line counts what the host was told, and says how many unknown outcomes are settled since.
TEST(DeviceLog, TheSummaryCountsUnknownOutcomesTheCheckSettledSince) {
    std::vector<LogOperation> ops(4);
    ops[0].Outcome = LogOutcome::Approved;
    ops[1].Outcome = LogOutcome::Unknown;
    ops[1].Journal = "approved (recovered)";
    ops[2].Outcome = LogOutcome::Unknown;
    ops[2].Journal = "outcome unknown";
    ops[3].Outcome = LogOutcome::Failed;
    ops[3].Journal = "not performed (recovered)"; // a killed host's payment: no result line
    EXPECT_EQ(LogSummaryLine(ops),
              "4 operations: 1 approved, 0 declined, 1 failed, 2 outcome unknown (1 of them "
              "settled since, see \"journal:\")\n");
    ops.resize(1);
    EXPECT_EQ(LogSummaryLine(ops), "1 operation: 1 approved, 0 declined, 0 failed, 0 outcome unknown\n");
}
