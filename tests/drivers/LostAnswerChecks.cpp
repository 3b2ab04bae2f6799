#include "LostAnswerChecks.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "drivers/PaymentJournal.h"
#include "io/IOHandler.h"
#include "payment/CommandOutcome.h"
#include "platform/JournalFile.h"
#include "support/TempFolder.h"

namespace {
using p17emu::FaultMoment;

constexpr std::int64_t kBaselineCents = 1234; // the payment made before each faulted request
constexpr const char16_t* kLostAmount = u"00000500";

// What the reprint and the totals show after the faulted request. No title: the baseline payment's
// receipt, unchanged.
const struct Expected {
    zrPaymentAction Action;
    FaultMoment When;
    const char* Name;
    const char16_t* Title;
    const char16_t* Verdict;
    std::int64_t TotalCents;
} kExpected[] = {
    {zrPaymentAction::pa_Pay, FaultMoment::BeforeProcessing, "PAY before processing", nullptr, nullptr, 1234},
    {zrPaymentAction::pa_Pay, FaultMoment::AfterApproving, "PAY approved", u"PAGAMENTO",
     u"TRANSAZIONE ESEGUITA", 1734},
    {zrPaymentAction::pa_Pay, FaultMoment::AfterDeclining, "PAY declined", u"PAGAMENTO",
     u"OPERAZIONE RIFIUTATA", 1234},
    {zrPaymentAction::pa_Refund, FaultMoment::BeforeProcessing, "REFUND before processing", nullptr, nullptr,
     1234},
    {zrPaymentAction::pa_Refund, FaultMoment::AfterApproving, "REFUND approved", u"STORNO / RIMBORSO",
     u"TRANSAZIONE ESEGUITA", 734},
    {zrPaymentAction::pa_Refund, FaultMoment::AfterDeclining, "REFUND declined", u"STORNO / RIMBORSO",
     u"OPERAZIONE RIFIUTATA", 1234},
    {zrPaymentAction::pa_Void, FaultMoment::BeforeProcessing, "VOID before processing", nullptr, nullptr,
     1234},
    {zrPaymentAction::pa_Void, FaultMoment::AfterApproving, "VOID approved", u"ANNULLAMENTO",
     u"TRANSAZIONE ANNULLATA", 0},
    {zrPaymentAction::pa_Void, FaultMoment::AfterDeclining, "VOID declined", u"ANNULLAMENTO",
     u"OPERAZIONE NON TROVATA", 1234},
};

kPaymentReceipt Baseline() {
    kPaymentReceipt r;
    r.fTillCode = u"5";
    r.fAmount = Currency::FromRaw(kBaselineCents * 100);
    r.fCurrency = u"EUR";
    r.fPrintLocation = ZrPrintLocation::pl_ECR;
    return r;
}

Text Message(zrPaymentAction aAction, const Text& aRefundReference) {
    const Text ecr = kP17Protocol::EcrIdentifier(u"5");
    switch (aAction) {
    case zrPaymentAction::pa_Refund:
        return kP17Protocol::RefundMessage(ecr, kLostAmount);
    case zrPaymentAction::pa_Void:
        return kP17Protocol::VoidMessage(ecr, aRefundReference);
    case zrPaymentAction::pa_Pay:
        break;
    }
    Text reference;
    Text error;
    EXPECT_TRUE(kP17Protocol::ReferenceField(u"LOST", reference, error));
    return kP17Protocol::PayMessage(ecr, kLostAmount, reference);
}

// Sends the print location and the request as the driver does, then looks for the answer only briefly
// and hangs up: what the terminal did is read afterwards, whatever came or did not.
void SendAndGiveUp(CardRig& aRig, const Text& aMessage, bool aPrintOnEcr, const std::string& aWhy) {
    kIOHandler& channel = aRig.Channel();
    ASSERT_TRUE(channel.Connect()) << aWhy;
    kP17Link& link = aRig.P17().Link();
    EXPECT_TRUE(link.SendFrame(BuildFrame(kP17Protocol::PrintLocationMessage(aPrintOnEcr)))) << aWhy;
    EXPECT_TRUE(link.SendFrame(BuildFrame(aMessage))) << aWhy;
    Text payload;
    zrFrameKind kind = zrFrameKind::fk_None;
    try {
        link.ReadMessage(100, false, payload, kind);
    } catch (const std::exception&) {
        kind = zrFrameKind::fk_None; // the damaged answer
    }
    EXPECT_NE(kind, zrFrameKind::fk_Data) << aWhy << ": an answer came through";
    channel.Disconnect();
}

// The terminal loses the answer of the next payment, refund or void, at the case's moment.
p17emu::Config OnceAt(const LostAnswer& aFault, const Expected& aExpected) {
    p17emu::Config config;
    config.FaultKind = aFault.Fault;
    config.FaultOn = "XAQ";
    config.FaultWhen = aExpected.When;
    config.FaultCount = 1;
    return config;
}

kPaymentReceipt Request(zrPaymentAction aAction, const Text& aRefundReference, ZrPrintLocation aWhere) {
    kPaymentReceipt r = Baseline();
    r.fPrintLocation = aWhere;
    r.fReference = u"LOST";
    Currency::TryParse(u"5.00", r.fAmount);
    if (aAction == zrPaymentAction::pa_Void) {
        // The host's amount plays no part: the terminal voids what the reference names.
        r.fRefundReference.PaymentNumber = aRefundReference;
    }
    return r;
}

RecoveryVerdict Told(const _int_PAY_result& aResult) {
    if (!aResult.Error) {
        return RecoveryVerdict::Approved;
    }
    return BeginsWith(aResult.ErrorText, kNotPerformedWords) ? RecoveryVerdict::NotPerformed
                                                             : RecoveryVerdict::Unknown;
}

void ResolveOne(const CardRigFactory& aRig, const LostAnswer& aFault, const Expected& aExpected,
                ZrPrintLocation aWhere, ZrPrintLocation aBaselineWhere, RecoveryCount& aCount) {
    const std::string why =
        std::string(aExpected.Name) + ", " + aFault.Why +
        (aWhere == ZrPrintLocation::pl_ECR ? ", cash register prints" : ", terminal prints");
    const auto rig = aRig(p17emu::Config());
    TempFolder folder;
    kPaymentJournal journal(folder.Child("Journal"), u"terminal", folder.Child("device.log"));
    rig->P17().SetJournal(&journal);
    _int_PAY_result paid;
    kPaymentReceipt before = Baseline();
    before.fPrintLocation = aBaselineWhere;
    ASSERT_TRUE(rig->P17().DoPay(before, paid)) << why << ": " << TextToUtf8(paid.ErrorText);

    rig->Terminal().SetConfig(OnceAt(aFault, aExpected));
    const kPaymentReceipt request = Request(aExpected.Action, paid.RefundReference, aWhere);
    _int_PAY_result result;
    switch (aExpected.Action) {
    case zrPaymentAction::pa_Pay:
        rig->P17().DoPay(request, result);
        break;
    case zrPaymentAction::pa_Refund:
        rig->P17().DoRefund(request, result);
        break;
    case zrPaymentAction::pa_Void:
        rig->P17().DoVoid(request, result);
        break;
    }
    ASSERT_EQ(rig->Terminal().FaultsInjected(), 1u) << why;
    ASSERT_EQ(rig->Terminal().JournalTotal(), aExpected.TotalCents) << why << ": the terminal's own total";

    const RecoveryVerdict truth = aExpected.When == FaultMoment::AfterApproving
                                      ? RecoveryVerdict::Approved
                                      : RecoveryVerdict::NotPerformed;
    const RecoveryVerdict told = Told(result);
    ++aCount.Cases;
    if (told != RecoveryVerdict::Unknown) {
        ++aCount.Conclusive;
        if (told != truth) {
            ++aCount.Wrong;
            ADD_FAILURE() << why << ": told " << RecoveryVerdictName(told) << ", the terminal "
                          << RecoveryVerdictName(truth) << "\n"
                          << TextToUtf8(result.ErrorText);
        }
    }
    if (told == RecoveryVerdict::Approved) {
        EXPECT_EQ(result.PaymentAmount.ToText(), u"5") << why;
        EXPECT_EQ(result.DeviceId, u"10000001") << why << ": the terminal that answered the check";
        EXPECT_EQ(result.ReceiptText.empty(), aWhere == ZrPrintLocation::pl_EFT) << why;
        EXPECT_TRUE(result.RefundReference.empty()) << why << ": the receipt holds nothing a void can use";
    }
    // The journal says the same as the host is told, and the next operation starts from the terminal's
    // true state.
    std::string content;
    ASSERT_TRUE(ReadRecordFile(journal.Path(), content)) << why;
    const auto ops = ReadJournal(content);
    ASSERT_EQ(ops.size(), 2u) << why;
    const JournalRecord* verdict = ops[1].Find("verdict");
    ASSERT_NE(verdict, nullptr) << why << ": the check read the terminal";
    EXPECT_EQ(verdict->Get("verdict"), RecoveryVerdictName(told)) << why;
    const kPaymentJournal::Tail tail = journal.ReadTail();
    EXPECT_FALSE(tail.Unresolved.has_value()) << why;
    EXPECT_TRUE(tail.Baseline.TotalKnown) << why;
    EXPECT_EQ(tail.Baseline.TotalCents, aExpected.TotalCents) << why;
}

void CheckOne(const CardRigFactory& aRig, const LostAnswer& aFault, const Expected& aExpected,
              ZrPrintLocation aWhere) {
    const std::string why =
        std::string(aExpected.Name) + ", " + aFault.Why +
        (aWhere == ZrPrintLocation::pl_ECR ? ", cash register prints" : ", terminal prints");
    const auto rig = aRig(p17emu::Config());
    _int_PAY_result paid;
    ASSERT_TRUE(rig->P17().DoPay(Baseline(), paid)) << why << ": " << TextToUtf8(paid.ErrorText);
    ASSERT_FALSE(paid.ReceiptText.empty()) << why;

    rig->Terminal().SetConfig(OnceAt(aFault, aExpected));
    SendAndGiveUp(*rig, Message(aExpected.Action, paid.RefundReference), aWhere == ZrPrintLocation::pl_ECR,
                  why);

    kPaymentReceipt reprint;
    reprint.fPrintLocation = ZrPrintLocation::pl_ECR;
    _int_REPRINT_result copy;
    EXPECT_TRUE(rig->P17().DoReprint(reprint, copy)) << why << ": " << TextToUtf8(copy.ErrorText);
    if (aExpected.Title == nullptr) {
        EXPECT_EQ(copy.ReceiptText, paid.ReceiptText) << why;
    } else {
        EXPECT_NE(copy.ReceiptText.find(aExpected.Title), Text::npos) << why << "\n"
                                                                      << TextToUtf8(copy.ReceiptText);
        EXPECT_NE(copy.ReceiptText.find(aExpected.Verdict), Text::npos) << why << "\n"
                                                                        << TextToUtf8(copy.ReceiptText);
    }
    _int_GETTOTALS_result totals;
    EXPECT_TRUE(rig->P17().DoGetTotals(kPaymentTotals(), totals))
        << why << ": " << TextToUtf8(totals.ErrorText);
    EXPECT_EQ(totals.TotalAmount.ToText(), Currency::FromRaw(aExpected.TotalCents * 100).ToText()) << why;
    EXPECT_EQ(rig->Terminal().FaultsInjected(), 1u) << why << ": the fault hits the request, and only it";
}
} // namespace

void ExpectTerminalStateAfterLostAnswers(const CardRigFactory& aRig, const std::vector<LostAnswer>& aFaults) {
    std::size_t n = 0;
    for (const auto& fault : aFaults) {
        for (const auto& expected : kExpected) {
            // Each operation meets each fault at each moment; the printers alternate.
            CheckOne(aRig, fault, expected, n++ % 2 == 0 ? ZrPrintLocation::pl_ECR : ZrPrintLocation::pl_EFT);
        }
    }
}

RecoveryCount ExpectLostOutcomesResolved(const char* aName, const CardRigFactory& aRig,
                                         const std::vector<LostAnswer>& aFaults, bool aBothPrinters,
                                         ZrPrintLocation aBaselineWhere) {
    RecoveryCount count;
    std::size_t n = 0;
    for (std::size_t f = 0; f < aFaults.size(); ++f) {
        for (const auto& expected : kExpected) {
            // Alternating, over two faults each operation and moment meets both printers.
            const bool ecrFirst = (n++ + f) % 2 == 0;
            ResolveOne(aRig, aFaults[f], expected,
                       ecrFirst ? ZrPrintLocation::pl_ECR : ZrPrintLocation::pl_EFT, aBaselineWhere, count);
            if (aBothPrinters) {
                ResolveOne(aRig, aFaults[f], expected,
                           ecrFirst ? ZrPrintLocation::pl_EFT : ZrPrintLocation::pl_ECR, aBaselineWhere,
                           count);
            }
        }
    }
    EXPECT_EQ(count.Wrong, 0u);
    std::printf("[ MEASURED ] %s: %zu lost answers, %zu resolved (%zu %%), %zu wrong\n", aName, count.Cases,
                count.Conclusive, count.Cases == 0 ? 0 : count.Conclusive * 100 / count.Cases, count.Wrong);
    return count;
}
