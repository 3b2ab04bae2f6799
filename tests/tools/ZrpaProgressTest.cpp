// What zrpa shows while the terminal holds a call, and how it shows money: the technician reads these to
// judge a terminal, so a stale line or an odd amount sends them looking for a fault that is not there.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "Progress.h"
#include "ZrpaOutput.h"
#include "support/TempFolder.h"

namespace {
void Append(const std::filesystem::path& aFile, const std::string& aText) {
    std::ofstream out(aFile, std::ios::binary | std::ios::app);
    out << aText;
}

std::string Utf8(const std::filesystem::path& aPath) {
    const std::u8string text = aPath.u8string();
    return std::string(text.begin(), text.end());
}

const char kPrefix[] = "ZRPA_RIVEVEDEV17_10_TILL01_";
} // namespace

// The previous operation's STOP line is not this operation's progress; lines the call writes are, in
// whichever of the library's log folders it writes them.
TEST(ZrpaProgress, ShowsOnlyTheLinesOfTheCallInAnyLogFolder) {
    TempFolder beside, user;
    const std::vector<std::string> folders = {Utf8(beside.Path()), Utf8(user.Path())};
    const auto old = beside.Path() / (std::string(kPrefix) + "20261208.log");
    Append(old, "2026-12-08 18:00:00:000 - *** STOP ***\r\n");

    const LogMark mark = MarkNewestLog(folders, kPrefix);
    EXPECT_EQ(mark.File, Utf8(old));
    EXPECT_EQ(LatestLogLine(folders, kPrefix, mark, 50), "");

    Append(old, "2026-12-08 18:00:01:000 - Request: PAY | amount=1\r\n");
    EXPECT_EQ(LatestLogLine(folders, kPrefix, mark, 50), "Request: PAY | amount=1");

    // The library moved to the user's folder (the one beside the program stopped being writable): the
    // newest file is read, from its start.
    const auto moved = user.Path() / (std::string(kPrefix) + "20261209.log");
    Append(moved, "2026-12-09 09:00:00:000 - <- ACK\r\n");
    std::filesystem::last_write_time(moved, std::filesystem::last_write_time(old) + std::chrono::seconds(5));
    EXPECT_EQ(LatestLogLine(folders, kPrefix, mark, 50), "<- ACK");
    EXPECT_EQ(NewestLogFile(folders, kPrefix), Utf8(moved));

    // A file begun anew under the marked name (shorter than at the mark) is new from its start.
    const LogMark late = MarkNewestLog(folders, kPrefix);
    std::filesystem::resize_file(moved, 0);
    Append(moved, "2026-12-09 09:00:01:000 - BEGIN\r\n");
    std::filesystem::last_write_time(moved, std::filesystem::last_write_time(old) + std::chrono::seconds(10));
    EXPECT_EQ(LatestLogLine(folders, kPrefix, late, 50), "BEGIN");

    // Nothing there yet, or a folder that does not exist: no line, no error.
    EXPECT_EQ(LatestLogLine({Utf8(beside.Path() / "none")}, kPrefix, LogMark{}, 50), "");
    EXPECT_EQ(MarkNewestLog({Utf8(beside.Path() / "none")}, kPrefix).File, "");
}

TEST(ZrpaProgress, SummaryShowsMoneyWithTwoDecimals) {
    const struct {
        const char* Amount;
        const char* Shown;
    } kCases[] = {
        {"2.5", "2.50 EUR"},      {"2", "2.00 EUR"},    {"12.34", "12.34 EUR"},
        {"12.345", "12.345 EUR"}, {"0.05", "0.05 EUR"},
    };
    for (const auto& c : kCases) {
        ZrpaResult r;
        r.Command = "pay";
        r.Outcome = "approved";
        r.Document = std::string("<PaymentAmount>") + c.Amount +
                     "</PaymentAmount><PaymentCurrency>EUR</PaymentCurrency>";
        EXPECT_NE(SummaryText(r).find(std::string("Amount:            ") + c.Shown + "\n"), std::string::npos)
            << SummaryText(r);
    }
    ZrpaResult zero;
    zero.Document = "<PaymentAmount>0</PaymentAmount>";
    EXPECT_EQ(SummaryText(zero).find("Amount"), std::string::npos);
}
