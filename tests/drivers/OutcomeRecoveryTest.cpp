// The verdict on a lost answer, from the period total and the last receipt before and after it.
#include <gtest/gtest.h>

#include "drivers/OutcomeRecovery.h"

namespace {
TerminalState State(std::int64_t aTotal, const char* aReceipt, const char* aId = "10000001") {
    TerminalState s;
    s.TotalKnown = true;
    s.TotalCents = aTotal;
    s.LastReceipt = aReceipt;
    s.TerminalId = aId;
    return s;
}
} // namespace

TEST(OutcomeRecovery, AmountsOnAReceiptAreFoundOnlyWhole) {
    const struct {
        const char16_t* Receipt;
        std::int64_t Cents;
        bool Names;
    } cases[] = {
        {u"IMPORTO   EUR 5,00", 500, true},
        {u"TOTAL 5.00 EUR", 500, true},
        {u"EUR 1.234,56", 123456, true},
        {u"EUR 1,234.56", 123456, true},
        {u"EUR 1 234,56", 123456, true},
        {u"EUR 1234,56", 123456, true},
        {u"EUR 0,07", 7, true},
        {u"EUR 15,00", 500, false}, // a longer number
        {u"EUR 5,001", 500, false}, // more digits after
        {u"EUR 11.234,56", 123456, false},
        {u"EUR 5", 500, false}, // no decimals: could be anything
        {u"", 500, false},
        {u"EUR 5,00", -500, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReceiptNamesAmount(c.Receipt, c.Cents), c.Names) << TextToUtf8(c.Receipt) << " " << c.Cents;
    }
}

TEST(OutcomeRecovery, AVerdictNeedsTheTotalAndTheReceiptToAgree) {
    const std::string before = ReceiptDigest(u"old receipt EUR 12,34");
    const Text fresh = u"new receipt EUR 5,00";
    const std::string after = ReceiptDigest(fresh);
    const TerminalState unknownTotal = [&] {
        TerminalState s = State(0, before.c_str());
        s.TotalKnown = false;
        return s;
    }();
    const struct {
        const char* Why;
        std::int64_t Effect;
        TerminalState Before;
        TerminalState After;
        Text Receipt;
        RecoveryVerdict Verdict;
    } cases[] = {
        {"payment booked", 500, State(1234, before.c_str()), State(1734, after.c_str()), fresh,
         RecoveryVerdict::Approved},
        {"refund booked", -500, State(1234, before.c_str()), State(734, after.c_str()), fresh,
         RecoveryVerdict::Approved},
        {"nothing processed", 500, State(1234, before.c_str()), State(1234, before.c_str()),
         u"old receipt EUR 12,34", RecoveryVerdict::NotPerformed},
        {"refused: a new receipt, no money", 500, State(1234, before.c_str()), State(1234, after.c_str()),
         fresh, RecoveryVerdict::NotPerformed},
        {"baseline receipt unknown, refused", 500, State(1234, ""), State(1234, after.c_str()), fresh,
         RecoveryVerdict::NotPerformed},
        {"baseline receipt unknown, booked", 500, State(1234, ""), State(1734, after.c_str()), fresh,
         RecoveryVerdict::Approved},
        {"total alone: the receipt did not change", 500, State(1234, before.c_str()),
         State(1734, before.c_str()), u"old receipt EUR 12,34", RecoveryVerdict::Unknown},
        {"total alone: the receipt names another amount", 500, State(1234, before.c_str()),
         State(1734, after.c_str()), u"new receipt EUR 7,00", RecoveryVerdict::Unknown},
        {"total moved by something else", 500, State(1234, before.c_str()), State(2000, after.c_str()), fresh,
         RecoveryVerdict::Unknown},
        {"total moved the wrong way", 500, State(1234, before.c_str()), State(734, after.c_str()), fresh,
         RecoveryVerdict::Unknown},
        {"baseline total unknown", 500, unknownTotal, State(1734, after.c_str()), fresh,
         RecoveryVerdict::Unknown},
        {"another terminal", 500, State(1234, before.c_str()), State(1734, after.c_str(), "20000002"), fresh,
         RecoveryVerdict::Unknown},
        {"no receipt came", 500, State(1234, before.c_str()), State(1734, ""), Text(),
         RecoveryVerdict::Unknown},
        {"no total came", 500, State(1234, before.c_str()),
         [&] {
             TerminalState s = State(0, after.c_str());
             s.TotalKnown = false;
             return s;
         }(),
         fresh, RecoveryVerdict::Unknown},
        {"a zero amount moves nothing either way", 0, State(1234, before.c_str()), State(1234, after.c_str()),
         u"new receipt EUR 0,00", RecoveryVerdict::Unknown},
    };
    for (const auto& c : cases) {
        const std::int64_t amount = c.Effect < 0 ? -c.Effect : c.Effect;
        const RecoveryDecision d = DecideLostOutcome(c.Effect, amount, c.Before, c.After, c.Receipt);
        EXPECT_EQ(d.Verdict, c.Verdict) << c.Why << ": " << d.Evidence;
        EXPECT_FALSE(d.Evidence.empty()) << c.Why;
    }
}
