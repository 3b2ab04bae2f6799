#include "base/DateTime.h"

#include <cfloat>
#include <cmath>

// Date-times, amounts in fixed fields and milliseconds come from doubles: every build must round each
// operation to double, as SSE2 does. The x87 unit's wider intermediates would make the i686 product
// differ in the last bit from the builds it is tested beside.
static_assert(FLT_EVAL_METHOD == 0, "build with SSE2 floating point (-msse2 -mfpmath=sse on i686)");

namespace {
// Days from 0001-01-01 (proleptic Gregorian) to the given date, 1-based like the civil calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468; // days since 1970-01-01
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr std::int64_t kEpochOffset = -25569;
} // namespace

bool IsValidDate(int aYear, int aMonth, int aDay) {
    if (aYear < 1 || aYear > 9999 || aMonth < 1 || aMonth > 12 || aDay < 1) {
        return false;
    }
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (aYear % 4 == 0 && aYear % 100 != 0) || aYear % 400 == 0;
    const int max = aMonth == 2 && leap ? 29 : kDays[aMonth - 1];
    return aDay <= max;
}

bool TryEncodeDateTime(const DateTimeParts& p, TDateTime& aOut) {
    if (!IsValidDate(p.Year, p.Month, p.Day) || p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 ||
        p.Second < 0 || p.Second > 59 || p.Millisecond < 0 || p.Millisecond > 999) {
        return false;
    }
    const std::int64_t days =
        DaysFromCivil(p.Year, static_cast<unsigned>(p.Month), static_cast<unsigned>(p.Day)) - kEpochOffset;
    const double time =
        ((p.Hour * 3600.0 + p.Minute * 60.0 + p.Second) * 1000.0 + p.Millisecond) / 86400000.0;
    // Before the epoch the fraction counts forward from the day too (the sign covers only the day).
    aOut = days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
    return true;
}

TDateTime EncodeDateTime(int aYear, int aMonth, int aDay, int aHour, int aMinute, int aSecond,
                         int aMillisecond) {
    TDateTime v = 0;
    TryEncodeDateTime({aYear, aMonth, aDay, aHour, aMinute, aSecond, aMillisecond}, v);
    return v;
}

DateTimeParts DecodeDateTime(TDateTime aValue) {
    DateTimeParts p;
    if (!std::isfinite(aValue)) {
        return p;
    }
    double dayPart = std::trunc(aValue);
    double frac = std::fabs(aValue - dayPart);
    auto ms = static_cast<std::int64_t>(std::llround(frac * 86400000.0));
    if (ms >= 86400000) {
        ms -= 86400000;
        dayPart += aValue >= 0 ? 1 : -1;
    }
    CivilFromDays(static_cast<std::int64_t>(dayPart) + kEpochOffset, p.Year, p.Month, p.Day);
    p.Hour = static_cast<int>(ms / 3600000);
    p.Minute = static_cast<int>(ms / 60000 % 60);
    p.Second = static_cast<int>(ms / 1000 % 60);
    p.Millisecond = static_cast<int>(ms % 1000);
    return p;
}
