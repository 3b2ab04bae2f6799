#include "base/Text.h"

#include <algorithm>

namespace {
bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
} // namespace

Text Utf8ToText(std::string_view aUtf8) {
    Text out;
    out.reserve(aUtf8.size());
    std::size_t i = 0;
    const std::size_t n = aUtf8.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(aUtf8[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6) {
            len = 2;
        } else if ((c >> 4) == 0xE) {
            len = 3;
        } else if ((c >> 3) == 0x1E) {
            len = 4;
        }
        if (len > 1) {
            if (i + len > n) {
                cp = 0xFFFD;
                len = 1;
            } else {
                char32_t v = c & (0xFF >> (len + 1));
                bool ok = true;
                for (std::size_t k = 1; k < len; ++k) {
                    const auto cc = static_cast<unsigned char>(aUtf8[i + k]);
                    if ((cc >> 6) != 0x2) {
                        ok = false;
                        break;
                    }
                    v = (v << 6) | (cc & 0x3F);
                }
                const bool overlong =
                    (len == 2 && v < 0x80) || (len == 3 && v < 0x800) || (len == 4 && v < 0x10000);
                if (!ok || overlong || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
                    cp = 0xFFFD;
                    len = 1;
                } else {
                    cp = v;
                }
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string TextToUtf8(TextView aText) {
    std::string out;
    AppendUtf8(out, aText);
    return out;
}

void AppendUtf8(std::string& aOut, TextView aText) {
    // Not reserve(): growing by exactly one text at a time would reallocate for every line of a block.
    if (aOut.capacity() < aOut.size() + aText.size()) {
        aOut.reserve(std::max(aOut.size() + aText.size(), aOut.capacity() * 2));
    }
    for (std::size_t i = 0; i < aText.size(); ++i) {
        char32_t cp = aText[i];
        if (IsHighSurrogate(aText[i]) && i + 1 < aText.size() && IsLowSurrogate(aText[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (aText[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(aText[i]) || IsLowSurrogate(aText[i])) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            aOut.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            aOut.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            aOut.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            aOut.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            aOut.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            aOut.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            aOut.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            aOut.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            aOut.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            aOut.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

Text BytesToText(std::string_view aBytes) {
    Text out(aBytes.size(), u'\0');
    for (std::size_t i = 0; i < aBytes.size(); ++i) {
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(aBytes[i]));
    }
    return out;
}

std::string TextToBytes(TextView aText) {
    std::string out(aText.size(), '\0');
    for (std::size_t i = 0; i < aText.size(); ++i) {
        out[i] = aText[i] < 256 ? static_cast<char>(aText[i]) : '?';
    }
    return out;
}

Text UIntToText(std::uint64_t aValue) {
    char16_t buf[24];
    int pos = 24;
    do {
        buf[--pos] = static_cast<char16_t>(u'0' + aValue % 10);
        aValue /= 10;
    } while (aValue != 0);
    return Text(buf + pos, buf + 24);
}

Text ZeroPadded(Text aDigits, std::size_t aWidth) {
    if (aDigits.size() < aWidth) {
        aDigits.insert(0, aWidth - aDigits.size(), u'0');
    }
    return aDigits;
}

Text ZeroPadded(std::int64_t aValue, std::size_t aWidth) {
    return ZeroPadded(IntToText(aValue), aWidth);
}

Text IntToHex(std::uint64_t aValue, std::size_t aMinDigits, bool aLowerCase) {
    const char16_t* digits = aLowerCase ? u"0123456789abcdef" : u"0123456789ABCDEF";
    Text out;
    do {
        out.insert(out.begin(), digits[aValue & 0xF]);
        aValue >>= 4;
    } while (aValue != 0);
    if (out.size() < aMinDigits) {
        out.insert(0, aMinDigits - out.size(), u'0');
    }
    return out;
}

Text HexCodes(TextView aText) {
    Text out;
    out.reserve(aText.size() * 3);
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (i > 0) {
            out += u' ';
        }
        out += IntToHex(aText[i], 2, true);
    }
    return out;
}

Text IntToText(std::int64_t aValue) {
    if (aValue >= 0) {
        return UIntToText(static_cast<std::uint64_t>(aValue));
    }
    // Negate in unsigned arithmetic so INT64_MIN does not overflow.
    return u"-" + UIntToText(0 - static_cast<std::uint64_t>(aValue));
}

Text LowerCase(TextView aText) {
    Text out(aText);
    for (auto& c : out) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c + 32);
        }
    }
    return out;
}

Text UpperCase(TextView aText) {
    Text out(aText);
    for (auto& c : out) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - 32);
        }
    }
    return out;
}

bool SameTextAscii(TextView a, TextView b) {
    return a.size() == b.size() && LowerCase(a) == LowerCase(b);
}

int IndexOfName(const TextList& aList, TextView aName) {
    for (std::size_t i = 0; i < aList.size(); ++i) {
        const TextView line = aList[i];
        const auto eq = line.find(u'=');
        if (eq != TextView::npos && line.substr(0, eq) == aName) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Text ValueOfName(const TextList& aList, TextView aName) {
    const int i = IndexOfName(aList, aName);
    if (i < 0) {
        return Text();
    }
    const Text& line = aList[static_cast<std::size_t>(i)];
    return line.substr(line.find(u'=') + 1);
}

namespace {
// The code unit at aAt, when XML 1.0 can carry it there: 0 when it must become a space, 2 when it
// begins a surrogate pair (both kept), 1 otherwise.
std::size_t XmlUnitsAt(TextView aText, std::size_t aAt) {
    const char16_t c = aText[aAt];
    if (IsHighSurrogate(c) && aAt + 1 < aText.size() && IsLowSurrogate(aText[aAt + 1])) {
        return 2;
    }
    const bool control = c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
    return control || c == 0xFFFE || c == 0xFFFF || IsHighSurrogate(c) || IsLowSurrogate(c) ? 0 : 1;
}

// A code unit that XmlCharactersOnly keeps and XmlEscaped (without aKeepCr) copies as it is.
bool IsPlainXmlUnit(char16_t c) {
    if (c < 0x20) {
        return c == u'\t' || c == u'\n' || c == u'\r';
    }
    return c != u'&' && c != u'<' && c != u'>' && c != u'"' && c != u'\'' && !IsHighSurrogate(c) &&
           !IsLowSurrogate(c) && c != 0xFFFE && c != 0xFFFF;
}

// One pass gives the same text as the replacements in sequence, because only "&" is ever introduced by a
// replacement and it is replaced first.
void AppendEscaped(Text& aOut, char16_t c, bool aKeepCr) {
    switch (c) {
    case u'&':
        aOut += u"&amp;";
        break;
    case u'<':
        aOut += u"&lt;";
        break;
    case u'>':
        aOut += u"&gt;";
        break;
    case u'"':
        aOut += u"&quot;";
        break;
    case u'\'':
        aOut += u"&apos;";
        break;
    case u'\r':
        if (aKeepCr) {
            aOut += u"&#13;";
        } else {
            aOut += c;
        }
        break;
    default:
        aOut += c;
        break;
    }
}
} // namespace

Text XmlCharactersOnly(TextView aText) {
    Text out(aText);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t units = XmlUnitsAt(out, i);
        if (units == 0) {
            out[i] = u' ';
        }
        i += units > 1 ? units - 1 : 0;
    }
    return out;
}

Text XmlEscaped(TextView aText, bool aKeepCr) {
    Text out;
    out.reserve(aText.size());
    for (const char16_t c : aText) {
        AppendEscaped(out, c, aKeepCr);
    }
    return out;
}

void AppendXmlText(Text& aOut, TextView aText) {
    aOut.reserve(aOut.size() + aText.size());
    for (std::size_t i = 0; i < aText.size(); ++i) {
        // Most of a text needs neither escape nor replacement: such a run is appended in one piece.
        std::size_t run = i;
        while (run < aText.size() && IsPlainXmlUnit(aText[run])) {
            ++run;
        }
        aOut.append(aText.data() + i, run - i);
        i = run;
        if (i == aText.size()) {
            break;
        }
        switch (XmlUnitsAt(aText, i)) {
        case 0:
            aOut += u' ';
            break;
        case 2:
            aOut += aText.substr(i, 2);
            ++i;
            break;
        default:
            AppendEscaped(aOut, aText[i], false);
            break;
        }
    }
}

Text CutValue(TextView aValue, std::size_t aShown) {
    if (aValue.size() <= aShown) {
        return Text(aValue);
    }
    return Text(aValue.substr(0, aShown)) + u"\u2026(" + UIntToText(aValue.size()) + u" characters)";
}

Text ControlCharactersShown(TextView aText) {
    Text out;
    out.reserve(aText.size());
    for (const char16_t c : aText) {
        if (c >= 0x20 && c != 0x7F) {
            out.push_back(c);
            continue;
        }
        switch (c) {
        case 0x01:
            out += u"<SOH>";
            break;
        case 0x02:
            out += u"<STX>";
            break;
        case 0x03:
            out += u"<ETX>";
            break;
        case 0x04:
            out += u"<EOT>";
            break;
        case 0x06:
            out += u"<ACK>";
            break;
        case 0x15:
            out += u"<NAK>";
            break;
        case 0x1B:
            out += u"<ESC>";
            break;
        default:
            out += u'<' + IntToHex(c, 2, false) + u'>';
            break;
        }
    }
    return out;
}
