#include "P17Wire.h"

#include <cstdio>

namespace p17emu {

char Lrc(const std::string& aBytes) {
    unsigned char v = 0x7F;
    for (const char c : aBytes) {
        v = static_cast<unsigned char>(v ^ static_cast<unsigned char>(c));
    }
    return static_cast<char>(v);
}

std::string DataFrame(const std::string& aText, char aTerminator) {
    std::string f;
    f.reserve(aText.size() + 3);
    f += kSTX;
    f += aText;
    f += aTerminator;
    f += Lrc(f);
    return f;
}

std::string StatusFrame(const std::string& aText) {
    return std::string(1, kSOH) + aText + kETX;
}

std::string AckFrame() {
    std::string f{kACK, kETX};
    f += Lrc(f);
    return f;
}

namespace {
std::string Hex(unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", c); // as zrpa shows bytes: LRC=7A
    return buf;
}

const char* ControlName(unsigned char c) {
    switch (c) {
    case 0x01:
        return "SOH";
    case 0x02:
        return "STX";
    case 0x03:
        return "ETX";
    case 0x04:
        return "EOT";
    case 0x06:
        return "ACK";
    case 0x1B:
        return "ESC";
    default:
        return nullptr;
    }
}

std::string Field(const std::string& aText, std::size_t aPos, std::size_t aLen) {
    return aPos - 1 < aText.size() ? aText.substr(aPos - 1, aLen) : std::string();
}

std::string Trimmed(std::string s) {
    const auto b = s.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(' ') - b + 1);
}
} // namespace

std::string ShowBytes(const std::string& aBytes) {
    std::string out;
    std::string text;
    auto flush = [&]() {
        if (!text.empty()) {
            out += (out.empty() ? "" : " ") + text;
            text.clear();
        }
    };
    // The byte after a terminator is the check character: show it as a number.
    bool nextIsLrc = false;
    bool framed = !aBytes.empty() && (aBytes[0] == kSTX || aBytes[0] == kACK);
    for (const char ch : aBytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (nextIsLrc) {
            flush();
            out += " LRC=" + Hex(c);
            nextIsLrc = false;
            continue;
        }
        if (const char* name = ControlName(c)) {
            flush();
            out += (out.empty() ? "" : " ") + std::string(name);
            if (framed && (c == 0x03 || c == 0x04)) {
                nextIsLrc = true;
            }
        } else if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            text += "<" + Hex(c) + ">";
        }
    }
    flush();
    return out;
}

std::string DescribeRequest(const std::string& t) {
    const char code = t.size() >= 10 ? t[9] : '?';
    switch (code) {
    case 'E':
        return std::string("PRINT LOCATION: ") +
               (Field(t, 11, 1) == "1" ? "the cash register prints" : "the terminal prints");
    case 'X':
        return "PAYMENT ecr=" + Field(t, 11, 8) + " amount=" + Field(t, 24, 8) + " reference=\"" +
               Trimmed(t.size() > 39 ? t.substr(31, t.size() - 39) : std::string()) +
               "\" length=" + std::to_string(t.size());
    case 'A':
        return "REFUND ecr=" + Field(t, 11, 8) + " amount=" + Field(t, 24, 8);
    case 'Q':
        return "VOID ecr=" + Field(t, 11, 8) + " stan=" + Field(t, 25, 6) + " card=" + Field(t, 31, 5) +
               " acquirer=" + Field(t, 36, 11) + " amount=" + Field(t, 47, 8) + " auth=" + Field(t, 55, 6) +
               " date=" + Field(t, 61, 10);
    case 'R':
        return std::string("REPRINT ") +
               (Field(t, 11, 1) == "1" ? "text to the cash register" : "on the terminal");
    case 'C':
        return "DAY CLOSE ecr=" + Field(t, 11, 8);
    case 'T':
        return "TOTALS ecr=" + Field(t, 11, 8);
    default:
        return "unknown request code '" + std::string(1, code) + "'";
    }
}

std::string DescribeAnswer(char aRequestCode, const std::string& t) {
    const std::string rc = Field(t, 11, 2);
    std::string out = "terminal=" + Field(t, 1, 8) + " result=" + rc;
    switch (aRequestCode) {
    case 'X':
        if (rc == "00") {
            out += " card=" + Field(t, 13, 19) + " entry=" + Field(t, 32, 3) + " auth=" + Field(t, 35, 6) +
                   " date=" + Field(t, 41, 7) + " bank=" + Field(t, 48, 1) + " acquirer=" + Field(t, 49, 11) +
                   " stan=" + Field(t, 60, 6) + " operation=" + Field(t, 66, 6) +
                   " amount=" + Field(t, 75, 8);
            if (Field(t, 10, 1) == "V" && Field(t, 83, 1) == "1") {
                out += " rate=" + Field(t, 84, 8) + " currency=" + Field(t, 92, 3) +
                       " foreign=" + Field(t, 95, 12) + " decimals=" + Field(t, 107, 1);
            }
        } else {
            out += " error=\"" + Trimmed(Field(t, 13, 24)) + "\" stan=" + Field(t, 60, 6);
        }
        break;
    case 'A':
        out += " card=" + Field(t, 13, 19) + " entry=" + Field(t, 32, 3) + " auth=" + Field(t, 35, 6) +
               " acquirer=" + Field(t, 41, 11) + " date=" + Field(t, 52, 7);
        break;
    case 'Q':
        out += rc == "00" ? " card=" + Field(t, 13, 19) + " entry=" + Field(t, 32, 3) +
                                " auth=" + Field(t, 35, 6) + " date=" + Field(t, 41, 7)
                          : " error=\"" + Trimmed(Field(t, 13, 24)) + "\"";
        out += " acquirer=" + Field(t, 49, 11) + " stan=" + Field(t, 60, 6) + " operation=" + Field(t, 66, 6);
        break;
    case 'C':
        out += rc == "00" ? " total=" + Field(t, 13, 16) : " error=\"" + Trimmed(Field(t, 13, 19)) + "\"";
        break;
    case 'T':
        out += " total=" + Field(t, 13, 16);
        break;
    default:
        break;
    }
    return out;
}

} // namespace p17emu
