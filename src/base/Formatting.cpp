#include "base/Formatting.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "base/Decimal.h"
#include "base/ZrError.h"

namespace {
// Terminal fields are a few characters wide; the limits only keep a wrong argument from exhausting memory.
constexpr std::int32_t kMaxFieldLength = 4096;
constexpr std::int32_t kMaxDecimals = 1000;

tZR_Decimal FromUnsigned(bool aNegative, std::uint64_t aMagnitude, std::int64_t aExponent) {
    tZR_Decimal d;
    d.exponent = aExponent;
    if (aMagnitude != 0) {
        d.negative = aNegative;
        d.digits = std::to_string(aMagnitude);
    }
    return d;
}

std::uint64_t Magnitude(std::int64_t aValue) {
    return aValue < 0 ? 0 - static_cast<std::uint64_t>(aValue) : static_cast<std::uint64_t>(aValue);
}

tZR_Decimal FromDouble(double aValue) {
    if (!std::isfinite(aValue)) {
        throw ZrError(u"FormatNumberFixed: value " + Utf8ToText(std::isnan(aValue) ? "NaN" : "Infinity") +
                      u" is not a finite number.");
    }
    tZR_Decimal d;
    const double magnitude = std::fabs(aValue);
    if (magnitude == 0) {
        return d;
    }
    // magnitude = m x 2^e with m odd: exactly -e decimals when e < 0, none otherwise.
    int e2 = 0;
    const double fraction = std::frexp(magnitude, &e2);
    auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    int e = e2 - 53;
    while ((m & 1u) == 0 && e < 0) {
        m >>= 1;
        ++e;
    }
    const int precision = e < 0 ? -e : 0;
    char buffer[1500];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, precision);
    for (const char* p = buffer; p != r.ptr; ++p) {
        if (*p != '.') {
            d.digits.push_back(*p);
        }
    }
    d.exponent = -precision;
    d.negative = aValue < 0;
    d.Normalize();
    return d;
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The double nearest to aValue; false when it is beyond the double range (underflow reads as zero).
bool ToDouble(const tZR_Decimal& aValue, double& aOut) {
    if (aValue.digits.empty()) {
        aOut = aValue.negative ? -0.0 : 0.0;
        return true;
    }
    const std::int64_t order = static_cast<std::int64_t>(aValue.digits.size()) + aValue.exponent;
    if (order > 400) {
        return false;
    }
    if (order < -400) {
        aOut = aValue.negative ? -0.0 : 0.0;
        return true;
    }
    std::string text = aValue.digits + "e" + std::to_string(aValue.exponent);
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        if (order > 0) {
            return false;
        }
        v = 0;
    } else if (r.ec != std::errc() || !std::isfinite(v)) {
        return false;
    }
    aOut = aValue.negative ? -v : v;
    return true;
}

Text RenderFixed(const tZR_Decimal& aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                 const Text& aDecimalSeparator) {
    if (aLength < 1 || aLength > kMaxFieldLength) {
        throw ZrError(u"FormatNumberFixed: length " + IntToText(aLength) +
                      u" invalid. Allowed values are: 1 to " + IntToText(kMaxFieldLength) + u".");
    }
    if (aDecimals < 0 || aDecimals > kMaxDecimals) {
        throw ZrError(u"FormatNumberFixed: decimals " + IntToText(aDecimals) +
                      u" invalid. Allowed values are: 0 to " + IntToText(kMaxDecimals) + u".");
    }
    std::string n = ScaledRounded(aValue, aDecimals);
    const bool negative = aValue.negative && !aValue.digits.empty();
    const auto minDigits = static_cast<std::size_t>(aDecimals) + 1;
    if (n.size() < minDigits) {
        n.insert(0, minDigits - n.size(), '0');
    }
    const std::size_t intDigits = n.size() - static_cast<std::size_t>(aDecimals);
    // The rendering has no blanks of its own, so padding it to aLength + 1 and trimming again is a no-op.
    // A negative value keeps the digits of its magnitude and a "-" in the first place even without
    // aSigned: a minus inside the zero padding would read as garbage, and dropping it as a positive value.
    Text body = BytesToText(std::string_view(n).substr(0, intDigits));
    if (aDecimals > 0) {
        body += aDecimalSeparator;
        body += BytesToText(std::string_view(n).substr(intDigits));
    }
    const auto length = static_cast<std::size_t>(aLength);
    Text result;
    if (body.size() >= length) {
        result = body.substr(body.size() - length);
    } else {
        result.assign(length - body.size(), u'0');
        result += body;
    }
    if (negative) {
        result[0] = u'-';
    } else if (aSigned) {
        result[0] = u'+';
    }
    return result;
}

// A field of exactly aLength characters at 1-based position aPos, fewer when the text ends; true when it
// is one or more decimal digits.
bool ReadDigits(const Text& aText, std::size_t aPos, std::size_t aLength, int& aOut) {
    if (aPos > aText.size()) {
        return false;
    }
    const Text field = aText.substr(aPos - 1, aLength);
    if (field.empty()) {
        return false;
    }
    int v = 0;
    for (char16_t c : field) {
        if (!IsDigit(c)) {
            return false;
        }
        v = v * 10 + (c - u'0');
    }
    aOut = v;
    return true;
}

const char16_t kBase36Digits[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
} // namespace

Text FormatNumberFixed(double aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator) {
    return RenderFixed(FromDouble(aValue), aLength, aDecimals, aSigned, aDecimalSeparator);
}

Text FormatNumberFixed(Currency aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator) {
    return RenderFixed(FromUnsigned(aValue.Raw() < 0, Magnitude(aValue.Raw()), -4), aLength, aDecimals,
                       aSigned, aDecimalSeparator);
}

Text FormatNumberFixed(std::int64_t aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator) {
    return RenderFixed(FromUnsigned(aValue < 0, Magnitude(aValue), 0), aLength, aDecimals, aSigned,
                       aDecimalSeparator);
}

Text FormatNumberFixed(const Text& aValue, const Text& aValueSeparator, std::int32_t aLength,
                       std::int32_t aDecimals, bool aSigned, const Text& aDecimalSeparator) {
    // The digits as written, so a numeric text is not rounded twice; the range is that of a double.
    tZR_Decimal d;
    double unused = 0;
    if (!ParseDecimal(aValue, aValueSeparator, true, d) || !ToDouble(d, unused)) {
        throw ZrError(u"'" + CutValue(aValue) + u"' is not a valid floating point value");
    }
    return RenderFixed(d, aLength, aDecimals, aSigned, aDecimalSeparator);
}

bool TryTextToFloat(const Text& aText, const Text& aSeparator, double& aOut) {
    tZR_Decimal d;
    double v = 0;
    if (!ParseDecimal(aText, aSeparator, true, d) || !ToDouble(d, v)) {
        return false;
    }
    aOut = v;
    return true;
}

Text IntToBase36(std::int64_t aValue) {
    if (aValue < 0) {
        throw ZrError(u"IntToBase36: value " + IntToText(aValue) +
                      u" invalid. Allowed values are: 0 or more.");
    }
    Text out;
    do {
        out.insert(out.begin(), kBase36Digits[aValue % 36]);
        aValue /= 36;
    } while (aValue != 0);
    return out;
}

std::int64_t Base36ToInt(const Text& aText) {
    // Unsigned arithmetic: more than 12 significant digits wrap instead of overflowing.
    std::uint64_t result = 0;
    std::uint64_t weight = 1;
    for (auto it = aText.rbegin(); it != aText.rend(); ++it) {
        char16_t c = *it;
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
        if (IsDigit(c)) {
            result += static_cast<std::uint64_t>(c - u'0') * weight;
        } else if (c >= u'A' && c <= u'Z') {
            result += static_cast<std::uint64_t>(c - u'A' + 10) * weight;
        }
        weight *= 36;
    }
    return static_cast<std::int64_t>(result);
}

Text DateTimeToISO(TDateTime aDateTime, bool aWithMilliseconds) {
    const DateTimeParts p = DecodeDateTime(aDateTime);
    Text out = ZeroPadded(p.Year, 4) + u"-" + ZeroPadded(p.Month, 2) + u"-" + ZeroPadded(p.Day, 2) + u"T" +
               ZeroPadded(p.Hour, 2) + u":" + ZeroPadded(p.Minute, 2) + u":" + ZeroPadded(p.Second, 2);
    if (aWithMilliseconds) {
        out += u"." + ZeroPadded(p.Millisecond, 3);
    }
    return out;
}

TDateTime ISOToDate(const Text& aText) {
    DateTimeParts p;
    TDateTime result = 0;
    if (!ReadDigits(aText, 1, 4, p.Year) || !ReadDigits(aText, 6, 2, p.Month) ||
        !ReadDigits(aText, 9, 2, p.Day) || !TryEncodeDateTime(p, result)) {
        throw ZrError(u"Date Format invalid: [" + CutValue(aText) + u"]");
    }
    return result;
}

TDateTime ISOToDateTime(const Text& aText) {
    DateTimeParts p;
    TDateTime result = 0;
    if (!ReadDigits(aText, 1, 4, p.Year) || !ReadDigits(aText, 6, 2, p.Month) ||
        !ReadDigits(aText, 9, 2, p.Day) || !ReadDigits(aText, 12, 2, p.Hour) ||
        !ReadDigits(aText, 15, 2, p.Minute) || !ReadDigits(aText, 18, 2, p.Second)) {
        throw ZrError(u"DateTime Format invalid: [" + CutValue(aText) + u"]");
    }
    if (!ReadDigits(aText, 21, 3, p.Millisecond)) {
        p.Millisecond = 0;
    }
    if (!TryEncodeDateTime(p, result)) {
        throw ZrError(u"DateTime Format invalid: [" + CutValue(aText) + u"]");
    }
    return result;
}

Text ExtractField(const Text& aText, std::int32_t aIndex, char16_t aSeparator, bool aToEnd) {
    const std::int64_t wanted = static_cast<std::int64_t>(aIndex) - 1;
    std::int64_t count = 0;
    Text result;
    for (char16_t c : aText) {
        if (aToEnd) {
            if (count >= wanted) {
                result.push_back(c);
            }
        } else if (count == wanted && c != aSeparator) {
            result.push_back(c);
        }
        if (c == aSeparator) {
            ++count;
        }
        if (!aToEnd && count > wanted) {
            break;
        }
    }
    return result;
}

std::int32_t TimeToMilliseconds(TDateTime aDateTime) {
    const DateTimeParts p = DecodeDateTime(aDateTime);
    return ((p.Hour * 3600 + p.Minute * 60 + p.Second) * 1000) + p.Millisecond;
}
