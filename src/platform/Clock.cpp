#include "platform/Clock.h"

TDateTime Now() {
    const LocalTimeParts t = LocalTimeNow();
    return EncodeDateTime(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Millisecond);
}
