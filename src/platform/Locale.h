#pragma once
// The host's regional settings, read as they are: the library never changes the process locale.
// Windows: the user default locale. POSIX: the current C locale (whatever the host set with setlocale).
#include <cstdint>

#include "base/Text.h"

// Decimal separator of numbers typed by a user ("." or ",", rarely longer).
Text HostDecimalSeparator();
// Separator between hours, minutes and seconds (":" almost everywhere).
Text HostTimeSeparator();
// A date in the host's short date format (on POSIX the locale's date format with a four-digit year).
Text HostShortDate(int aYear, int aMonth, int aDay);
// Lower case under the host's locale rules (beyond ASCII where the platform knows them).
Text HostLowerCase(TextView aText);

// Numbers as the host types them: read with HostDecimalSeparator (base/Formatting.h reads and writes
// them with a separator of the caller's choice).
// True when aText is a floating-point number. Never raises.
bool IsNumeric(const Text& aText);
// Reads a floating-point number; false when it is not one.
bool TryTextToFloat(const Text& aText, double& aOut);
// The digits of a numeric text as a fixed-width field (FormatNumberFixed of base/Formatting.h).
Text FormatNumberFixed(const Text& aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator);
