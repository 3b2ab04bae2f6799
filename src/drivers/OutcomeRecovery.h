#pragma once
// What a payment, refund or void whose answer was lost did on the terminal, decided from the terminal's
// own answers: its period total (GETTOTALS) and its last receipt (REPRINT to the cash register), read
// after the loss and compared with what the journal holds from before the request went out.
//
// The total is the protocol's evidence of money moving; the receipt is free text and only corroborates
// it. A verdict is given only when both agree with it, so that no single reading, and no movement the
// library did not see (a refund keyed on the terminal, a day close from its menu), can decide alone:
//   approved      the total moved by exactly the operation's amount, the last receipt is a new one and
//                 names that amount;
//   not performed the total did not move and either the last receipt is still the one from before the
//                 request (the terminal processed nothing), or it is a new one naming the amount (the
//                 terminal refused it: a refused payment moves no money);
//   unknown       anything else, and whenever a reading is missing or the baseline is unknown.
// docs/reliability.md lists what a terminal must do for these to hold.
#include <cstdint>
#include <string>

#include "base/Text.h"

// The terminal's state as the library knows it at one point: its period total in cents, the digest of
// its last receipt and its identifier. A part that is not known is left empty (TotalKnown false).
struct TerminalState {
    bool TotalKnown = false;
    std::int64_t TotalCents = 0;
    std::string LastReceipt; // ReceiptDigest of the last receipt; empty: not known
    std::string TerminalId;  // as the terminal's answers carry it; empty: not known
};

enum class RecoveryVerdict { Approved, NotPerformed, Unknown };

struct RecoveryDecision {
    RecoveryVerdict Verdict = RecoveryVerdict::Unknown;
    // What the verdict rests on, for the device log and the journal ("the period total moved by ...").
    std::string Evidence;
};

// A digest of a receipt's text that tells two receipts apart (64-bit FNV-1a of its UTF-8, 16 capital
// hexadecimal digits); the journal keeps it in place of the text, which is the terminal's and may carry
// more than a journal should.
std::string ReceiptDigest(const Text& aReceipt);

// True when aReceipt shows aCents as an amount with two decimals ("5,00", "5.00", "1.234,56",
// "1 234,56"), not as part of a longer number.
bool ReceiptNamesAmount(const Text& aReceipt, std::int64_t aCents);

// aEffectCents: what the operation moves the period total by when approved (a payment its amount, a
// refund or a void minus theirs); aAmountCents: the amount its receipt names. aBefore: the journal's
// baseline; aAfter and aReceiptAfter: what the terminal answered after the loss (aAfter.TotalKnown and
// aAfter.LastReceipt set only when it answered).
RecoveryDecision DecideLostOutcome(std::int64_t aEffectCents, std::int64_t aAmountCents,
                                   const TerminalState& aBefore, const TerminalState& aAfter,
                                   const Text& aReceiptAfter);

// Cents as money with two decimals and a point: "-5.00".
std::string CentsAsMoney(std::int64_t aCents);

// "approved", "not performed", "unknown": the journal's words.
const char* RecoveryVerdictName(RecoveryVerdict aVerdict);
