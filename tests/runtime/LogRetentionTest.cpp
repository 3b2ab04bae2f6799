#include "runtime/LogRetention.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;

TEST(LogRetention, KeepDaysFromTheEnvironmentValue) {
    const struct {
        const char16_t* Value;
        std::int32_t Days;
        bool Noted;
    } kCases[] = {
        {u"", kDefaultLogKeepDays, false},
        {u"30", 30, false},
        {u"0", 0, false},
        {u"36500", 36500, false},
        {u"36501", 365, true},
        {u"-1", 365, true},
        {u"7 days", 365, true},
        {u"99999999999", 365, true},
    };
    for (const auto& c : kCases) {
        const tZR_LogKeepDays keep = ParseLogKeepDays(c.Value);
        EXPECT_EQ(keep.Days, c.Days) << TextToUtf8(c.Value);
        EXPECT_EQ(!keep.Note.empty(), c.Noted) << TextToUtf8(c.Value);
        if (c.Noted) {
            EXPECT_NE(keep.Note.find(u"ZRPA_LOG_KEEP_DAYS " + Text(c.Value) + u" invalid"), Text::npos);
        }
    }
}

TEST(LogRetention, OnlyDeviceLogsByTheirNameAreThem) {
    const struct {
        const char16_t* Name;
        bool DeviceLog;
    } kCases[] = {
        {u"ZRPA_RIVEVEDEV17_10_TILL01_20240501.log", true},
        {u"zrpa_rivevedev17_10_TILL01_20240501.log", true},
        {u"ZRPA_RIVEVEDEV17_10__20240501.log", true},
        {u"ZRPA_RIVEVEDEV17_10_TILL01_20240501_20240501140307045.log", true},
        {u"ZRPA_RIVEVEDEV17_10_TILL_01_20240501.log", true},
        {u"ZRPA_RIVEVEDEV17_10_TILL01_20240501.journal", false},
        {u"ZRPA_RIVEVEDEV17_10_TILL01_2024050.log", false},
        {u"ZRPA_RIVEVEDEV17_10_TILL01_20240501.log.bak", false},
        {u"ZRPA_RIVEVEDEV17_10.log", false},
        {u"OTHER_TILL01_20240501.log", false},
        {u"POS.log", false},
        {u"ZRPA_RIVEVEDEV17_10_20240501.log", false}, // no log id part at all
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(IsDeviceLogName(c.Name, u"ZRPA_RIVEVEDEV17_10"), c.DeviceLog) << TextToUtf8(c.Name);
    }
}

void Touch(const fs::path& aPath, int aDaysAgo) {
    std::ofstream(aPath, std::ios::binary) << "line\r\n";
    fs::last_write_time(aPath, fs::file_time_type::clock::now() - std::chrono::hours(24 * aDaysAgo));
}

TEST(LogRetention, DeletesExpiredDeviceLogsOnlyAndNeverTheJournal) {
    TempFolder dir;
    const fs::path payment = dir.Path() / "Payment";
    fs::create_directories(payment / "Journal");
    const std::string driver = "ZRPA_RIVEVEDEV17_10";
    const struct {
        fs::path Path;
        int DaysAgo;
        bool Kept;
    } kFiles[] = {
        {payment / (driver + "_TILL01_20200101.log"), 40, false},
        {payment / (driver + "_TILL01_20200101_20200101120000000.log"), 40, false},
        {payment / (driver + "_TILL01_20200301.log"), 20, true}, // younger than the kept days
        {payment / (driver + "_TILL01_20200101.journal"), 400, true},
        {payment / "Journal" / (driver + "_TILL01_20200101.log"), 400, true}, // in the journal's folder
        {payment / "Journal" / "20200101.journal", 400, true},
        {payment / "notes.txt", 400, true},
        {payment / "OTHER_TILL01_20200101.log", 400, true},
    };
    for (const auto& f : kFiles) {
        Touch(f.Path, f.DaysAgo);
    }
    // A link named as an old device log is no device log: it stays, and so does what it points to.
    std::error_code noLinks; // Windows without the right to make links leaves that part out
    fs::create_symlink(payment / "notes.txt", payment / (driver + "_LINK_20200101.log"), noLinks);

    EXPECT_EQ(DeleteExpiredDeviceLogs(payment.u16string(), Utf8ToText(driver), 0), 0u); // 0: keep all
    EXPECT_EQ(DeleteExpiredDeviceLogs(payment.u16string(), Utf8ToText(driver), 30), 2u);
    for (const auto& f : kFiles) {
        EXPECT_EQ(fs::exists(f.Path), f.Kept) << f.Path;
    }
    EXPECT_TRUE(noLinks || fs::is_symlink(payment / (driver + "_LINK_20200101.log")));
    // Once a day: the second call of the day looks at nothing.
    Touch(payment / (driver + "_TILL02_20200101.log"), 40);
    DeleteExpiredDeviceLogsDaily(payment.u16string(), Utf8ToText(driver), 30);
    EXPECT_FALSE(fs::exists(payment / (driver + "_TILL02_20200101.log")));
    Touch(payment / (driver + "_TILL03_20200101.log"), 40);
    DeleteExpiredDeviceLogsDaily(payment.u16string(), Utf8ToText(driver), 30);
    EXPECT_TRUE(fs::exists(payment / (driver + "_TILL03_20200101.log")));
}
} // namespace
