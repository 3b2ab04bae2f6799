#include "LogReport.h"

#include "Json.h"
#include "PlainWords.h"

namespace {
// "yyyy-mm-dd" or "yyyy-mm-dd hh:mm[:ss]" (a "T" also separates); the stamp's own form otherwise.
bool NormaliseBound(std::string& aBound) {
    if (aBound.size() > 10 && aBound[10] == 'T') {
        aBound[10] = ' ';
    }
    static constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd";
    if (aBound.size() != 10 && aBound.size() != 16 && aBound.size() != 19) {
        return false;
    }
    for (std::size_t i = 0; i < aBound.size(); ++i) {
        const bool digit = aBound[i] >= '0' && aBound[i] <= '9';
        if (kPattern[i] == 'd' ? !digit : aBound[i] != kPattern[i]) {
            return false;
        }
    }
    return true;
}

std::string Time(const std::string& aStamp) {
    // hh:mm:ss.zzz
    return aStamp.size() >= 23 ? aStamp.substr(11, 8) + "." + aStamp.substr(20, 3) : aStamp;
}

std::string FieldsText(const LogFields& aFields) {
    std::string out;
    for (const auto& [name, value] : aFields) {
        out += (out.empty() ? "" : " ") + name + "=" +
               (value.find(' ') != std::string::npos || value.empty() ? "\"" + value + "\"" : value);
    }
    return out;
}

std::string FieldsJson(const LogFields& aFields) {
    std::string out = "{";
    for (const auto& [name, value] : aFields) {
        out += (out.size() > 1 ? "," : "") + JsonString(name) + ":" + JsonString(value);
    }
    return out + "}";
}

// A totals request or day close that worked: its result is the total, not an approval.
bool ServiceDone(const LogOperation& aOp) {
    return aOp.Outcome == LogOutcome::Approved && (aOp.Name == "TOTALS" || aOp.Name == "DAY CLOSE");
}

std::string OutcomeText(const LogOperation& aOp) {
    if (!ServiceDone(aOp)) {
        return LogOutcomeName(aOp.Outcome);
    }
    std::string total;
    for (const auto& [name, value] : aOp.Answer) {
        total = name == "total" ? value : total;
    }
    return (aOp.Name == "TOTALS" ? "totals" : "day closed") +
           (total.empty() ? std::string() : (aOp.Name == "TOTALS" ? " " : ", total ") + total);
}

const char* Arrow(const std::string& aKind) {
    if (aKind == "sent" || aKind == "ack sent") {
        return "->";
    }
    if (aKind == "received" || aKind == "ack received" || aKind == "status") {
        return "<-";
    }
    return "  ";
}
} // namespace

bool CheckLogFilter(LogFilter& aFilter, std::string& aError) {
    for (std::string* bound : {&aFilter.Since, &aFilter.Until}) {
        if (!bound->empty() && !NormaliseBound(*bound)) {
            aError = "time " + *bound +
                     " invalid. Allowed forms are: yyyy-mm-dd, \"yyyy-mm-dd hh:mm\", "
                     "\"yyyy-mm-dd hh:mm:ss\".";
            return false;
        }
    }
    if (aFilter.Outcome == "outcome unknown") {
        aFilter.Outcome = "unknown";
    }
    if (!aFilter.Outcome.empty() && aFilter.Outcome != "approved" && aFilter.Outcome != "declined" &&
        aFilter.Outcome != "failed" && aFilter.Outcome != "unknown") {
        aError = "outcome " + aFilter.Outcome +
                 " invalid. Allowed values are: approved, declined, failed, unknown.";
        return false;
    }
    return true;
}

bool MatchesFilter(const LogOperation& aOp, const LogFilter& aFilter) {
    if (!aFilter.Since.empty() && aOp.Start.substr(0, aFilter.Since.size()) < aFilter.Since) {
        return false;
    }
    if (!aFilter.Until.empty() && aOp.Start.substr(0, aFilter.Until.size()) > aFilter.Until) {
        return false;
    }
    if (!aFilter.Outcome.empty()) {
        const std::string name = LogOutcomeName(aOp.Outcome);
        return name == aFilter.Outcome ||
               (aFilter.Outcome == "unknown" && aOp.Outcome == LogOutcome::Unknown);
    }
    return true;
}

std::string LogReportText(const std::vector<LogOperation>& aOps) {
    std::string out;
    for (const auto& op : aOps) {
        out += op.Start.substr(0, 10) + " " + Time(op.Start) + "  " + op.Name;
        const LogFields& r = op.Request;
        std::string asked;
        for (const auto& [name, value] : r) {
            if (name != "action") {
                asked += (asked.empty() ? "" : ", ") + name + " " + value;
            }
        }
        out += (asked.empty() ? "" : "  (" + asked + ")") + "\n";
        out += "  " + op.File + ":" + std::to_string(op.Line) +
               (op.Connection.empty() ? "" : ", " + op.Connection) + "\n";
        for (const auto& e : op.Events) {
            out += "  " + Time(e.Stamp) + " " + Arrow(e.Kind) + " " + TechnicianText(e.Text);
            if (e.Count > 1) {
                out += " (" + std::to_string(e.Count) + " times)";
            }
            if (!e.Fields.empty()) {
                out += ": " + FieldsText(e.Fields);
            }
            out += "\n";
        }
        if (!op.Receipt.empty()) {
            out += "  receipt:\n";
            for (const auto& piece : op.Receipt) {
                out += "    | " + piece + "\n";
            }
        }
        out += "  outcome: " + OutcomeText(op);
        if (!op.Reason.empty() && !ServiceDone(op)) {
            out += " (" + TechnicianText(op.Reason) + ")";
        }
        out += ", " + std::to_string(op.ElapsedMs) + " ms\n";
        if (!op.Journal.empty()) {
            out += "  journal: " + op.Journal + "\n";
        }
        out += "\n";
    }
    return ValidUtf8(out);
}

std::string LogReportJson(const std::vector<LogOperation>& aOps) {
    std::string out = "[";
    for (const auto& op : aOps) {
        out += out.size() > 1 ? ",\n" : "\n";
        out += "{\"file\":" + JsonString(op.File) + ",\"line\":" + std::to_string(op.Line) +
               ",\"start\":" + JsonString(op.Start) + ",\"end\":" + JsonString(op.End) +
               ",\"operation\":" + JsonString(op.Name) + ",\"request\":" + FieldsJson(op.Request) +
               ",\"connection\":" + JsonString(op.Connection) +
               ",\"outcome\":" + JsonString(LogOutcomeName(op.Outcome)) +
               ",\"reason\":" + JsonString(op.Reason) + ",\"journal\":" + JsonString(op.Journal) +
               ",\"elapsed_ms\":" + std::to_string(op.ElapsedMs) + ",\"answer\":" + FieldsJson(op.Answer) +
               ",\"receipt\":[";
        for (std::size_t i = 0; i < op.Receipt.size(); ++i) {
            out += (i ? "," : "") + JsonString(op.Receipt[i]);
        }
        out += "],\"events\":[";
        for (std::size_t i = 0; i < op.Events.size(); ++i) {
            const auto& e = op.Events[i];
            out += (i ? "," : "") + std::string("{\"time\":") + JsonString(e.Stamp) +
                   ",\"kind\":" + JsonString(e.Kind) + ",\"text\":" + JsonString(e.Text) +
                   ",\"count\":" + std::to_string(e.Count) + ",\"fields\":" + FieldsJson(e.Fields) + "}";
        }
        out += "]}";
    }
    return out + (aOps.empty() ? "]\n" : "\n]\n");
}

std::string LogSummaryLine(const std::vector<LogOperation>& aOps) {
    std::size_t counts[4] = {};
    std::size_t settled = 0;
    for (const auto& op : aOps) {
        ++counts[static_cast<int>(op.Outcome)];
        settled += op.Outcome == LogOutcome::Unknown && op.Journal.ends_with("(recovered)") ? 1 : 0;
    }
    std::string line = std::to_string(aOps.size()) + (aOps.size() == 1 ? " operation: " : " operations: ") +
                       std::to_string(counts[0]) + " approved, " + std::to_string(counts[1]) + " declined, " +
                       std::to_string(counts[2]) + " failed, " + std::to_string(counts[3]) +
                       " outcome unknown";
    if (settled > 0) {
        line += " (" + std::to_string(settled) + " of them settled since, see \"journal:\")";
    }
    return line + "\n";
}
