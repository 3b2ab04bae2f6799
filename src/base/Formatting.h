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
// A numeric text is read with the host's decimal separator, as IsNumeric reads it.
Text FormatNumberFixed(const Text& aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator);

// True when aText is a floating-point number under the host's decimal separator. Never raises.
bool IsNumeric(const Text& aText);
// Reads a floating-point number with the host's decimal separator; false when it is not one.
bool TryTextToFloat(const Text& aText, double& aOut);

Text IntToBase36(std::int64_t aValue);
std::int64_t Base36ToInt(const Text& aText);

// "yyyy-mm-ddThh:nn:ss" (or with ".zzz"); independent of the regional settings.
Text DateTimeToISO(TDateTime aDateTime, bool aWithMilliseconds = false);
// Raise ZrError "Date Format invalid: [..]" / "DateTime Format invalid: [..]".
TDateTime ISOToDate(const Text& aText);
TDateTime ISOToDateTime(const Text& aText);

Text ExtractField(const Text& aText, std::int32_t aIndex, char16_t aSeparator, bool aToEnd);
std::int32_t TimeToMilliseconds(TDateTime aDateTime);
