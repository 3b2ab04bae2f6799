#include "base/Decimal.h"

#include <algorithm>

namespace {
// Exponents beyond this are clamped while reading: the value is out of range (or zero) long before.
constexpr std::int64_t kExponentClamp = 1000000;

bool IsBlank(char16_t c) {
    return c <= u' ';
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
} // namespace

void tZR_Decimal::Normalize() {
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty()) {
        exponent = 0;
    }
}

bool ParseDecimal(TextView aText, TextView aSeparator, bool aAllowBlanks, tZR_Decimal& aOut) {
    std::size_t i = 0;
    std::size_t n = aText.size();
    while (aAllowBlanks && i < n && IsBlank(aText[i])) {
        ++i;
    }
    while (aAllowBlanks && n > i && IsBlank(aText[n - 1])) {
        --n;
    }
    tZR_Decimal d;
    if (i < n && (aText[i] == u'+' || aText[i] == u'-')) {
        d.negative = aText[i] == u'-';
        ++i;
    }
    bool anyDigit = false;
    while (i < n && IsDigit(aText[i])) {
        d.digits.push_back(static_cast<char>(aText[i]));
        anyDigit = true;
        ++i;
    }
    if (!aSeparator.empty() && aText.substr(i).starts_with(aSeparator) && i + aSeparator.size() <= n) {
        i += aSeparator.size();
        while (i < n && IsDigit(aText[i])) {
            d.digits.push_back(static_cast<char>(aText[i]));
            --d.exponent;
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
        if (i >= n || !IsDigit(aText[i])) {
            return false;
        }
        std::int64_t e = 0;
        while (i < n && IsDigit(aText[i])) {
            e = std::min<std::int64_t>(e * 10 + (aText[i] - u'0'), kExponentClamp);
            ++i;
        }
        d.exponent += expNegative ? -e : e;
    }
    if (i != n) {
        return false;
    }
    d.Normalize();
    aOut = std::move(d);
    return true;
}

std::string ScaledRounded(const tZR_Decimal& aValue, std::int32_t aDecimals) {
    std::string digits = aValue.digits;
    if (digits.empty()) {
        return digits;
    }
    const std::int64_t shift = aValue.exponent + aDecimals;
    if (shift >= 0) {
        digits.append(static_cast<std::size_t>(shift), '0');
        return digits;
    }
    const auto drop = static_cast<std::uint64_t>(-shift);
    if (drop > digits.size()) {
        return std::string();
    }
    const bool roundUp = digits[digits.size() - drop] >= '5';
    digits.resize(digits.size() - drop);
    if (roundUp) {
        std::size_t k = digits.size();
        while (k > 0 && digits[k - 1] == '9') {
            digits[--k] = '0';
        }
        if (k == 0) {
            digits.insert(digits.begin(), '1');
        } else {
            ++digits[k - 1];
        }
    }
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    return digits;
}
