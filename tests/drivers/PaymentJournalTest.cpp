// The payment journal: its record format read back (damaged lines refused), what each sequence of
// steps means, the records a payment leaves over real TCP against the emulator for every way it can end,
// appends from two writers at once, and a folder that cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "drivers/JournalFormat.h"
#include "drivers/P17Protocol.h"
#include "drivers/PaymentJournal.h"
#include "io/IOHandler_TCP.h"
#include "payment/CommandOutcome.h"
#include "platform/JournalFile.h"
#include "support/LoopbackConnection.h"
#include "support/TempFolder.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
std::string Steps(const JournalOperation& aOp) {
    std::string steps;
    for (const auto& r : aOp.Records) {
        steps += (steps.empty() ? "" : " ") + r.Step;
    }
    return steps;
}

std::vector<JournalOperation> ReadJournalFile(const Text& aPath, std::size_t* aDamaged = nullptr) {
    std::string content;
    ReadRecordFile(aPath, content);
    return ReadJournal(content, aDamaged);
}

// The driver over real TCP to an emulated terminal, its pauses skipped.
struct TcpDriver {
    explicit TcpDriver(const p17emu::Config& aConfig = p17emu::Config()) : Terminal(aConfig) {}
    EmulatedTerminal Terminal;
    kConnection Connection = LoopbackTcp(Terminal.Port());
    kIOHandler_TCP Channel{&Connection, Text(), Text()};
    TextList Custom;
    kP17Protocol P17{Channel, Custom, u"127.0.0.1:1", kP17Protocol::NowFn(), [](std::int32_t) {}};
};

kPaymentReceipt Receipt(zrPaymentAction aAction, ZrPrintLocation aWhere) {
    kPaymentReceipt r;
    r.fAction = aAction;
    r.fTillCode = u"5";
    r.fReference = u"R 1%\u00e9";
    r.fAmount = Currency::FromRaw(123400);
    r.fCurrency = u"EUR";
    r.fPrintLocation = aWhere;
    return r;
}
} // namespace

TEST(PaymentJournal, RecordsReadBackAndDamagedLinesAreRefused) {
    const JournalRecord record{"2026-12-10 13:00:00:001",
                               "op-1",
                               "asked",
                               {{"reference", "a\tb%c\nd\x01 é"}, {"amount", "12.34"}, {"empty", ""}}};
    const std::string line = FormatJournalRecord(record);
    JournalRecord back;
    ASSERT_TRUE(ParseJournalRecord(line.substr(0, line.size() - 1), back)) << line;
    EXPECT_EQ(back.Fields, record.Fields);
    EXPECT_EQ(back.Get("reference"), "a\tb%c\nd\x01 é");
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << "one record, one line";

    std::string flipped = line;
    flipped[30] = flipped[30] == 'x' ? 'y' : 'x';
    const struct {
        const char* Why;
        std::string Content;
        std::size_t Records, Damaged;
    } cases[] = {
        {"whole", line, 1, 0},
        {"cut before its end (a crash while writing)", line.substr(0, line.size() - 5), 0, 1},
        {"cut before its line end only", line.substr(0, line.size() - 1), 0, 1},
        {"a changed character", flipped, 0, 1},
        {"another version", "ZRJ9" + line.substr(4), 0, 1},
        {"not a record", "hello\n" + line, 1, 1},
        {"an escape cut short", "ZRJ1\tt\top\tasked\tk=%4\tsum=00000000\n", 0, 1},
        {"CR LF line ends", line.substr(0, line.size() - 1) + "\r\n", 1, 0},
    };
    for (const auto& c : cases) {
        std::size_t damaged = 99;
        const auto ops = ReadJournal(c.Content, &damaged);
        EXPECT_EQ(ops.empty() ? 0 : ops[0].Records.size(), c.Records) << c.Why;
        EXPECT_EQ(damaged, c.Damaged) << c.Why;
    }
}

TEST(PaymentJournal, WhatEachSequenceOfStepsMeans) {
    const struct {
        std::vector<std::pair<const char*, const char*>> Steps; // step, result or verdict
        JournalState State;
        bool Unresolved;
    } cases[] = {
        {{{"asked", ""}}, JournalState::NotSent, false},
        {{{"asked", ""}, {"end", ""}}, JournalState::NotSent, false},
        {{{"asked", ""}, {"sent", ""}}, JournalState::RecordEnds, true},
        {{{"sent", ""}}, JournalState::RecordEnds, true},
        {{{"asked", ""}, {"sent", ""}, {"ack", ""}}, JournalState::RecordEnds, true},
        {{{"asked", ""}, {"sent", ""}, {"noack", ""}, {"end", ""}}, JournalState::NotAccepted, false},
        {{{"asked", ""}, {"sent", ""}, {"ack", ""}, {"answer", "00"}}, JournalState::Approved, false},
        {{{"asked", ""}, {"sent", ""}, {"ack", ""}, {"answer", "01"}, {"end", ""}},
         JournalState::Declined,
         false},
        {{{"asked", ""}, {"sent", ""}, {"ack", ""}, {"lost", ""}, {"end", ""}}, JournalState::Unknown, true},
        {{{"sent", ""}, {"ack", ""}, {"lost", ""}, {"verdict", "approved"}},
         JournalState::RecoveredApproved,
         false},
        {{{"sent", ""}, {"verdict", "not performed"}}, JournalState::RecoveredNotPerformed, false},
        {{{"sent", ""}, {"ack", ""}, {"verdict", "unknown"}}, JournalState::StaysUnknown, false},
    };
    for (const auto& c : cases) {
        std::string content;
        std::string names;
        for (const auto& [step, value] : c.Steps) {
            names += std::string(step) + " ";
            content += FormatJournalRecord(
                {"t", "op", step, {{std::string(step) == "verdict" ? "verdict" : "result", value}}});
        }
        const auto ops = ReadJournal(content);
        ASSERT_EQ(ops.size(), 1u) << names;
        EXPECT_EQ(ops[0].State(), c.State) << names << JournalStateName(ops[0].State());
        EXPECT_EQ(ops[0].Unresolved(), c.Unresolved) << names;
    }
}

TEST(PaymentJournal, EveryWayAPaymentEndsOverTcp) {
    using p17emu::Fault;
    const struct {
        const char* Why;
        zrPaymentAction Action;
        ZrPrintLocation Where;
        Fault FaultKind;
        std::string Result; // the terminal's result code for the action
        const char* Steps;
        JournalState State;
    } cases[] = {
        {"approved payment, receipt", zrPaymentAction::pa_Pay, ZrPrintLocation::pl_ECR, Fault::None, "00",
         "asked sent ack answer receipt end", JournalState::Approved},
        {"declined payment", zrPaymentAction::pa_Pay, ZrPrintLocation::pl_EFT, Fault::None, "01",
         "asked sent ack answer receipt end", JournalState::Declined},
        {"approved refund", zrPaymentAction::pa_Refund, ZrPrintLocation::pl_EFT, Fault::None, "00",
         "asked sent ack answer receipt end", JournalState::Approved},
        {"not acknowledged", zrPaymentAction::pa_Pay, ZrPrintLocation::pl_EFT, Fault::NoAck, "00",
         "asked sent noack end", JournalState::NotAccepted},
        {"connection closed after the ACK", zrPaymentAction::pa_Pay, ZrPrintLocation::pl_EFT, Fault::Close,
         "00", "asked sent ack lost end", JournalState::Unknown},
        {"answer with a wrong check character", zrPaymentAction::pa_Refund, ZrPrintLocation::pl_ECR,
         Fault::WrongLrc, "00", "asked sent ack lost end", JournalState::Unknown},
        {"answer cut mid-frame", zrPaymentAction::pa_Pay, ZrPrintLocation::pl_ECR, Fault::CloseMidFrame, "00",
         "asked sent ack lost end", JournalState::Unknown},
        {"receipt cut", zrPaymentAction::pa_Pay, ZrPrintLocation::pl_ECR, Fault::ReceiptCut, "00",
         "asked sent ack answer receipt end", JournalState::Approved},
    };
    for (const auto& c : cases) {
        p17emu::Config config;
        config.FaultKind = c.FaultKind;
        config.FaultAt = 30;
        config.PayResult = config.RefundResult = c.Result;
        TcpDriver driver(config);
        kP17Protocol& p17 = driver.P17;
        TempFolder folder;
        kPaymentJournal journal(folder.Child("Journal"), u"127.0.0.1:" + IntToText(driver.Terminal.Port()),
                                folder.Child("device.log"));
        p17.SetJournal(&journal);

        _int_PAY_result result;
        const kPaymentReceipt receipt = Receipt(c.Action, c.Where);
        c.Action == zrPaymentAction::pa_Refund ? p17.DoRefund(receipt, result) : p17.DoPay(receipt, result);

        const auto ops = ReadJournalFile(journal.Path());
        ASSERT_EQ(ops.size(), 1u) << c.Why;
        EXPECT_EQ(Steps(ops[0]), c.Steps) << c.Why;
        EXPECT_EQ(ops[0].State(), c.State) << c.Why << ": " << JournalStateName(ops[0].State());
        const JournalRecord* asked = ops[0].Find("asked");
        ASSERT_NE(asked, nullptr) << c.Why;
        EXPECT_EQ(asked->Get("amount"), "12.34") << c.Why;
        EXPECT_EQ(asked->Get("log"), "device.log") << c.Why;
        if (c.Action == zrPaymentAction::pa_Pay) {
            EXPECT_EQ(asked->Get("reference"), "R 1%\u00e9") << c.Why;
        }
        if (const JournalRecord* answer = ops[0].Find("answer")) {
            EXPECT_EQ(answer->Get("terminal_id"), "10000001") << c.Why;
            EXPECT_EQ(answer->Get("result"), c.Result) << c.Why;
        }
        const JournalRecord* end = ops[0].Find("end");
        ASSERT_NE(end, nullptr) << c.Why;
        EXPECT_EQ(end->Get("error"), result.Error ? "True" : "False") << c.Why;
        EXPECT_EQ(end->Get("refund_reference"), TextToUtf8(result.RefundReference)) << c.Why;
    }
}

TEST(PaymentJournal, TwoWritersAtOnceLoseAndTearNothing) {
    TempFolder folder;
    const Text path = folder.Child("shared.journal");
    constexpr int kEach = 300;
    auto writer = [&](const std::string& aOp) {
        for (int i = 0; i < kEach; ++i) {
            // Records of different sizes, some larger than a pipe buffer's atomic unit.
            const std::string filler(static_cast<std::size_t>((i * 97) % 6000), 'x');
            AppendRecord(path,
                         FormatJournalRecord({"t", aOp, "step", {{"i", std::to_string(i)}, {"f", filler}}}),
                         i % 50 == 0);
        }
    };
    std::thread a(writer, "A");
    std::thread b(writer, "B");
    a.join();
    b.join();
    std::size_t damaged = 99;
    const auto ops = ReadJournalFile(path, &damaged);
    EXPECT_EQ(damaged, 0u);
    ASSERT_EQ(ops.size(), 2u);
    for (const auto& op : ops) {
        ASSERT_EQ(op.Records.size(), static_cast<std::size_t>(kEach)) << op.Operation;
        for (int i = 0; i < kEach; ++i) {
            EXPECT_EQ(op.Records[static_cast<std::size_t>(i)].Get("i"), std::to_string(i)) << op.Operation;
        }
    }
}

TEST(PaymentJournal, RotationCarriesTheUnresolvedOperations) {
    TempFolder folder;
    const Text path = folder.Child("P17_t.journal");
    std::string content;
    content += FormatJournalRecord({"t", "done", "sent", {}});
    content += FormatJournalRecord({"t", "open", "sent", {}});
    content += FormatJournalRecord({"t", "done", "answer", {{"result", "00"}}});
    content += FormatJournalRecord({"t", "open", "ack", {}});
    ASSERT_TRUE(AppendRecord(path, content, false));
    ASSERT_TRUE(RotateRecordFile(path, folder.Child("P17_t_1.journal"), [](const std::string& aOld) {
        std::string carried;
        for (const auto& op : ReadJournal(aOld)) {
            for (const auto& r : op.Records) {
                carried += op.Unresolved() ? FormatJournalRecord(r) : "";
            }
        }
        return carried;
    }));
    const auto live = ReadJournalFile(path);
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].Operation, "open");
    EXPECT_EQ(Steps(live[0]), "sent ack");
    EXPECT_EQ(ReadJournalFile(folder.Child("P17_t_1.journal")).size(), 2u)
        << "the moved file keeps everything";
    EXPECT_FALSE(RotateRecordFile(path, folder.Child("P17_t_1.journal"), [](const std::string&) {
        return std::string();
    })) << "a rotation never replaces an earlier file";
}

TEST(PaymentJournal, AFolderThatCannotBeWrittenLeavesThePaymentAlone) {
    TempFolder folder;
    const Text blocker = folder.Child("file");
    ASSERT_TRUE(AppendRecord(blocker, "x\n", false));
    TcpDriver driver;
    kP17Protocol& p17 = driver.P17;
    testing::internal::CaptureStderr();
    // A folder inside a file.
    kPaymentJournal inFile(blocker + u"/Journal", u"t", u"x.log");
    p17.SetJournal(&inFile);
    _int_PAY_result result;
    const bool approved = p17.DoPay(Receipt(zrPaymentAction::pa_Pay, ZrPrintLocation::pl_EFT), result);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(approved) << TextToUtf8(result.ErrorText);
    EXPECT_TRUE(inFile.Path().empty());
    // Said at most once per process (an earlier test of this program may have said it already).
    EXPECT_LE(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST(PaymentJournal, AnOpenOperationIsCheckedOnceBeforeTheNextAndOnlyThen) {
    TcpDriver driver;
    TempFolder folder;
    const Text journalFolder = folder.Child("Journal");
    auto journal = std::make_unique<kPaymentJournal>(journalFolder, u"t", folder.Child("device.log"));
    driver.P17.SetJournal(journal.get());
    auto requestCodes = [&] {
        std::string codes;
        for (const auto& r : driver.Terminal->Requests()) {
            codes += r.size() > 9 ? r[9] : '?';
        }
        driver.Terminal->ClearTraffic();
        return codes;
    };
    _int_PAY_result first;
    ASSERT_TRUE(driver.P17.DoPay(Receipt(zrPaymentAction::pa_Pay, ZrPrintLocation::pl_ECR), first));
    EXPECT_EQ(requestCodes(), "RTEX") << "the first meeting reads the terminal's state once";
    _int_PAY_result second;
    ASSERT_TRUE(driver.P17.DoPay(Receipt(zrPaymentAction::pa_Pay, ZrPrintLocation::pl_EFT), second));
    EXPECT_EQ(requestCodes(), "EX") << "nothing open: no extra exchange";

    // The answer is lost and so is the check's reprint: the payment stays open when the call returns.
    p17emu::Config faulty;
    faulty.FaultKind = p17emu::Fault::WrongLrc;
    faulty.FaultOn = "XR";
    faulty.FaultWhen = p17emu::FaultMoment::AfterApproving;
    faulty.FaultCount = 2;
    driver.Terminal->SetConfig(faulty);
    _int_PAY_result lost;
    EXPECT_FALSE(driver.P17.DoPay(Receipt(zrPaymentAction::pa_Pay, ZrPrintLocation::pl_ECR), lost));
    EXPECT_TRUE(BeginsWith(lost.ErrorText, kOutcomeUnknownWords)) << TextToUtf8(lost.ErrorText);
    EXPECT_EQ(requestCodes(), "EXRT");
    ASSERT_TRUE(journal->ReadTail().Unresolved.has_value());

    // The host restarts: a new journal object on the same file checks the payment before the next one,
    // and that next one is a refund, so the verdict rests on the state from before the lost payment.
    driver.Terminal->SetConfig(p17emu::Config());
    journal = std::make_unique<kPaymentJournal>(journalFolder, u"t", folder.Child("device.log"));
    driver.P17.SetJournal(journal.get());
    _int_PAY_result refund;
    ASSERT_TRUE(driver.P17.DoRefund(Receipt(zrPaymentAction::pa_Refund, ZrPrintLocation::pl_EFT), refund));
    EXPECT_EQ(requestCodes(), "RTEA") << "one check, then the refund";
    const auto ops = ReadJournalFile(journal->Path());
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[2].State(), JournalState::RecoveredApproved) << Steps(ops[2]);
    EXPECT_EQ(ops[3].State(), JournalState::Approved);
    EXPECT_EQ(driver.Terminal->JournalTotal(), 3 * 1234 - 1234);
    const kPaymentJournal::Tail tail = journal->ReadTail();
    EXPECT_FALSE(tail.Unresolved.has_value());
    EXPECT_EQ(tail.Baseline.TotalCents, driver.Terminal->JournalTotal())
        << "the journal follows the terminal";

    // A day close sets the total the journal knows to zero without asking.
    _int_DAYCLOSE_result closed;
    ASSERT_TRUE(driver.P17.DoDayClose(kPaymentDayClose(), closed));
    EXPECT_EQ(requestCodes(), "C");
    EXPECT_TRUE(journal->ReadTail().Baseline.TotalKnown);
    EXPECT_EQ(journal->ReadTail().Baseline.TotalCents, 0);
}
