#include "platform/Locale.h"
#include "support/ScopedLocale.h"

// Windows reads the user's regional settings, which a test does not change: the comma cases run only when
// the user's locale has a comma already (for instance a Wine prefix started with a German LANG).
ScopedCommaLocale::ScopedCommaLocale() : fActive(HostDecimalSeparator() == u",") {}
ScopedCommaLocale::~ScopedCommaLocale() {}
