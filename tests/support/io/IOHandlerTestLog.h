#pragma once
// Reading a channel's log in the channel tests: a fresh folder per test, and the lines of the log file
// split into entry type and message (the time stamp is dropped). Read the log only after the channel is
// destroyed: that is when its writer has written everything.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Text.h"
#include "support/TempFolder.h"

struct LogLine {
    bool Error = false;
    Text Message;
};

// A fresh folder per test for a channel's log, removed with the log at the end of the test.
class TestLogFolder : public TempFolder {
public:
    Text Dir() const { return AsText(); }
};

// The lines of a log file: "yyyy-mm-dd hh:mm:ss:zzz" + " - " or " - ERROR - " + message, CR LF.
inline std::vector<LogLine> ReadLogLines(const Text& aFileName) {
    std::ifstream in(std::filesystem::path(aFileName), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string all = ss.str();
    std::vector<LogLine> lines;
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find("\r\n", pos);
        if (end == std::string::npos) {
            end = all.size();
        }
        std::string raw = all.substr(pos, end - pos);
        pos = end + 2;
        constexpr std::size_t kStamp = 23;
        LogLine line;
        if (raw.size() >= kStamp && raw.compare(kStamp, 11, " - ERROR - ") == 0) {
            line.Error = true;
            raw.erase(0, kStamp + 11);
        } else if (raw.size() >= kStamp && raw.compare(kStamp, 3, " - ") == 0) {
            raw.erase(0, kStamp + 3);
        }
        line.Message = Utf8ToText(raw);
        lines.push_back(line);
    }
    return lines;
}

// The messages as the log shows them (control characters by name or code).
inline std::vector<Text> AsLogged(std::vector<Text> aMessages) {
    for (Text& m : aMessages) {
        m = ControlCharactersShown(m);
    }
    return aMessages;
}

// Messages only, in order.
inline std::vector<Text> LogMessages(const std::vector<LogLine>& aLines) {
    std::vector<Text> out;
    for (const auto& l : aLines) {
        out.push_back(l.Message);
    }
    return out;
}

// The first line whose message starts with aPrefix as the log shows it (control characters by name or
// code), or nullptr.
inline const LogLine* FindLine(const std::vector<LogLine>& aLines, TextView aPrefix) {
    const Text shown = ControlCharactersShown(aPrefix);
    for (const auto& l : aLines) {
        if (l.Message.compare(0, shown.size(), shown) == 0) {
            return &l;
        }
    }
    return nullptr;
}

// The whole log as UTF-8, one message a line, for failure messages.
inline std::string DumpLog(const std::vector<LogLine>& aLines) {
    std::string out;
    for (const auto& l : aLines) {
        out += (l.Error ? "ERROR " : "") + TextToUtf8(l.Message) + "\n";
    }
    return out;
}

inline int CountLines(const std::vector<LogLine>& aLines, TextView aPrefix) {
    int n = 0;
    for (const auto& l : aLines) {
        if (l.Message.compare(0, aPrefix.size(), aPrefix) == 0) {
            ++n;
        }
    }
    return n;
}
