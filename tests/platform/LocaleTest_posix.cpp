// The regional settings come from the C locale the host chose; the library never sets it.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "platform/Locale.h"

namespace {
TEST(LocalePosix, ShortDateAndSeparatorsFollowTheHostsLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (previous == "C") {
        EXPECT_EQ(TextToUtf8(HostShortDate(2026, 5, 30)),
                  "05/30/2026"); // the C locale's date with four digits
    }
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    EXPECT_EQ(TextToUtf8(HostShortDate(2026, 5, 30)), "30.05.2026");
    EXPECT_EQ(TextToUtf8(HostDecimalSeparator()), ",");
    EXPECT_EQ(TextToUtf8(HostTimeSeparator()), ":");
    EXPECT_EQ(TextToUtf8(HostLowerCase(u"PORT \u00c4")), "port \xC3\xA4");
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(TextToUtf8(HostDecimalSeparator()), std::string(std::localeconv()->decimal_point));
}
} // namespace
