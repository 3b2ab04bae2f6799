#pragma once
// Amounts: signed 64-bit fixed point in ten-thousandths. Never a double, so no amount is ever
// rounded on its way from the request to the terminal.
#include <compare>
#include <cstdint>

#include "base/Text.h"

class Currency {
public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Currency() = default;
    static constexpr Currency FromRaw(std::int64_t aTenThousandths) {
        Currency c;
        c.fRaw = aTenThousandths;
        return c;
    }
    static constexpr Currency FromUnits(std::int64_t aUnits) { return FromRaw(aUnits * kScale); }

    constexpr std::int64_t Raw() const { return fRaw; }
    // Whole cents, rounded half away from zero (what a terminal's amount field carries).
    constexpr std::int64_t Cents() const { return fRaw >= 0 ? (fRaw + 50) / 100 : -((-fRaw + 50) / 100); }
    double ToDouble() const { return static_cast<double>(fRaw) / kScale; }

    // Shortest decimal form: "." always, no grouping, no trailing zeros, no point for whole values.
    Text ToText() const;
    // Reads an optional sign, digits, an optional "." with digits and an optional exponent, rounded
    // to four decimals (half away from zero). False for anything else or a value out of range.
    static bool TryParse(TextView aText, Currency& aOut);

    constexpr auto operator<=>(const Currency&) const = default;
    constexpr Currency operator+(Currency o) const { return FromRaw(fRaw + o.fRaw); }
    constexpr Currency operator-(Currency o) const { return FromRaw(fRaw - o.fRaw); }
    constexpr Currency operator-() const { return FromRaw(-fRaw); }

private:
    std::int64_t fRaw = 0;
};
