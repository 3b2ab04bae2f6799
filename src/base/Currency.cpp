#include "base/Currency.h"

#include <limits>
#include <string>

#include "base/Decimal.h"

Text Currency::ToText() const {
    const bool negative = fRaw < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(fRaw) : static_cast<std::uint64_t>(fRaw);
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
    tZR_Decimal d;
    if (!ParseDecimal(aText, u".", false, d)) {
        return false;
    }
    // Ten-thousandths: more than 19 digits cannot fit (checked before the digits are written out).
    if (!d.digits.empty() && static_cast<std::int64_t>(d.digits.size()) + d.exponent + 4 > 19) {
        return false;
    }
    const std::string digits = ScaledRounded(d, 4);
    if (digits.size() > 19) {
        return false;
    }
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t v = 0;
    for (char digit : digits) {
        const auto dv = static_cast<std::uint64_t>(digit - '0');
        if (v > (kMax - dv) / 10) {
            return false;
        }
        v = v * 10 + dv;
    }
    aOut = FromRaw(d.negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v));
    return true;
}
