#include "ZrpaOutput.h"

#include "Json.h"
#include "PlainWords.h"

namespace {
void Line(std::string& aOut, const char* aLabel, const std::string& aValue) {
    if (!aValue.empty()) {
        std::string label = std::string(aLabel) + ":";
        label.resize(std::max<std::size_t>(label.size(), 19), ' ');
        aOut += "  " + label + aValue + "\n";
    }
}

} // namespace

std::string MoneyText(const std::string& aValue, const std::string& aCurrency) {
    if (aValue.empty() || aValue.find_first_not_of("0.") == std::string::npos) {
        return std::string();
    }
    std::string money = aValue;
    const std::size_t point = money.find('.');
    const std::size_t decimals = point == std::string::npos ? 0 : money.size() - point - 1;
    if (decimals < 2) {
        money += (point == std::string::npos ? "." : "") + std::string(2 - decimals, '0');
    }
    return aCurrency.empty() ? money : money + " " + aCurrency;
}

std::string OutcomeWord(int aExitStatus, bool aCardOperation, bool aDeclined) {
    switch (aExitStatus) {
    case 0:
        return aCardOperation ? "approved" : "done";
    case 2:
        return "refused (request error)";
    case 3:
        return "outcome unknown";
    }
    return aDeclined ? "declined" : "failed";
}

std::string SummaryText(const ZrpaResult& aResult) {
    const ResultFields f = ReadResultDocument(aResult.Document);
    std::string out = aResult.Command + ": " + aResult.Outcome + "\n";
    std::string error = ResultField(f, "ErrorText");
    if (error.empty()) {
        error = aResult.ErrorMessage;
    }
    static constexpr std::string_view kUnknown = "Outcome unknown: ";
    if (aResult.ExitStatus == 3) {
        // Said once: why, in words; the closing lines say what it means and what to do.
        std::string why = error.starts_with(kUnknown) ? error.substr(kUnknown.size()) : error;
        why = why.empty() ? aResult.LogReason : why;
        // The first sentence says what happened; the advice after it is the closing lines' own.
        const std::size_t sentence = why.find(". ");
        Line(out, "Why", TechnicianText(sentence == std::string::npos ? why : why.substr(0, sentence)));
    } else if (aResult.ExitStatus != 0) {
        Line(out, "Error", error.empty() ? "(no error text)" : TechnicianText(error));
        if (aResult.LogReason != error && TechnicianText(aResult.LogReason) != TechnicianText(error)) {
            Line(out, "From the log", TechnicianText(aResult.LogReason));
        }
    }
    if (aResult.ExitStatus == 0 && !ResultField(f, "ErrorText").empty()) {
        // An approval with a remark: no refund reference (a void must be made on the terminal), or one
        // the library learnt from the terminal after the answer was lost.
        Line(out, "Note", TechnicianText(ResultField(f, "ErrorText")));
    }
    if (aResult.Verbose && aResult.ExitStatus != 0) {
        Line(out, "Library's text", error);
        Line(out, "Log's reason", aResult.LogReason == error ? std::string() : aResult.LogReason);
    }
    Line(out, "Check", aResult.Hint);
    Line(out, "Warning", aResult.Warning);
    Line(out, "Amount",
         MoneyText(aResult.MovedAmount.empty() ? ResultField(f, "PaymentAmount") : aResult.MovedAmount,
                   ResultField(f, "PaymentCurrency")));
    // A total of 0 is an answer too: the line is there whenever the document has the field.
    const std::string total = ResultField(f, "TotalAmount");
    if (!total.empty()) {
        const std::string currency = ResultField(f, "Currency");
        const std::string money = MoneyText(total, currency);
        Line(out, "Total", money.empty() ? "0.00" + (currency.empty() ? "" : " " + currency) : money);
    }
    Line(out, "Today (journal)", aResult.DayCount);
    const std::string pan = ResultField(f, "MaskedPAN");
    if (!pan.empty()) {
        std::string card = pan;
        const std::string network = ResultField(f, "PaymentNetwork"),
                          kind = ResultField(f, "TransactionType");
        if (!network.empty() || !kind.empty()) {
            card += " (" + network + (network.empty() || kind.empty() ? "" : ", ") + kind + ")";
        }
        Line(out, "Card", card);
    }
    Line(out, "STAN", ResultField(f, "TraceAuditId"));
    Line(out, "Authorisation", ResultField(f, "AuthCode"));
    Line(out, "Operation number", ResultField(f, "PaymentNumber"));
    Line(out, "Refund reference", ResultField(f, "RefundReference"));
    Line(out, "Terminal", ResultField(f, "DeviceId"));
    Line(out, "Handle", ResultField(f, "Handle"));
    const std::string receipt = ResultField(f, "ReceiptText");
    if (!receipt.empty()) {
        out += "  Receipt:\n";
        std::size_t pos = 0;
        while (pos < receipt.size()) {
            std::size_t end = receipt.find('\n', pos);
            end = end == std::string::npos ? receipt.size() : end;
            std::string line = receipt.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            out += "    | " + line + "\n";
            pos = end + 1;
        }
    }
    Line(out, "Log file",
         ResultField(f, "LogFileName").empty() ? aResult.LogFile : ResultField(f, "LogFileName"));
    if (aResult.ExitStatus == 3) {
        out += "\nThe customer may have paid. Look at the terminal before taking the payment again\n"
               "(zrpa help unknown).\n";
    }
    return out;
}

std::string ResultJson(const ZrpaResult& aResult) {
    std::string out =
        "{\"command\":" + JsonString(aResult.Command) + ",\"export\":" + JsonString(aResult.Export) +
        ",\"result_code\":" + std::to_string(aResult.ResultCode) +
        ",\"outcome\":" + JsonString(aResult.Outcome) +
        ",\"exit_status\":" + std::to_string(aResult.ExitStatus) +
        ",\"error_message\":" + JsonString(aResult.ErrorMessage) +
        ",\"log_outcome\":" + JsonString(aResult.LogOutcome) +
        ",\"log_reason\":" + JsonString(aResult.LogReason) + ",\"log_file\":" + JsonString(aResult.LogFile) +
        ",\"moved_amount\":" + JsonString(aResult.MovedAmount) +
        ",\"warning\":" + JsonString(aResult.Warning) + ",\"day_count\":" + JsonString(aResult.DayCount) +
        ",\"fields\":{";
    bool first = true;
    for (const auto& [name, value] : ReadResultDocument(aResult.Document)) {
        out += (first ? "" : ",") + JsonString(name) + ":" + JsonString(value);
        first = false;
    }
    return out + "}}\n";
}
