#include <clocale>
#include <cwctype>
#include <langinfo.h>
#include <time.h>

#include "platform/Locale.h"

Text HostDecimalSeparator() {
    const lconv* conv = std::localeconv();
    if (conv == nullptr || conv->decimal_point == nullptr || conv->decimal_point[0] == '\0') {
        return u".";
    }
    return Utf8ToText(conv->decimal_point);
}

// POSIX locales describe the time format, not a separator; every common one uses ":".
Text HostTimeSeparator() {
    return u":";
}

Text HostShortDate(int aYear, int aMonth, int aDay) {
    // The locale's date format with a four-digit year (the C locale's "%m/%d/%y" becomes mm/dd/yyyy).
    std::string format = nl_langinfo(D_FMT);
    if (format.empty()) {
        format = "%d/%m/%Y";
    }
    for (std::size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] == '%') {
            if (format[i + 1] == 'y') {
                format[i + 1] = 'Y';
            }
            ++i;
        }
    }
    tm parts{};
    parts.tm_year = aYear - 1900;
    parts.tm_mon = aMonth - 1;
    parts.tm_mday = aDay;
    char buffer[128];
    const std::size_t n = strftime(buffer, sizeof buffer, format.c_str(), &parts);
    return Utf8ToText(std::string_view(buffer, n));
}

Text HostLowerCase(TextView aText) {
    Text out(aText);
    for (char16_t& c : out) {
        if (c < 0xD800 || c > 0xDFFF) {
            const std::wint_t lower = std::towlower(static_cast<std::wint_t>(c));
            if (lower <= 0xFFFF && (lower < 0xD800 || lower > 0xDFFF)) {
                c = static_cast<char16_t>(lower);
            }
        }
    }
    return out;
}
