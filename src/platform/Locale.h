#pragma once
// The host's regional settings, read as they are: the library never changes the process locale.
// Windows: the user default locale. POSIX: the current C locale (whatever the host set with setlocale).
#include "base/Text.h"

// Decimal separator of numbers typed by a user ("." or ",", rarely longer).
Text HostDecimalSeparator();
// Separator between hours, minutes and seconds (":" almost everywhere).
Text HostTimeSeparator();
// A date in the host's short date format (on POSIX the locale's date format with a four-digit year).
Text HostShortDate(int aYear, int aMonth, int aDay);
// Lower case under the host's locale rules (beyond ASCII where the platform knows them).
Text HostLowerCase(TextView aText);
