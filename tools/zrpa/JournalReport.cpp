#include "JournalReport.h"

#include <algorithm>
#include <filesystem>

#include "Json.h"
#include "LogLines.h"
#include "ZrpaFiles.h"

namespace {
std::filesystem::path PathOf(const std::string& aUtf8) {
    return std::filesystem::path(std::u8string(aUtf8.begin(), aUtf8.end()));
}

std::string Utf8Of(const std::filesystem::path& aPath) {
    const std::u8string u = aPath.u8string();
    return std::string(u.begin(), u.end());
}

std::string BaseName(const std::string& aPath) {
    const std::size_t slash = aPath.find_last_of("/\\");
    return slash == std::string::npos ? aPath : aPath.substr(slash + 1);
}

// When the operation began: its first record.
std::string StartOf(const JournalOperation& aOp) {
    return aOp.Records.empty() ? std::string() : aOp.Records.front().Time;
}

std::string Field(const JournalOperation& aOp, const char* aStep, const char* aKey) {
    const JournalRecord* r = aOp.Find(aStep);
    return r == nullptr ? std::string() : r->Get(aKey);
}

// The outcome a device-log reader gives for a journal state.
LogOutcome OutcomeOf(JournalState aState, std::string& aReason) {
    switch (aState) {
    case JournalState::Approved:
    case JournalState::RecoveredApproved:
        return LogOutcome::Approved;
    case JournalState::Declined:
        return LogOutcome::Declined;
    case JournalState::NotSent:
        aReason = "the request was never sent (the journal has no record of it going out)";
        return LogOutcome::Failed;
    case JournalState::NotAccepted:
        aReason = "the terminal did not acknowledge the request";
        return LogOutcome::Failed;
    case JournalState::RecoveredNotPerformed:
        aReason = "not performed: the terminal did not take it";
        return LogOutcome::Failed;
    case JournalState::Unknown:
    case JournalState::StaysUnknown:
        aReason = "the terminal took the request and no answer came";
        return LogOutcome::Unknown;
    case JournalState::RecordEnds:
        break;
    }
    aReason = kRecordEnds;
    return LogOutcome::Unknown;
}

LogOperation FromJournalAlone(const JournalEntry& aEntry, const std::string& aLogFile) {
    const JournalOperation& op = aEntry.Operation;
    LogOperation log;
    log.File = aLogFile;
    log.Start = log.End = StartOf(op);
    if (!op.Records.empty()) {
        log.End = op.Records.back().Time;
    }
    log.Name = Field(op, "asked", "kind");
    if (log.Name.empty()) {
        log.Name = "PAY";
    }
    if (const JournalRecord* asked = op.Find("asked")) {
        log.Request.emplace_back("action", log.Name);
        for (const char* key : {"amount", "currency", "print", "till", "reference", "refund_reference"}) {
            if (!asked->Get(key).empty()) {
                log.Request.emplace_back(key, asked->Get(key));
            }
        }
        log.Connection = asked->Get("terminal");
    }
    LogEvent note;
    note.Stamp = log.Start;
    note.Kind = "note";
    note.Text = "the device log has no line of this operation; from the journal " + aEntry.File;
    log.Events.push_back(std::move(note));
    return log;
}
} // namespace

std::vector<JournalEntry> ReadJournalFiles(const std::vector<std::string>& aPaths,
                                           std::vector<std::string>& aUnreadable, std::size_t& aDamaged) {
    std::vector<std::string> files;
    for (const auto& path : aPaths) {
        std::error_code ec;
        if (std::filesystem::is_directory(PathOf(path), ec)) {
            std::vector<std::string> inFolder;
            for (const auto& entry : std::filesystem::directory_iterator(PathOf(path), ec)) {
                if (entry.path().extension() == ".journal") {
                    inFolder.push_back(Utf8Of(entry.path()));
                }
            }
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else {
            files.push_back(path);
        }
    }
    std::vector<JournalEntry> entries;
    aDamaged = 0;
    for (const auto& file : files) {
        std::string content;
        if (!ReadWholeFile(file, content)) {
            aUnreadable.push_back(file);
            continue;
        }
        std::size_t damaged = 0;
        for (auto& op : ReadJournal(content, &damaged)) {
            entries.push_back({file, std::move(op)});
        }
        aDamaged += damaged;
    }
    // A rotated file carries the records of operations that were still open: one entry per operation,
    // the one with the most records.
    std::vector<JournalEntry> merged;
    for (auto& entry : entries) {
        auto same = std::find_if(merged.begin(), merged.end(), [&](const JournalEntry& e) {
            return e.Operation.Operation == entry.Operation.Operation;
        });
        if (same == merged.end()) {
            merged.push_back(std::move(entry));
        } else if (entry.Operation.Records.size() > same->Operation.Records.size()) {
            *same = std::move(entry);
        }
    }
    std::stable_sort(merged.begin(), merged.end(), [](const JournalEntry& a, const JournalEntry& b) {
        return StartOf(a.Operation) < StartOf(b.Operation);
    });
    return merged;
}

std::string JournalFolderOf(const std::string& aLogFile) {
    const std::size_t slash = aLogFile.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : aLogFile.substr(0, slash + 1)) + "Journal";
}

void CompleteFromJournal(std::vector<LogOperation>& aOps, const std::string& aLogFile,
                         const std::vector<JournalEntry>& aJournal) {
    const std::string logName = BaseName(aLogFile);
    std::vector<bool> matched(aOps.size(), false);
    // A journal outlives a log that was deleted and begun again under the same name: what it holds from
    // before the log's first operation belongs to the earlier file.
    std::int64_t logBegins = -1;
    for (const auto& op : aOps) {
        const std::int64_t start = StampMilliseconds(op.Start);
        logBegins = logBegins < 0 || (start >= 0 && start < logBegins) ? start : logBegins;
    }
    std::vector<LogOperation> added;
    for (const auto& entry : aJournal) {
        const JournalOperation& op = entry.Operation;
        if (Field(op, "asked", "log") != logName) {
            continue;
        }
        // The banner is logged before the journal's first record, and a device's operations follow one
        // another: the operation is the last one of the log that began before its first record (at most
        // 30 s before: the library may first check the terminal, which takes up to about 15 s). When that
        // one is of another kind or already has its record, the operation's own lines never reached the
        // log (a host killed at once) and it is shown from the journal alone.
        const std::int64_t at = StampMilliseconds(StartOf(op));
        const bool dayClose = Field(op, "asked", "kind") == "DAYCLOSE";
        // The latest start at or before the record (the same clock stamps both, the banner first).
        std::int64_t latest = -1;
        for (const auto& logOp : aOps) {
            const std::int64_t start = StampMilliseconds(logOp.Start);
            if (start >= 0 && at >= 0 && start <= at && start > latest) {
                latest = start;
            }
        }
        std::size_t best = aOps.size();
        for (std::size_t i = 0; i < aOps.size() && latest >= at - 30000; ++i) {
            const bool sameKind =
                dayClose ? aOps[i].Name == "DAY CLOSE"
                         : aOps[i].Name == "PAY" || aOps[i].Name == "REFUND" || aOps[i].Name == "VOID";
            // Operations begun within the same millisecond: the first of them without its record.
            if (StampMilliseconds(aOps[i].Start) == latest && !matched[i] && sameKind) {
                best = i;
                break;
            }
        }
        if (best == aOps.size() && logBegins >= 0 && at < logBegins - 5000) {
            continue;
        }
        std::string reason;
        const LogOutcome outcome = OutcomeOf(op.State(), reason);
        LogOperation* log = nullptr;
        if (best < aOps.size()) {
            matched[best] = true;
            log = &aOps[best];
        } else {
            added.push_back(FromJournalAlone(entry, aLogFile));
            log = &added.back();
        }
        log->Journal = JournalStateName(op.State());
        if (!log->HasResultLine) {
            log->Outcome = outcome;
            log->Reason = reason;
            if (const JournalRecord* lost = op.Find("lost")) {
                log->Reason += " (" + lost->Get("reason") + ")";
            }
        }
        if (const JournalRecord* answer = op.Find("answer"); answer != nullptr && log->Answer.empty()) {
            for (const auto& field : answer->Fields) {
                log->Answer.push_back(field);
            }
        }
    }
    for (auto& op : added) {
        aOps.push_back(std::move(op));
    }
    std::stable_sort(aOps.begin(), aOps.end(),
                     [](const LogOperation& a, const LogOperation& b) { return a.Start < b.Start; });
}

std::string JournalReportText(const std::vector<JournalEntry>& aEntries) {
    std::string out;
    for (const auto& entry : aEntries) {
        const JournalOperation& op = entry.Operation;
        out += StartOf(op) + "  " +
               (Field(op, "asked", "kind").empty() ? "(unknown)" : Field(op, "asked", "kind"));
        const std::string amount = Field(op, "asked", "amount");
        if (!amount.empty()) {
            out += " " + amount + " " + Field(op, "asked", "currency");
        }
        out += "  " + std::string(JournalStateName(op.State())) + "\n";
        out += "  terminal " + Field(op, "asked", "terminal");
        const std::string terminalId = Field(op, "answer", "terminal_id");
        if (!terminalId.empty()) {
            out += " (id " + terminalId + ")";
        }
        out += ", log " + Field(op, "asked", "log") + ", " + entry.File + "\n";
        out += "  operation " + op.Operation + ":";
        for (const auto& r : op.Records) {
            out += " " + r.Step;
        }
        out += "\n";
        if (const JournalRecord* answer = op.Find("answer")) {
            out += "  answer:";
            for (const auto& [key, value] : answer->Fields) {
                out += " " + key + "=" + value;
            }
            out += "\n";
        }
        for (const char* step : {"lost", "verdict"}) {
            if (const JournalRecord* r = op.Find(step)) {
                out += std::string("  ") + step + ":";
                for (const auto& [key, value] : r->Fields) {
                    out += " " + key + "=" + value;
                }
                out += "\n";
            }
        }
        if (const JournalRecord* end = op.Find("end")) {
            out += "  told: error " + end->Get("error");
            if (!end->Get("error_text").empty()) {
                out += ", " + end->Get("error_text");
            }
            if (!end->Get("refund_reference").empty()) {
                out += ", refund reference " + end->Get("refund_reference");
            }
            out += "\n";
        }
        out += "\n";
    }
    return ValidUtf8(out);
}

std::string JournalReportJson(const std::vector<JournalEntry>& aEntries) {
    std::string out = "[";
    for (const auto& entry : aEntries) {
        const JournalOperation& op = entry.Operation;
        out += out.size() > 1 ? ",\n" : "\n";
        out += "{\"file\":" + JsonString(entry.File) + ",\"operation\":" + JsonString(op.Operation) +
               ",\"start\":" + JsonString(StartOf(op)) +
               ",\"kind\":" + JsonString(Field(op, "asked", "kind")) +
               ",\"state\":" + JsonString(JournalStateName(op.State())) +
               ",\"unresolved\":" + (op.Unresolved() ? "true" : "false") + ",\"records\":[";
        for (std::size_t i = 0; i < op.Records.size(); ++i) {
            const JournalRecord& r = op.Records[i];
            out += (i ? "," : "") + std::string("{\"time\":") + JsonString(r.Time) +
                   ",\"step\":" + JsonString(r.Step);
            for (const auto& [key, value] : r.Fields) {
                out += "," + JsonString(key) + ":" + JsonString(value);
            }
            out += "}";
        }
        out += "]}";
    }
    return out + (aEntries.empty() ? "]\n" : "\n]\n");
}
