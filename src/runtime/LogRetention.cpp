#include "runtime/LogRetention.h"

#include <map>
#include <mutex>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "runtime/LogWriter.h"

namespace {
constexpr std::size_t kMaxFilesLooked = 100000;
constexpr std::int64_t kSecondsPerDay = 86400;

bool AllDigits(TextView aText) {
    if (aText.empty()) {
        return false;
    }
    for (char16_t c : aText) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

// True when aStem ends with "_" + aDigits digits; the stem before it is left in aRest.
bool EndsWithNumber(TextView aStem, std::size_t aDigits, TextView& aRest) {
    if (aStem.size() < aDigits + 1 || aStem[aStem.size() - aDigits - 1] != u'_' ||
        !AllDigits(aStem.substr(aStem.size() - aDigits))) {
        return false;
    }
    aRest = aStem.substr(0, aStem.size() - aDigits - 1);
    return true;
}
} // namespace

tZR_LogKeepDays ParseLogKeepDays(const Text& aValue) {
    tZR_LogKeepDays keep;
    if (aValue.empty()) {
        return keep;
    }
    if (AllDigits(aValue) && aValue.size() <= 5) {
        const std::int32_t days = std::stoi(TextToUtf8(aValue));
        if (days <= kMaxLogKeepDays) {
            keep.Days = days;
            return keep;
        }
    }
    keep.Note = u"ZRPA_LOG_KEEP_DAYS " + CutValue(aValue) +
                u" invalid. Allowed values are: 0 (keep every log) to " + IntToText(kMaxLogKeepDays) +
                u" days. Device logs are kept " + IntToText(kDefaultLogKeepDays) + u" days.";
    return keep;
}

bool IsDeviceLogName(TextView aName, TextView aDriver) {
    constexpr TextView kExtension = u".log";
    if (aName.size() <= aDriver.size() + 1 + kExtension.size() ||
        !SameTextAscii(aName.substr(0, aDriver.size()), aDriver) || aName[aDriver.size()] != u'_' ||
        aName.substr(aName.size() - kExtension.size()) != kExtension) {
        return false;
    }
    TextView stem = aName.substr(aDriver.size() + 1, aName.size() - aDriver.size() - 1 - kExtension.size());
    TextView rest;
    if (EndsWithNumber(stem, 17, rest)) {
        stem = rest;
    }
    // The log id may be empty: "<Driver>__yyyymmdd.log".
    return EndsWithNumber(stem, 8, rest);
}

std::size_t DeleteExpiredDeviceLogs(const Text& aFolder, TextView aDriver, std::int32_t aDays) {
    if (aDays <= 0 || aDriver.empty()) {
        return 0;
    }
    std::size_t deleted = 0;
    for (const Text& name : PlainFilesOlderThan(aFolder, aDays * kSecondsPerDay, kMaxFilesLooked)) {
        if (IsDeviceLogName(name, aDriver) && DeletePlainFile(JoinPath(aFolder, name))) {
            ++deleted;
        }
    }
    return deleted;
}

void DeleteExpiredDeviceLogsDaily(const Text& aFolder, TextView aDriver, std::int32_t aDays) {
    static std::mutex lock;
    static std::map<Text, std::int32_t> lastDay;
    const LocalTimeParts now = LocalTimeNow();
    const std::int32_t today = now.Year * 10000 + now.Month * 100 + now.Day;
    {
        std::lock_guard<std::mutex> guard(lock);
        std::int32_t& last = lastDay[aFolder + u"|" + LowerCase(aDriver)];
        if (last == today) {
            return;
        }
        last = today;
    }
    DeleteExpiredDeviceLogs(aFolder, aDriver, aDays);
}
