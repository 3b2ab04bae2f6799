#pragma once
// Reading a channel's log file back in tests.
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Text.h"

struct ChannelLogLine {
    bool Error = false;
    Text Message;
    bool operator==(const ChannelLogLine&) const = default;
};

// For GoogleTest's messages: "E " before an error line.
inline void PrintTo(const ChannelLogLine& aLine, std::ostream* aOut) {
    *aOut << (aLine.Error ? "E " : "") << TextToUtf8(aLine.Message);
}

inline bool StartsWithTimeStamp(const std::string& aLine) {
    // "yyyy-mm-dd hh:mm:ss:zzz"
    static const std::string kShape = "dddd-dd-dd dd:dd:dd:ddd";
    if (aLine.size() < kShape.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = aLine[i] >= '0' && aLine[i] <= '9';
        if (kShape[i] == 'd' ? !digit : aLine[i] != kShape[i]) {
            return false;
        }
    }
    return true;
}

// The lines of a log file without their time stamps. A line break inside a message continues it: the
// continuation is joined back with CR LF.
inline std::vector<ChannelLogLine> ReadChannelLog(const Text& aFileName) {
    std::ifstream in(std::filesystem::path(aFileName), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string all = content.str();
    std::vector<ChannelLogLine> lines;
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find("\r\n", pos);
        if (end == std::string::npos) {
            end = all.size();
        }
        const std::string raw = all.substr(pos, end - pos);
        pos = end + 2;
        if (StartsWithTimeStamp(raw)) {
            std::string rest = raw.substr(23);
            ChannelLogLine line;
            if (rest.rfind(" - ERROR - ", 0) == 0) {
                line.Error = true;
                rest = rest.substr(11);
            } else if (rest.rfind(" - ", 0) == 0) {
                rest = rest.substr(3);
            }
            line.Message = Utf8ToText(rest);
            lines.push_back(line);
        } else if (!lines.empty()) {
            lines.back().Message += u"\r\n" + Utf8ToText(raw);
        }
    }
    return lines;
}

inline std::vector<Text> Messages(const std::vector<ChannelLogLine>& aLines) {
    std::vector<Text> out;
    for (const auto& l : aLines) {
        out.push_back(l.Message);
    }
    return out;
}
