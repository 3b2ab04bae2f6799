#include "EmulatorScreen.h"

namespace p17emu {
namespace {
// Cents as "12.34", "-0.80".
std::string Money(std::int64_t aCents) {
    const std::int64_t magnitude = aCents < 0 ? -aCents : aCents;
    std::string cents = std::to_string(magnitude % 100);
    return (aCents < 0 ? "-" : "") + std::to_string(magnitude / 100) + "." + (cents.size() < 2 ? "0" : "") +
           cents;
}

// The digits at position aPos (from 1, as the message layouts count) of aText as money (a total may
// begin with "-"); empty when they are not digits.
std::string MoneyAt(const std::string& aText, std::size_t aPos, std::size_t aLength) {
    if (aPos == 0 || aText.size() < aPos - 1 + aLength) {
        return std::string();
    }
    const std::string field = aText.substr(aPos - 1, aLength);
    const bool negative = field.starts_with('-');
    const std::string digits = field.substr(negative ? 1 : 0);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::string();
    }
    const std::int64_t cents = std::stoll(digits);
    return Money(negative ? -cents : cents);
}

std::string Count(std::size_t aCount, const char* aOne, const char* aMany) {
    return std::to_string(aCount) + " " + (aCount == 1 ? aOne : aMany);
}

// The option that sets the result of aCode, when it is not the default approval.
std::string OptionOf(const Config& c, char aCode) {
    const auto option = [](const char* aName, const std::string& aValue) {
        return aValue == "00" ? std::string() : std::string(aName) + " " + aValue;
    };
    switch (aCode) {
    case 'X':
        return option("--pay-result", c.PayResult);
    case 'A':
        return option("--refund-result", c.RefundResult);
    case 'Q':
        return option("--void-result", c.VoidResult);
    case 'C':
        return option("--dayclose-result", c.DayCloseResult);
    case 'T':
        return c.Total ? "--total " + Money(*c.Total) : option("--totals-result", c.TotalsResult);
    }
    return std::string();
}
} // namespace

std::string WhyOutcome(const Config& aConfig, char aCode, const std::string& aProblem, Fault aFault,
                       FaultMoment aWhen, const std::string& aChosen) {
    if (!aProblem.empty()) {
        return "invalid request: " + aProblem;
    }
    std::string why = aFault == Fault::None
                          ? std::string()
                          : std::string("fault ") + FaultName(aFault) + " " + FaultMomentName(aWhen);
    for (const std::string& part :
         {aChosen, aFault == Fault::None || aWhen == FaultMoment::BeforeProcessing ? OptionOf(aConfig, aCode)
                                                                                   : std::string()}) {
        if (!part.empty()) {
            why += (why.empty() ? "" : "; ") + part;
        }
    }
    return why;
}

std::string OutcomeLine(char aCode, const std::string& aRequest, const std::string& aAnswer,
                        const std::string& aWhy, bool aNotProcessed) {
    // Each request's name and where its amount stands (from 1; 0: it has none).
    static constexpr struct {
        char Code;
        const char* Name;
        std::size_t AmountAt;
    } kRequests[] = {{'X', "payment", 24}, {'A', "refund", 24},   {'Q', "void", 47},
                     {'R', "reprint", 0},  {'C', "day close", 0}, {'T', "totals", 0}};
    std::string what = std::string("request ") + aCode;
    std::string amount;
    for (const auto& r : kRequests) {
        if (r.Code == aCode) {
            what = r.Name;
            amount = r.AmountAt == 0 ? std::string() : MoneyAt(aRequest, r.AmountAt, 8);
        }
    }
    const std::string rc = aAnswer.size() >= 12 ? aAnswer.substr(10, 2) : std::string();
    std::string result;
    if (aNotProcessed) {
        result = "not processed";
    } else if (rc == "00" && aCode == 'T') {
        result = MoneyAt(aAnswer, 13, 16);
    } else if (rc == "00" && aCode == 'C') {
        result = "done, total " + MoneyAt(aAnswer, 13, 16);
    } else if (rc == "00") {
        result = aCode == 'R' ? "sent" : "approved";
    } else if (rc.empty()) {
        result = "no answer";
    } else {
        result = std::string(aCode == 'X' || aCode == 'A' || aCode == 'Q' ? "declined" : "refused") +
                 ", result " + rc;
    }
    return "outcome: " + what + (amount.empty() ? "" : " " + amount) + " " + result +
           (aWhy.empty() ? "" : " (" + aWhy + ")");
}

std::string HoldingsLine(const TerminalEmulator::Held& aHeld, std::int64_t aTotalCents) {
    return "holds: " + Count(aHeld.Payments, "payment", "payments") + ", " +
           Count(aHeld.Refunds, "refund", "refunds") + ", " + Count(aHeld.Voids, "void", "voids") +
           "; total " + Money(aTotalCents);
}

} // namespace p17emu
