#include "FaultMatrix.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ReliabilityTable.h"
#include "base/ZrError.h"
#include "drivers/P17Link.h"
#include "drivers/P17Protocol.h"
#include "drivers/RefundReference.h"
#include "io/Connection.h"
#include "support/InterfaceTestSupport.h"
#include "support/ScriptedDriver.h"
#include "support/TempFolder.h"

namespace {
using Clock = std::chrono::steady_clock;
using p17emu::Fault;

// What a cell must give: the terminal's answer (an approval stays one whatever fails after it), a
// failure with an error text, or either (recorded only).
enum class Expect { Answered, Fails, Either };

struct Outcome {
    bool Error = false;
    Text ErrorText;
};

struct MatrixOperation {
    const char* Name;
    int RequestFrames;         // frames the driver sends, each acknowledged within 3 s
    std::int32_t AnswerWaitMs; // one read of the answer
    bool Receipt;              // receipt text on the cash register follows the answer
    std::function<Outcome(kP17Protocol&)> Run;
};

kPaymentReceipt Receipt(ZrPrintLocation aWhere) {
    kPaymentReceipt r = TillRequest(aWhere);
    r.fReference = u"MATRIX";
    r.fRefundReference.PaymentNumber = CalcRefundReference(1, 1234, 3, Currency::FromRaw(123400), u"A1B2C3",
                                                           EncodeDateTime(2025, 3, 7, 14, 30));
    return r;
}

template <typename TResult> Outcome Of(const TResult& aResult) {
    return {aResult.Error, aResult.ErrorText};
}

std::vector<MatrixOperation> Operations() {
    const auto card = [](bool (kP17Protocol::*aOp)(const kPaymentReceipt&, _int_PAY_result&),
                         ZrPrintLocation w) {
        return [aOp, w](kP17Protocol& p) {
            _int_PAY_result r;
            (p.*aOp)(Receipt(w), r);
            return Of(r);
        };
    };
    constexpr auto pay = kP17Protocol::kPaymentAnswerTimeout;
    constexpr auto service = kP17Protocol::kServiceAnswerTimeout;
    return {
        {"PAY (ECR)", 2, pay, true, card(&kP17Protocol::DoPay, ZrPrintLocation::pl_ECR)},
        {"PAY (EFT)", 2, pay, false, card(&kP17Protocol::DoPay, ZrPrintLocation::pl_EFT)},
        {"REFUND", 2, pay, true, card(&kP17Protocol::DoRefund, ZrPrintLocation::pl_ECR)},
        {"VOID", 2, pay, true, card(&kP17Protocol::DoVoid, ZrPrintLocation::pl_ECR)},
        {"REPRINT", 1, service, true,
         [](kP17Protocol& p) {
             _int_REPRINT_result r;
             p.DoReprint(Receipt(ZrPrintLocation::pl_ECR), r);
             return Of(r);
         }},
        {"DAYCLOSE", 1, service, false,
         [](kP17Protocol& p) {
             kPaymentDayClose d;
             d.fTillCode = u"5";
             _int_DAYCLOSE_result r;
             p.DoDayClose(d, r);
             return Of(r);
         }},
        {"GETTOTALS", 1, service, false,
         [](kP17Protocol& p) {
             kPaymentTotals t;
             t.fTillCode = u"5";
             _int_GETTOTALS_result r;
             p.DoGetTotals(t, r);
             return Of(r);
         }},
    };
}

struct MatrixFault {
    const char* Name;
    std::function<void(p17emu::Config&)> Apply;
    Expect Expected;
};

std::vector<MatrixFault> Faults() {
    const auto kind = [](Fault aFault) { return [aFault](p17emu::Config& c) { c.FaultKind = aFault; }; };
    return {
        {"none", [](p17emu::Config&) {}, Expect::Answered},
        {"no ACK", kind(Fault::NoAck), Expect::Fails},
        {"ACK with a wrong check character", kind(Fault::BadAck), Expect::Fails},
        {"data frame in place of the ACK", kind(Fault::DataForAck), Expect::Fails},
        {"answer with a wrong check character", kind(Fault::WrongLrc), Expect::Fails},
        {"answer ended by EOT", kind(Fault::Eot), Expect::Answered},
        {"3 SOH status frames, then the answer", [](p17emu::Config& c) { c.StatusFrames = 3; },
         Expect::Answered},
        {"SOH status frames only, never an answer", kind(Fault::StatusOnly), Expect::Fails},
        {"silence after the ACK", kind(Fault::Silence), Expect::Fails},
        {"connection closed after the ACK", kind(Fault::Close), Expect::Fails},
        {"closed in the middle of the answer frame", kind(Fault::CloseMidFrame), Expect::Fails},
        {"reset after the ACK", kind(Fault::Reset), Expect::Fails},
        {"garbage bytes in place of the answer", kind(Fault::Garbage), Expect::Fails},
        {"a terminal that never stops sending", kind(Fault::Babble), Expect::Fails},
        {"receipt text that never ends", kind(Fault::EndlessReceipt), Expect::Answered},
        {"damaged receipt frame", kind(Fault::ReceiptWrongLrc), Expect::Answered},
        {"connection cut inside a receipt frame",
         [](p17emu::Config& c) {
             c.FaultKind = Fault::ReceiptCut;
             c.FaultAt = 20;
         },
         Expect::Answered},
        {"connection cut between receipt frames",
         [](p17emu::Config& c) {
             // Frames of 24 receipt characters: STX, 10 header characters, 24, ETX and LRC.
             c.ReceiptChunk = 24;
             c.FaultKind = Fault::ReceiptCut;
             c.FaultAt = 37;
         },
         Expect::Answered},
        {"reset right after the answer", kind(Fault::ResetAfterAnswer), Expect::Answered},
        {"reset right after the receipt", kind(Fault::ResetAfterReceipt), Expect::Answered},
        {"control characters in every text field of the answer",
         [](p17emu::Config& c) {
             c.Pan = "\x01\x02\x05\x07\x08\x0B\x0C\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19";
             c.EntryMode = "\x1A\x1B\x1C";
             c.AuthCode = "\x1D\x1E\x1F\x7F\x00\x06";
             c.ErrorText = "\x01\x02";
         },
         Expect::Either},
    };
}

std::size_t Count(const std::string& aText, const std::string& aPart) {
    std::size_t n = 0;
    for (auto at = aText.find(aPart); at != std::string::npos; at = aText.find(aPart, at + 1)) {
        ++n;
    }
    return n;
}

// The last line of aLog holding aPart, after the time stamp.
std::string LastLineWith(const std::string& aLog, const std::string& aPart) {
    const auto at = aLog.rfind(aPart);
    if (at == std::string::npos) {
        return "";
    }
    const auto start = aLog.rfind('\n', at);
    const auto end = aLog.find('\r', at);
    return aLog.substr(start == std::string::npos ? 0 : start + 1,
                       end == std::string::npos ? end : end - start - 1);
}

// What the host gets: an error raised during the exchange becomes the error text (as the command object
// does), and a channel's own error message replaces the driver's text (as the device does).
Outcome AsTheHostSeesIt(const MatrixOperation& aOperation, kP17Protocol& aProtocol, kIOHandler& aChannel) {
    Outcome outcome;
    try {
        outcome = aOperation.Run(aProtocol);
    } catch (const ZrError& e) {
        outcome = {true, e.Message()};
    }
    if (aChannel.ErrorFound()) {
        outcome.ErrorText = aChannel.ErrorMessage();
    }
    return outcome;
}

std::string Seconds(std::int64_t aMs) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(aMs) / 1000);
    return text;
}
} // namespace

std::vector<std::string> FaultMatrixHeader() {
    return {"Transport",    "Operation",
            "Fault",        "Result",
            "Error text",   "Time-outs run / bound",
            "Took",         "Log (last error line)",
            "Next command", "Verdict"};
}

std::vector<std::vector<std::string>> RunFaultMatrix(p17emu::TerminalEmulator& aTerminal,
                                                     const MatrixTransport& aTransport) {
    TempFolder logs;
    std::vector<std::vector<std::string>> rows;
    kConnection connection;
    aTransport.Configure(connection);
    connection.SetReadTimeOut(500);
    connection.SetConnectTimeOut(2000);
    p17emu::Config base = aTerminal.GetConfig();
    // The emulator waits for the final ACK only briefly: a serial line may purge it, and the next cell
    // must find the terminal listening.
    base.AckWaitMs = 300;
    int cell = 0;
    for (const MatrixFault& fault : Faults()) {
        for (const MatrixOperation& op : Operations()) {
            SCOPED_TRACE(aTransport.Name + " / " + op.Name + " / " + fault.Name);
            const Text logName = u"cell" + IntToText(++cell);
            p17emu::Config config = base;
            fault.Apply(config);
            aTerminal.WaitIdle(10000);
            aTerminal.SetConfig(config);
            std::int64_t pausedMs = 0;
            Outcome outcome;
            Outcome next;
            std::int64_t askedMs = 0;
            std::int64_t tookMs = 0;
            Text logFile;
            {
                auto channel = aTransport.MakeChannel(connection, logs.AsText(), logName);
                logFile = channel->GetLogFileName();
                TextList acquirers;
                kP17Protocol protocol(*channel, acquirers, aTransport.Designation, kP17Protocol::NowFn(),
                                      [&pausedMs](std::int32_t aMs) { pausedMs += aMs; });
                const auto start = Clock::now();
                outcome = AsTheHostSeesIt(op, protocol, *channel);
                tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
                askedMs = aTransport.RequestedWaitMs(*channel) + pausedMs;
                // The same device, the terminal well again. A terminal that kept sending after the driver
                // gave up stops only once the fault is gone or its own wait for the driver's ACK has run
                // out: on a serial line (which never closes) nothing is usable before that.
                aTerminal.WaitIdle(10000);
                aTerminal.SetConfig(base);
                EXPECT_TRUE(aTerminal.WaitQuiet(10000)) << "the terminal kept sending";
                next = AsTheHostSeesIt(op, protocol, *channel);
            }
            // The channel is gone, so every line it logged is on disk.
            const std::string log = ReadFileBytes(logFile);
            // ACK waits, the answer wait (status frames may double it) and the receipt collection.
            const std::int64_t bound =
                op.RequestFrames * P17::kAckTimeout +
                2 * (11 * static_cast<std::int64_t>(op.AnswerWaitMs) +
                     P17::kEmptyReadsTolerated * P17::kEmptyReadPause) +
                (op.Receipt ? P17::kReceiptPause + (P17::kMaxReceiptFrames + 6) * P17::kReceiptReadTimeout
                            : 0);
            std::string verdict;
            if (fault.Expected == Expect::Fails && !outcome.Error) {
                verdict = "FAULT: reported success";
            } else if (fault.Expected == Expect::Answered && outcome.Error) {
                verdict = "FAULT: the answer was lost";
            } else if (outcome.Error && outcome.ErrorText.empty()) {
                verdict = "FAULT: no error text";
            } else if (askedMs > bound) {
                verdict = "FAULT: waits past the bound";
            } else if (next.Error) {
                verdict = "FAULT: the device is not usable afterwards";
            } else if (fault.Expected == Expect::Fails && Count(log, " - ERROR - ") == 0 &&
                       Count(log, " - WARN - ") == 0) {
                verdict = "FAULT: the log shows no error";
            }
            EXPECT_EQ(verdict, "") << TextToUtf8(outcome.ErrorText);
            // The last error line, or the drop report when a burst filled the log's queue.
            std::string lastError = LastLineWith(log, " - ERROR - ");
            if (lastError.empty()) {
                lastError = LastLineWith(log, " - WARN - ");
            }
            for (const char* marker : {" - ERROR - ", " - WARN - "}) {
                if (const auto at = lastError.find(marker); at != std::string::npos) {
                    lastError = lastError.substr(at + std::string(marker).size());
                }
            }
            rows.push_back({aTransport.Name, op.Name, fault.Name, outcome.Error ? "Error" : "answered",
                            CellText(outcome.ErrorText, 140), Seconds(askedMs) + " / " + Seconds(bound),
                            Seconds(tookMs), CellText(Utf8ToText(lastError), 80),
                            next.Error ? "fails" : "works", verdict.empty() ? "ok" : verdict});
        }
    }
    aTerminal.SetConfig(base);
    return rows;
}
