#include "base/Currency.h"

#include <limits>

Text Currency::ToText() const {
    const bool negative = fRaw < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(fRaw) : static_cast<std::uint64_t>(fRaw);
    Text out = UIntToText(magnitude / kScale);
    std::uint64_t frac = magnitude % kScale;
    if (frac != 0) {
        Text digits = UIntToText(frac);
        digits.insert(0, 4 - digits.size(), u'0');
        while (!digits.empty() && digits.back() == u'0') {
            digits.pop_back();
        }
        out += u'.';
        out += digits;
    }
    return negative ? u"-" + out : out;
}

bool Currency::TryParse(TextView aText, Currency& aOut) {
    std::size_t i = 0;
    const std::size_t n = aText.size();
    bool negative = false;
    if (i < n && (aText[i] == u'+' || aText[i] == u'-')) {
        negative = aText[i] == u'-';
        ++i;
    }
    // Collect the significant digits as an exact decimal: mantissa digits and a decimal exponent.
    std::string digits;
    int exponent = 0;
    bool anyDigit = false;
    while (i < n && aText[i] >= u'0' && aText[i] <= u'9') {
        digits.push_back(static_cast<char>(aText[i]));
        anyDigit = true;
        ++i;
    }
    if (i < n && aText[i] == u'.') {
        ++i;
        while (i < n && aText[i] >= u'0' && aText[i] <= u'9') {
            digits.push_back(static_cast<char>(aText[i]));
            --exponent;
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit) {
        return false;
    }
    if (i < n && (aText[i] == u'e' || aText[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (aText[i] == u'+' || aText[i] == u'-')) {
            expNegative = aText[i] == u'-';
            ++i;
        }
        if (i >= n || aText[i] < u'0' || aText[i] > u'9') {
            return false;
        }
        int e = 0;
        while (i < n && aText[i] >= u'0' && aText[i] <= u'9') {
            if (e < 100000) {
                e = e * 10 + (aText[i] - u'0');
            }
            ++i;
        }
        exponent += expNegative ? -e : e;
    }
    if (i != n) {
        return false;
    }
    // Scale to ten-thousandths: value = digits * 10^(exponent + 4).
    int shift = exponent + 4;
    std::size_t start = digits.find_first_not_of('0');
    if (start == std::string::npos) {
        aOut = Currency();
        return true;
    }
    digits.erase(0, start);
    bool roundUp = false;
    if (shift < 0) {
        const std::size_t drop = static_cast<std::size_t>(-shift);
        if (drop > digits.size()) {
            digits.clear();
        } else {
            roundUp = digits[digits.size() - drop] >= '5';
            digits.resize(digits.size() - drop);
        }
        shift = 0;
    }
    if (digits.size() + static_cast<std::size_t>(shift) > 19) {
        return false;
    }
    digits.append(static_cast<std::size_t>(shift), '0');
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t v = 0;
    for (char d : digits) {
        const auto dv = static_cast<std::uint64_t>(d - '0');
        if (v > (kMax - dv) / 10) {
            return false;
        }
        v = v * 10 + dv;
    }
    if (roundUp) {
        if (v == kMax) {
            return false;
        }
        ++v;
    }
    aOut = FromRaw(negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v));
    return true;
}
