#pragma once
// Fixed text forms of numbers and date-times used by the terminal messages and the documents.
// Stateless; safe from any thread.
#include <cstdint>

#include "base/Currency.h"
#include "base/DateTime.h"
#include "base/Text.h"

// Fixed-width digit field: rendered with aDecimals decimals (half away from zero), the point replaced by
// aDecimalSeparator, left-padded with "0" and cut to the last aLength characters; aSigned puts "-" or
// "+" in the first place. Amounts go in exactly (no floating point on the way).
Text FormatNumberFixed(double aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator);
Text FormatNumberFixed(Currency aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator);
Text FormatNumberFixed(std::int64_t aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator);
// A numeric text, read with aValueSeparator as TryTextToFloat reads it, keeps the digits as written.
// Raises "'<text>' is not a valid floating point value" for any other text.
Text FormatNumberFixed(const Text& aValue, const Text& aValueSeparator, std::int32_t aLength,
                       std::int32_t aDecimals, bool aSigned, const Text& aDecimalSeparator);

// Reads blanks, a sign, digits with at most one aSeparator, an optional exponent and blanks, in the range
// of a double; false when aText is not such a number. Never raises. (platform/Locale.h reads numbers
// with the host's separator.)
bool TryTextToFloat(const Text& aText, const Text& aSeparator, double& aOut);

Text IntToBase36(std::int64_t aValue);
std::int64_t Base36ToInt(const Text& aText);

// "yyyy-mm-ddThh:nn:ss" (or with ".zzz"); independent of the regional settings.
Text DateTimeToISO(TDateTime aDateTime, bool aWithMilliseconds = false);
// Raise ZrError "Date Format invalid: [..]" / "DateTime Format invalid: [..]".
TDateTime ISOToDate(const Text& aText);
TDateTime ISOToDateTime(const Text& aText);

Text ExtractField(const Text& aText, std::int32_t aIndex, char16_t aSeparator, bool aToEnd);
std::int32_t TimeToMilliseconds(TDateTime aDateTime);
