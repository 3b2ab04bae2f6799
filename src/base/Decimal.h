#pragma once
// Exact decimal numbers: the one reader of decimal texts (amounts, typed numbers) and the one rounding
// of their digits, shared by Currency and the fixed-width number fields.
#include <cstdint>
#include <string>

#include "base/Text.h"

// |value| = digits x 10^exponent. Every amount, integer and double has one, so fields are rounded on
// the decimal digits themselves and never through a second binary rounding.
struct tZR_Decimal {
    bool negative = false;
    std::string digits; // ASCII digits without leading zeros; empty for zero
    std::int64_t exponent = 0;

    // Drops leading zeros; zero gets exponent 0.
    void Normalize();
};

// Reads a sign, digits with at most one aSeparator, and an optional exponent ("e" or "E", a sign,
// digits; clamped far beyond any range); with aAllowBlanks, blanks (control characters included) around
// it as well. False for anything else. The value is not checked against any range here.
bool ParseDecimal(TextView aText, TextView aSeparator, bool aAllowBlanks, tZR_Decimal& aOut);
// Digits of round(|value| x 10^aDecimals), half away from zero, without leading zeros (empty for 0).
std::string ScaledRounded(const tZR_Decimal& aValue, std::int32_t aDecimals);
