#include "drivers/OutcomeRecovery.h"

#include <vector>

std::string CentsAsMoney(std::int64_t aCents) {
    const bool negative = aCents < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(aCents) : static_cast<std::uint64_t>(aCents);
    std::string cents = std::to_string(magnitude % 100);
    if (cents.size() < 2) {
        cents.insert(0, "0");
    }
    return (negative ? "-" : "") + std::to_string(magnitude / 100) + "." + cents;
}

namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The whole part with aGroup between groups of three digits (none when aGroup is 0).
Text Grouped(std::uint64_t aUnits, char16_t aGroup) {
    const std::string digits = std::to_string(aUnits);
    Text out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (aGroup != 0 && i > 0 && (digits.size() - i) % 3 == 0) {
            out += aGroup;
        }
        out += static_cast<char16_t>(digits[i]);
    }
    return out;
}

// aText at aPos, with no digit right before it (nor a digit and a separator: "11.234,00" does not name
// 1.234,00) and none right after it.
bool StandsAlone(const Text& aText, std::size_t aPos, std::size_t aLength) {
    if (aPos > 0) {
        const char16_t before = aText[aPos - 1];
        if (IsDigit(before)) {
            return false;
        }
        if ((before == u'.' || before == u',') && aPos > 1 && IsDigit(aText[aPos - 2])) {
            return false;
        }
    }
    const std::size_t end = aPos + aLength;
    return end >= aText.size() || !IsDigit(aText[end]);
}
} // namespace

std::string ReceiptDigest(const Text& aReceipt) {
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : TextToUtf8(aReceipt)) {
        h ^= c;
        h *= 1099511628211ull;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string digest(16, '0');
    for (int i = 15; i >= 0; --i) {
        digest[static_cast<std::size_t>(i)] = kHex[h & 0xF];
        h >>= 4;
    }
    return digest;
}

bool ReceiptNamesAmount(const Text& aReceipt, std::int64_t aCents) {
    if (aCents < 0) {
        return false;
    }
    const auto units = static_cast<std::uint64_t>(aCents / 100);
    const Text cents = ZeroPadded(aCents % 100, 2);
    std::vector<Text> forms;
    for (const char16_t point : {u',', u'.'}) {
        for (const char16_t group : {char16_t(0), u'.', u',', u' ', u'\''}) {
            if (group == point || (group != 0 && units < 1000)) {
                continue;
            }
            forms.push_back(Grouped(units, group) + point + cents);
        }
    }
    for (const Text& form : forms) {
        for (std::size_t pos = aReceipt.find(form); pos != Text::npos; pos = aReceipt.find(form, pos + 1)) {
            if (StandsAlone(aReceipt, pos, form.size())) {
                return true;
            }
        }
    }
    return false;
}

RecoveryDecision DecideLostOutcome(std::int64_t aEffectCents, std::int64_t aAmountCents,
                                   const TerminalState& aBefore, const TerminalState& aAfter,
                                   const Text& aReceiptAfter) {
    RecoveryDecision d;
    if (!aAfter.TotalKnown || aAfter.LastReceipt.empty()) {
        d.Evidence = "the terminal did not give its period total and its last receipt";
        return d;
    }
    if (!aBefore.TotalKnown) {
        d.Evidence = "the period total before the request is not known";
        return d;
    }
    if (!aBefore.TerminalId.empty() && !aAfter.TerminalId.empty() &&
        aBefore.TerminalId != aAfter.TerminalId) {
        d.Evidence = "another terminal answers (identifier " + aAfter.TerminalId + ", before " +
                     aBefore.TerminalId + ")";
        return d;
    }
    const std::int64_t moved = aAfter.TotalCents - aBefore.TotalCents;
    const bool sameReceipt = !aBefore.LastReceipt.empty() && aBefore.LastReceipt == aAfter.LastReceipt;
    const bool namesAmount = ReceiptNamesAmount(aReceiptAfter, aAmountCents);
    const std::string totals = "the period total was " + CentsAsMoney(aBefore.TotalCents) +
                               " before and is " + CentsAsMoney(aAfter.TotalCents) + " now";
    if (moved == 0 && sameReceipt) {
        d.Verdict = RecoveryVerdict::NotPerformed;
        d.Evidence = totals + ", and the last receipt is still the one from before the request";
        return d;
    }
    if (sameReceipt) {
        d.Evidence = totals + ", but the last receipt is still the one from before the request";
        return d;
    }
    if (!namesAmount || aAmountCents <= 0) {
        d.Evidence = totals + "; the last receipt does not name the amount " + CentsAsMoney(aAmountCents);
        return d;
    }
    if (moved == aEffectCents && aEffectCents != 0) {
        d.Verdict = RecoveryVerdict::Approved;
        d.Evidence = totals + " (moved by " + CentsAsMoney(moved) +
                     ", this operation's), and the last receipt is " + "a new one naming " +
                     CentsAsMoney(aAmountCents);
        return d;
    }
    if (moved == 0) {
        d.Verdict = RecoveryVerdict::NotPerformed;
        d.Evidence = totals + " (not moved), and the last receipt is a new one naming " +
                     CentsAsMoney(aAmountCents) + ": the terminal refused it";
        return d;
    }
    d.Evidence = totals + " (moved by " + CentsAsMoney(moved) + ", this operation would move it by " +
                 CentsAsMoney(aEffectCents) + ")";
    return d;
}

const char* RecoveryVerdictName(RecoveryVerdict aVerdict) {
    switch (aVerdict) {
    case RecoveryVerdict::Approved:
        return "approved";
    case RecoveryVerdict::NotPerformed:
        return "not performed";
    case RecoveryVerdict::Unknown:
        break;
    }
    return "unknown";
}
