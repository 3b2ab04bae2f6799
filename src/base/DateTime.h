#pragma once
// Date-times are doubles counting days since 1899-12-30, the fraction being the local time of day.
#include <cstdint>

using TDateTime = double;

struct DateTimeParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

bool IsValidDate(int aYear, int aMonth, int aDay);
// False when a field is out of range (month 13, hour 24, 30 February, ...).
bool TryEncodeDateTime(const DateTimeParts& aParts, TDateTime& aOut);
TDateTime EncodeDateTime(int aYear, int aMonth, int aDay, int aHour = 0, int aMinute = 0, int aSecond = 0,
                         int aMillisecond = 0);
// Splits a date-time into its fields, rounding to the nearest millisecond.
DateTimeParts DecodeDateTime(TDateTime aValue);
