#include "P17Wire.h"

#include <cstdio>

#include "MessageFields.h"

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

// What a payment request carries between its amount and its closing filler: the reference, as long as
// the driver sent it (an over-long one whole; whatever is there in a request of the wrong length).
std::string Reference(const std::string& t) {
    const P17Layout& pay = *P17RequestLayout('X');
    const std::size_t first = P17FindField(pay, "reference")->Position - 1u;
    const std::size_t closing = pay.Groups.back().Fields.back().Width;
    return t.size() > first + closing ? t.substr(first, t.size() - first - closing) : std::string();
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
    const auto field = [&](P17Name aName) { return RequestField(t, aName); };
    const char code = CodeOf(t);
    switch (code) {
    case 'E':
        return std::string("PRINT LOCATION: ") +
               (field("print_on_ecr") == "1" ? "the cash register prints" : "the terminal prints");
    case 'X':
        return "PAYMENT ecr=" + field("ecr") + " amount=" + field("amount") + " reference=\"" +
               Trimmed(Reference(t)) + "\" length=" + std::to_string(t.size());
    case 'A':
        return "REFUND ecr=" + field("ecr") + " amount=" + field("amount");
    case 'Q':
        return "VOID ecr=" + field("ecr") + " stan=" + field("stan") + " card=" + field("card") +
               " acquirer=" + field("acquirer") + " amount=" + field("amount") +
               " auth=" + field("auth_code") + " date=" + field("date_time");
    case 'R':
        return std::string("REPRINT ") +
               (field("print_on_ecr") == "1" ? "text to the cash register" : "on the terminal");
    case 'C':
        return "DAY CLOSE ecr=" + field("ecr");
    case 'T':
        return "TOTALS ecr=" + field("ecr");
    default:
        return "unknown request code '" + std::string(1, code) + "'";
    }
}

std::string DescribeAnswer(char aRequestCode, const std::string& t) {
    const auto field = [&](P17Name aName) { return AnswerField(aRequestCode, t, aName); };
    const std::string rc = field("result");
    std::string out = "terminal=" + field("terminal_id") + " result=" + rc;
    switch (aRequestCode) {
    case 'X':
        if (rc == "00") {
            out += " card=" + field("card") + " entry=" + field("entry_mode") +
                   " auth=" + field("auth_code") + " date=" + field("date_time") +
                   " bank=" + field("bank_flag") + " acquirer=" + field("acquirer") +
                   " stan=" + field("stan") + " operation=" + field("operation") +
                   " amount=" + field("amount");
            if (field("code") == "V" && field("conversion") == "1") {
                out += " rate=" + field("rate") + " currency=" + field("currency") +
                       " foreign=" + field("foreign_amount") + " decimals=" + field("decimals");
            }
        } else {
            out += " error=\"" + Trimmed(field("error_text")) + "\" stan=" + field("stan");
        }
        break;
    case 'A':
        out += " card=" + field("card") + " entry=" + field("entry_mode") + " auth=" + field("auth_code") +
               " acquirer=" + field("acquirer") + " date=" + field("date_time");
        break;
    case 'Q':
        out += rc == "00" ? " card=" + field("card") + " entry=" + field("entry_mode") +
                                " auth=" + field("auth_code") + " date=" + field("date_time")
                          : " error=\"" + Trimmed(field("error_text")) + "\"";
        out +=
            " acquirer=" + field("acquirer") + " stan=" + field("stan") + " operation=" + field("operation");
        break;
    case 'C':
        out += rc == "00" ? " total=" + field("total") : " error=\"" + Trimmed(field("error_text")) + "\"";
        break;
    case 'T':
        out += " total=" + field("total");
        break;
    default:
        break;
    }
    return out;
}

} // namespace p17emu
