#include "drivers/JournalFormat.h"

#include <cstdint>
#include <map>

namespace {
constexpr std::string_view kSumKey = "sum=";
constexpr char kHex[] = "0123456789ABCDEF";

std::uint32_t Fnv1a(std::string_view aText) {
    std::uint32_t h = 2166136261u;
    for (const unsigned char c : aText) {
        h = (h ^ c) * 16777619u;
    }
    return h;
}

std::string Hex8(std::uint32_t aValue) {
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i) {
        s[static_cast<std::size_t>(i)] = kHex[aValue & 0xF];
        aValue >>= 4;
    }
    return s;
}

void AppendEscaped(std::string& aOut, std::string_view aValue) {
    for (const char ch : aValue) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '%') {
            aOut += '%';
            aOut += kHex[c >> 4];
            aOut += kHex[c & 0xF];
        } else {
            aOut += ch;
        }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool Unescape(std::string_view aText, std::string& aOut) {
    aOut.clear();
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] != '%') {
            aOut += aText[i];
            continue;
        }
        if (i + 2 >= aText.size()) {
            return false;
        }
        const int hi = HexValue(aText[i + 1]), lo = HexValue(aText[i + 2]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        aOut += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::vector<std::string_view> SplitTabs(std::string_view aLine) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = aLine.find('\t', start);
        parts.push_back(
            aLine.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) {
            return parts;
        }
        start = tab + 1;
    }
}
} // namespace

std::string JournalRecord::Get(std::string_view aKey) const {
    for (const auto& [key, value] : Fields) {
        if (key == aKey) {
            return value;
        }
    }
    return std::string();
}

std::string FormatJournalRecord(const JournalRecord& aRecord) {
    std::string line(kJournalVersion);
    for (const std::string* part : {&aRecord.Time, &aRecord.Operation, &aRecord.Step}) {
        line += '\t';
        AppendEscaped(line, *part);
    }
    for (const auto& [key, value] : aRecord.Fields) {
        line += '\t';
        AppendEscaped(line, key);
        line += '=';
        AppendEscaped(line, value);
    }
    const std::uint32_t sum = Fnv1a(line);
    line += '\t';
    line += kSumKey;
    line += Hex8(sum);
    line += '\n';
    return line;
}

bool ParseJournalRecord(std::string_view aLine, JournalRecord& aRecord) {
    if (!aLine.empty() && aLine.back() == '\r') {
        aLine.remove_suffix(1);
    }
    const std::size_t lastTab = aLine.rfind('\t');
    if (lastTab == std::string_view::npos) {
        return false;
    }
    const std::string_view body = aLine.substr(0, lastTab);
    const std::string_view sum = aLine.substr(lastTab + 1);
    if (sum.size() != kSumKey.size() + 8 || !sum.starts_with(kSumKey) ||
        sum.substr(kSumKey.size()) != Hex8(Fnv1a(body))) {
        return false;
    }
    const auto parts = SplitTabs(body);
    if (parts.size() < 4 || parts[0] != kJournalVersion) {
        return false;
    }
    JournalRecord record;
    if (!Unescape(parts[1], record.Time) || !Unescape(parts[2], record.Operation) ||
        !Unescape(parts[3], record.Step) || record.Operation.empty() || record.Step.empty()) {
        return false;
    }
    for (std::size_t i = 4; i < parts.size(); ++i) {
        const std::size_t eq = parts[i].find('=');
        std::string key, value;
        if (eq == std::string_view::npos || !Unescape(parts[i].substr(0, eq), key) ||
            !Unescape(parts[i].substr(eq + 1), value)) {
            return false;
        }
        record.Fields.emplace_back(std::move(key), std::move(value));
    }
    aRecord = std::move(record);
    return true;
}

const JournalRecord* JournalOperation::Find(std::string_view aStep) const {
    for (const auto& record : Records) {
        if (record.Step == aStep) {
            return &record;
        }
    }
    return nullptr;
}

JournalState JournalOperation::State() const {
    // A day close keeps no answer record: its end says how it went.
    const JournalRecord* asked = Find("asked");
    if (asked != nullptr && asked->Get("kind") == "DAYCLOSE" && Find("verdict") == nullptr) {
        if (const JournalRecord* end = Find("end")) {
            return end->Get("error") == "False" ? JournalState::Approved : JournalState::Declined;
        }
    }
    if (const JournalRecord* verdict = Find("verdict")) {
        const std::string v = verdict->Get("verdict");
        return v == "approved"        ? JournalState::RecoveredApproved
               : v == "not performed" ? JournalState::RecoveredNotPerformed
                                      : JournalState::StaysUnknown;
    }
    if (const JournalRecord* answer = Find("answer")) {
        return answer->Get("result") == "00" ? JournalState::Approved : JournalState::Declined;
    }
    if (Find("noack") != nullptr) {
        return JournalState::NotAccepted;
    }
    if (Find("lost") != nullptr) {
        return JournalState::Unknown;
    }
    // Without "sent" the request never went out: that record is on the disk before the frame is written.
    return Find("sent") != nullptr ? JournalState::RecordEnds : JournalState::NotSent;
}

bool JournalOperation::Unresolved() const {
    // A day close moves no money of its own: an unknown end leaves only the period total unknown.
    const JournalRecord* asked = Find("asked");
    if (asked != nullptr && asked->Get("kind") == "DAYCLOSE") {
        return false;
    }
    const JournalState state = State();
    return state == JournalState::Unknown || state == JournalState::RecordEnds;
}

const char* JournalStateName(JournalState aState) {
    switch (aState) {
    case JournalState::NotSent:
        return "not sent";
    case JournalState::NotAccepted:
        return "not acknowledged";
    case JournalState::Approved:
        return "approved";
    case JournalState::Declined:
        return "declined";
    case JournalState::Unknown:
        return "outcome unknown";
    case JournalState::RecordEnds:
        return "outcome unknown (the record ends)";
    case JournalState::RecoveredApproved:
        return "approved (recovered)";
    case JournalState::RecoveredNotPerformed:
        return "not performed (recovered)";
    case JournalState::StaysUnknown:
        return "outcome unknown (for good)";
    }
    return "outcome unknown";
}

std::vector<JournalOperation> ReadJournal(std::string_view aContent, std::size_t* aDamaged) {
    std::vector<JournalOperation> ops;
    std::map<std::string, std::size_t> index;
    std::size_t damaged = 0;
    std::size_t start = 0;
    while (start < aContent.size()) {
        const std::size_t end = aContent.find('\n', start);
        // A last line without its end was cut while being written.
        const std::string_view line =
            aContent.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? aContent.size() : end + 1;
        if (line.empty() || (line.size() == 1 && line[0] == '\r')) {
            continue;
        }
        JournalRecord record;
        if (end == std::string_view::npos || !ParseJournalRecord(line, record)) {
            ++damaged;
            continue;
        }
        auto [it, added] = index.try_emplace(record.Operation, ops.size());
        if (added) {
            ops.push_back({record.Operation, {}});
        }
        ops[it->second].Records.push_back(std::move(record));
    }
    if (aDamaged != nullptr) {
        *aDamaged = damaged;
    }
    return ops;
}
