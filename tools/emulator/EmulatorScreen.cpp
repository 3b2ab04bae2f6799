#include "EmulatorScreen.h"

#include "MessageFields.h"

namespace p17emu {
namespace {
// Cents as "12.34", "-0.80".
std::string Money(std::int64_t aCents) {
    const std::int64_t magnitude = aCents < 0 ? -aCents : aCents;
    std::string cents = std::to_string(magnitude % 100);
    return (aCents < 0 ? "-" : "") + std::to_string(magnitude / 100) + "." + (cents.size() < 2 ? "0" : "") +
           cents;
}

// The field aName of aLayout in aText when the text holds it whole; else empty.
std::string Whole(const P17Layout* aLayout, const std::string& aText, P17Name aName) {
    const P17Field* field = aLayout == nullptr ? nullptr : P17FindField(*aLayout, aName);
    const std::string value = field == nullptr ? std::string() : P17FieldText(aText, *field);
    return field != nullptr && value.size() == field->Width ? value : std::string();
}

// The digits of a field as money (a total may begin with "-"); empty when they are not digits.
std::string MoneyOf(const std::string& field) {
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
    static constexpr struct {
        char Code;
        const char* Name;
    } kRequests[] = {{'X', "payment"}, {'A', "refund"},    {'Q', "void"},
                     {'R', "reprint"}, {'C', "day close"}, {'T', "totals"}};
    std::string what = std::string("request ") + aCode;
    std::string amount;
    for (const auto& r : kRequests) {
        if (r.Code == aCode) {
            what = r.Name;
            amount = MoneyOf(Whole(P17RequestLayout(aCode), aRequest, "amount"));
        }
    }
    const std::string rc = Whole(P17AnswerLayout(aCode), aAnswer, "result");
    const std::string total = MoneyOf(Whole(P17AnswerLayout(aCode), aAnswer, "total"));
    std::string result;
    if (aNotProcessed) {
        result = "not processed";
    } else if (rc == "00" && aCode == 'T') {
        result = total;
    } else if (rc == "00" && aCode == 'C') {
        result = "done, total " + total;
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
