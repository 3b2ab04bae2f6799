#include "Json.h"

std::string ValidUtf8(std::string_view aText) {
    std::string out;
    for (std::size_t i = 0; i < aText.size();) {
        const auto c = static_cast<unsigned char>(aText[i]);
        const std::size_t len = c < 0x80         ? 1
                                : (c >> 5) == 6  ? 2
                                : (c >> 4) == 14 ? 3
                                : (c >> 3) == 30 ? 4
                                                 : 0;
        bool ok = len > 0 && i + len <= aText.size() && !(len == 2 && c < 0xC2);
        for (std::size_t k = 1; ok && k < len; ++k) {
            ok = (static_cast<unsigned char>(aText[i + k]) & 0xC0) == 0x80;
        }
        if (ok) {
            out.append(aText.substr(i, len));
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string JsonString(std::string_view aText) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : ValidUtf8(aText)) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}
