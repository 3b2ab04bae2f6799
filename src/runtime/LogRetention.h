#pragma once
// How long device logs are kept: every device log in a folder that was last written more than the kept
// number of days ago is deleted, once a day, when a device is built. Only files named as device logs go;
// the folders below (the payment journal's) and any other file are never touched.
#include <cstdint>

#include "base/Text.h"

// Days a device log is kept when ZRPA_LOG_KEEP_DAYS is not set: a year, what shop audits ask for.
inline constexpr std::int32_t kDefaultLogKeepDays = 365;
// The most ZRPA_LOG_KEEP_DAYS may say (a hundred years).
inline constexpr std::int32_t kMaxLogKeepDays = 36500;

struct tZR_LogKeepDays {
    std::int32_t Days = kDefaultLogKeepDays; // 0: every log is kept
    Text Note;                               // why the value was not taken; empty when it was
};

// The value of ZRPA_LOG_KEEP_DAYS: empty gives the default; a whole number from 0 (keep every log) to
// kMaxLogKeepDays is taken; anything else gives the default and a note naming the value.
tZR_LogKeepDays ParseLogKeepDays(const Text& aValue);

// True when aName is the name of a device log of driver aDriver (compared without case):
// aDriver + "_" + log id + "_yyyymmdd.log", or rotated, "_yyyymmdd_" + 17 digits + ".log".
bool IsDeviceLogName(TextView aName, TextView aDriver);

// Deletes the device logs of aDriver directly in aFolder (not below it) last written more than aDays days
// ago; nothing when aDays is 0. Looks at most at 100000 files. Returns how many it deleted.
std::size_t DeleteExpiredDeviceLogs(const Text& aFolder, TextView aDriver, std::int32_t aDays);
// The same at most once per local day for each folder and driver in this process: the first device built
// on a day pays for one look at the folder, the others for nothing.
void DeleteExpiredDeviceLogsDaily(const Text& aFolder, TextView aDriver, std::int32_t aDays);
