#include <windows.h>

#include "platform/Locale.h"

namespace {
Text LocaleText(LCTYPE aType, const char16_t* aFallback) {
    wchar_t buffer[16];
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, aType, buffer, 16);
    if (n <= 1) {
        return aFallback;
    }
    return Text(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n - 1));
}

} // namespace

Text HostDecimalSeparator() {
    return LocaleText(LOCALE_SDECIMAL, u".");
}

Text HostTimeSeparator() {
    return LocaleText(LOCALE_STIME, u":");
}

Text HostShortDate(int aYear, int aMonth, int aDay) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(aYear);
    st.wMonth = static_cast<WORD>(aMonth);
    st.wDay = static_cast<WORD>(aDay);
    wchar_t buffer[80];
    const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 80);
    if (n <= 1) {
        // Dates the system cannot format (before 1601) keep the common European form.
        return ZeroPadded(aDay, 2) + u"/" + ZeroPadded(aMonth, 2) + u"/" + ZeroPadded(aYear, 4);
    }
    return Text(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n - 1));
}

Text HostLowerCase(TextView aText) {
    Text out(aText);
    if (!out.empty()) {
        CharLowerBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
    }
    return out;
}
