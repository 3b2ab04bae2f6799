#include "LogLines.h"

namespace {
constexpr std::size_t kStampLength = 23;

struct NamedControl {
    const char* Name;
    char Byte;
};
constexpr NamedControl kControls[] = {{"STX", 0x02}, {"ETX", 0x03}, {"EOT", 0x04}, {"ACK", 0x06},
                                      {"NAK", 0x15}, {"SOH", 0x01}, {"ESC", 0x1B}};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// "HH HH HH" (possibly empty) as bytes; false when it is anything else.
bool ParseHexDump(std::string_view aDump, std::string& aBytes) {
    aBytes.clear();
    for (std::size_t i = 0; i < aDump.size(); i += 3) {
        if (i + 2 > aDump.size() || HexDigit(aDump[i]) < 0 || HexDigit(aDump[i + 1]) < 0 ||
            (i + 2 < aDump.size() && aDump[i + 2] != ' ')) {
            return false;
        }
        aBytes += static_cast<char>(HexDigit(aDump[i]) * 16 + HexDigit(aDump[i + 1]));
    }
    return true;
}

// UTF-8 back to bytes: characters up to U+00FF become one byte; anything else stays as written.
std::string Latin1FromUtf8(std::string_view aText) {
    std::string out;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        const auto c = static_cast<unsigned char>(aText[i]);
        const auto next = i + 1 < aText.size() ? static_cast<unsigned char>(aText[i + 1]) : 0u;
        if ((c == 0xC2 || c == 0xC3) && (next & 0xC0) == 0x80) {
            out += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Unescape(std::string_view aText) {
    std::string out;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == '<') {
            const std::size_t close = aText.find('>', i);
            if (close != std::string_view::npos && close - i <= 4) {
                const std::string_view name = aText.substr(i + 1, close - i - 1);
                bool named = false;
                for (const auto& n : kControls) {
                    if (name == n.Name) {
                        out += n.Byte;
                        named = true;
                    }
                }
                if (!named && name.size() == 2 && HexDigit(name[0]) >= 0 && HexDigit(name[1]) >= 0) {
                    out += static_cast<char>(HexDigit(name[0]) * 16 + HexDigit(name[1]));
                    named = true;
                }
                if (named) {
                    i = close;
                    continue;
                }
            }
        }
        out += aText[i];
    }
    return out;
}

} // namespace

bool IsLogStamp(std::string_view aText) {
    static constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd:ddd";
    if (aText.size() < kStampLength) {
        return false;
    }
    for (std::size_t i = 0; i < kStampLength; ++i) {
        const bool digit = aText[i] >= '0' && aText[i] <= '9';
        if (kPattern[i] == 'd' ? !digit : aText[i] != kPattern[i]) {
            return false;
        }
    }
    return true;
}

std::vector<DeviceLogLine> SplitLogLines(std::string_view aContent) {
    std::vector<DeviceLogLine> lines;
    bool inLine = false;
    std::size_t number = 0;
    auto finish = [&]() {
        if (inLine && !lines.back().Text.empty() && lines.back().Text.back() == '\r') {
            lines.back().Text.pop_back();
        }
    };
    std::size_t pos = 0;
    while (pos < aContent.size()) {
        std::size_t end = aContent.find('\n', pos);
        if (end == std::string_view::npos) {
            end = aContent.size();
        }
        const std::string_view piece = aContent.substr(pos, end - pos);
        ++number;
        pos = end + 1;
        if (IsLogStamp(piece)) {
            finish();
            DeviceLogLine line;
            line.Stamp = std::string(piece.substr(0, kStampLength));
            line.Number = number;
            std::string_view rest = piece.substr(kStampLength);
            if (rest.starts_with(" - ERROR - ")) {
                line.Error = true;
                rest.remove_prefix(11);
            } else if (rest.starts_with(" - ")) {
                rest.remove_prefix(3);
            }
            line.Text = std::string(rest);
            lines.push_back(std::move(line));
            inLine = true;
        } else if (inLine) {
            lines.back().Text += '\n';
            lines.back().Text += piece;
        }
    }
    finish();
    return lines;
}

std::int64_t StampMilliseconds(std::string_view aStamp) {
    if (!IsLogStamp(aStamp)) {
        return -1;
    }
    auto num = [&](std::size_t aPos, std::size_t aLen) {
        std::int64_t v = 0;
        for (std::size_t i = aPos; i < aPos + aLen; ++i) {
            v = v * 10 + (aStamp[i] - '0');
        }
        return v;
    };
    // Days from civil date (proleptic Gregorian), so that midnight and month ends subtract right.
    std::int64_t y = num(0, 4);
    const std::int64_t m = num(5, 2);
    const std::int64_t d = num(8, 2);
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = y / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = era * 146097 + doe - 719468;
    return ((days * 24 + num(11, 2)) * 60 + num(14, 2)) * 60000 + num(17, 2) * 1000 + num(20, 3);
}

std::string MessageBytes(std::string_view aLoggedMessage) {
    // A hex dump is " [" + pairs + "]" at the very end and matches the message's length.
    if (aLoggedMessage.ends_with(']')) {
        const std::size_t open = aLoggedMessage.rfind(" [");
        if (open != std::string_view::npos) {
            std::string bytes;
            const std::string_view dump = aLoggedMessage.substr(open + 2, aLoggedMessage.size() - open - 3);
            // The dump must be of this very message, not a text that happens to end like one.
            if (ParseHexDump(dump, bytes) &&
                bytes.size() == Unescape(Latin1FromUtf8(aLoggedMessage.substr(0, open))).size()) {
                return bytes;
            }
        }
    }
    return Unescape(Latin1FromUtf8(aLoggedMessage));
}

std::string WithoutHexDump(std::string_view aLine) {
    const std::size_t colon = aLine.find(':');
    const std::size_t open = aLine.rfind(" [");
    std::string bytes;
    if (colon == std::string_view::npos || open == std::string_view::npos || open < colon ||
        !aLine.ends_with(']') || !ParseHexDump(aLine.substr(open + 2, aLine.size() - open - 3), bytes) ||
        bytes != Unescape(Latin1FromUtf8(aLine.substr(colon + 1, open - colon - 1)))) {
        return std::string(aLine);
    }
    return std::string(aLine.substr(0, open));
}

std::string ShowBytes(std::string_view aBytes) {
    std::string out;
    for (const char ch : aBytes) {
        const auto c = static_cast<unsigned char>(ch);
        bool named = false;
        for (const auto& n : kControls) {
            if (ch == n.Byte) {
                out += '<';
                out += n.Name;
                out += '>';
                named = true;
            }
        }
        if (named) {
            continue;
        }
        if (c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += '<';
            out += kHex[c >> 4];
            out += kHex[c & 15];
            out += '>';
        } else if (c >= 0x80) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += ch;
        }
    }
    return out;
}

std::string ShowFrame(std::string_view aBytes) {
    const std::size_t end = aBytes.find_first_of(std::string_view("\x03\x04", 2));
    if (end == std::string_view::npos || end + 2 != aBytes.size() || aBytes.front() == 0x01) {
        return ShowBytes(aBytes);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto lrc = static_cast<unsigned char>(aBytes.back());
    return ShowBytes(aBytes.substr(0, end + 1)) + " LRC=" + kHex[lrc >> 4] + kHex[lrc & 15];
}
