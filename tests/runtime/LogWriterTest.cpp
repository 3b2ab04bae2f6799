#include "runtime/LogWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "base/ZrError.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/Process.h"
#include "support/ErrorOf.h"
#include "support/FileBlocker.h"
#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;
constexpr std::int32_t kWait =
    30000; // upper bound for the writer thread to catch up; never reached when it works

std::string U8(const Text& t) {
    return TextToUtf8(t);
}
Text Sep() {
    return Text(1, PathSeparator());
}

// "yyyy-mm-dd hh:mm:ss:zzz" with the host's time separator, as a regular expression.
std::string StampPattern() {
    const std::string sep =
        std::regex_replace(U8(HostTimeSeparator()), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    return R"(\d{4}-\d{2}-\d{2} \d{2})" + sep + R"(\d{2})" + sep + R"(\d{2})" + sep + R"(\d{3})";
}

std::vector<std::string> LinesOf(const tZR_LogWriter& aWriter) {
    return ReadCrLfLines(fs::path(aWriter.FileName()));
}

std::size_t CountContaining(const std::vector<std::string>& aLines, const std::string& aPart) {
    return static_cast<std::size_t>(std::count_if(aLines.begin(), aLines.end(), [&](const std::string& l) {
        return l.find(aPart) != std::string::npos;
    }));
}

TEST(LogWriter, LinesCarryStampMarkerAndOptionalGuid) {
    TempFolder dir;
    tZR_LogWriter writer(u"App", dir.AsText(), 0, false);
    tZR_LogWriter cut(u"Cut", dir.AsText(), 4, false);
    writer.Write(tZR_MessageType::let_info, u"Started");
    writer.Write(tZR_MessageType::let_error, u"Timeout");
    writer.SetShowInstanceGuid(true);
    writer.Write(tZR_MessageType::let_info, u"Guid line");
    writer.Write(tZR_MessageType::let_error, u"Caff\u00e8 \u20ac1,50");
    // A check byte of any value (here LF) and every other control character stay inside one line.
    writer.Write(tZR_MessageType::let_info, Text(u"Received:\x02"
                                                 u"00X\x03\n|\r\x01\x04\x06\x15\x1b\x09\x7f\x1f"));
    cut.Write(tZR_MessageType::let_info, u"0123456789");
    cut.Write(tZR_MessageType::let_error, u"abc");
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    ASSERT_TRUE(cut.WaitUntilWritten(kWait));

    const std::string stamp = StampPattern();
    const std::string guid = R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})";
    const std::vector<std::string> lines = LinesOf(writer);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + " - Started"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + " - ERROR - Timeout"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(stamp + " - " + guid + " - Guid line"))) << lines[2];
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(stamp + " - " + guid + " - ERROR - .*"))) << lines[3];
    EXPECT_NE(lines[2].find(U8(writer.Guid())), std::string::npos);
    EXPECT_NE(lines[4].find(" - Received:<STX>00X<ETX><0A>|<0D><SOH><EOT><ACK><NAK><ESC><09><7F><1F>"),
              std::string::npos)
        << lines[4];
    // UTF-8 without a byte-order mark, CR LF after every line, nothing else.
    const std::string bytes = ReadFileBytes(fs::path(writer.FileName()));
    EXPECT_EQ(bytes.substr(0, 4), "20" + lines[0].substr(2, 2));
    EXPECT_NE(bytes.find("Caff\xC3\xA8 \xE2\x82\xAC"
                         "1,50\r\n"),
              std::string::npos);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 5);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 5);

    const std::vector<std::string> cutLines = LinesOf(cut);
    ASSERT_EQ(cutLines.size(), 2u);
    EXPECT_TRUE(std::regex_match(cutLines[0], std::regex(stamp + " - 0123"))) << cutLines[0];
    EXPECT_TRUE(std::regex_match(cutLines[1], std::regex(stamp + " - ERROR - abc"))) << cutLines[1];
    EXPECT_EQ(writer.LinesWritten(), 5u);
}

// The hex dump is made on the writer's thread from the part the caller names, and cut with the rest.
TEST(LogWriter, HexDumpsFollowTheirLineAndAreCutWithIt) {
    TempFolder dir;
    tZR_LogWriter writer(u"Hex", dir.AsText(), 0, false);
    tZR_LogWriter cut(u"HexCut", dir.AsText(), 12, false);
    const Text read = u"Read:\x02"
                      u"A\x03";
    writer.Write(tZR_MessageType::let_info, read, 5);
    writer.Write(tZR_MessageType::let_error, u"Read Timeout:", 13);
    writer.Write(tZR_MessageType::let_info, read, 0);
    writer.Write(tZR_MessageType::let_info, read, 99); // past the end: no dump
    cut.Write(tZR_MessageType::let_info, read, 5);
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    ASSERT_TRUE(cut.WaitUntilWritten(kWait));

    const std::string stamp = StampPattern();
    const std::vector<std::string> lines = LinesOf(writer);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + R"( - Read:<STX>A<ETX> \[02 41 03\])")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + R"( - ERROR - Read Timeout: \[\])")))
        << lines[1];
    EXPECT_TRUE(
        std::regex_match(lines[2], std::regex(stamp + R"( - Read:<STX>A<ETX> \[52 65 61 64 3a 02 41 03\])")))
        << lines[2];
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(stamp + R"( - Read:<STX>A<ETX>)"))) << lines[3];
    const std::vector<std::string> cutLines = LinesOf(cut);
    ASSERT_EQ(cutLines.size(), 1u);
    EXPECT_TRUE(std::regex_match(cutLines[0], std::regex(stamp + R"( - Read:<STX>A<ETX> \[02)")))
        << cutLines[0];
}

// A frame of a megabyte becomes a line that shows its head, its tail and its length, with the hex dump of
// what it shows: no line reaches 64 KiB, whatever the characters (each of these takes the most room).
TEST(LogWriter, NoLineReaches64KiB) {
    TempFolder dir;
    tZR_LogWriter writer(u"Big", dir.AsText(), 0, false);
    writer.SetShowInstanceGuid(true);
    const struct {
        char16_t Fill;
        bool HexDump;
    } kCases[] = {{u'A', false}, {u'\x02', true}, {u'\x02', false}, {u'\u20ac', true}, {u'\xd800', true}};
    for (const auto& c : kCases) {
        const Text frame = u"<" + Text(1024 * 1024 - 2, c.Fill) + u">";
        writer.Write(tZR_MessageType::let_error, u"Read:" + frame, c.HexDump ? 5 : tZR_LogWriter::kNoHexDump);
    }
    writer.Write(tZR_MessageType::let_info, u"Read:" + Text(7995, u'x')); // 8000 characters: kept whole
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    const std::vector<std::string> lines = LinesOf(writer);
    ASSERT_EQ(lines.size(), std::size(kCases) + 1);
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        EXPECT_LT(lines[i].size() + 2, 64u * 1024u) << i;
        EXPECT_NE(lines[i].find("Read:<"), std::string::npos) << i;
        EXPECT_NE(lines[i].find(" \u2026(1048581 characters, the first and last 4000 shown)\u2026 "),
                  std::string::npos)
            << i;
        EXPECT_EQ(lines[i].back() == ']', kCases[i].HexDump) << i;
        EXPECT_NE(lines[i].find(kCases[i].HexDump ? "3e]" : ">"), std::string::npos) << i;
    }
    EXPECT_EQ(lines.back().size(), lines.back().find("Read:") + 8000);
}

TEST(LogWriter, GuidsAreRandomAndInRegistryForm) {
    TempFolder dir;
    std::set<Text> seen;
    for (int i = 0; i < 8; ++i) {
        tZR_LogWriter writer(u"G" + IntToText(i), dir.AsText(), 0, false);
        const Text guid = writer.Guid();
        EXPECT_TRUE(std::regex_match(
            U8(guid), std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})")))
            << U8(guid);
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 8u);
}

TEST(LogWriter, NamesJoinDirectoryAndFileName) {
    TempFolder dir;
    const Text root = dir.AsText();
    const LocalTimeParts before = LocalTimeNow();
    tZR_LogWriter daily(u"Device_A1", root, 0, true);
    const LocalTimeParts after = LocalTimeNow();
    auto dated = [](const LocalTimeParts& t) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.Year, t.Month, t.Day);
        return std::string("Device_A1_") + buf + ".log";
    };
    const std::string dailyName = U8(daily.FileName().substr(root.size() + 1));
    EXPECT_TRUE(dailyName == dated(before) || dailyName == dated(after)) << dailyName;
    EXPECT_TRUE(daily.Daily());

    tZR_LogWriter writer(u"App", root, 0, false);
    EXPECT_EQ(writer.FileName(), root + Sep() + u"App.log");
    EXPECT_EQ(writer.Directory(), root);
    EXPECT_EQ(writer.MaxLogFileSize(), 5000);
    EXPECT_FALSE(writer.ShowInstanceGuid());

    struct Case {
        Text directory; // applied first when not empty
        Text fileName;  // applied next when not empty
        Text expected;
    };
    const Text nested = root + Sep() + u"a" + Sep() + u"b";
    const Case cases[] = {
        {nested, u"", nested + Sep() + u"App.log"},     {root + u"/", u"", root + u"/App.log"},
        {root + u"\\", u"", root + u"\\App.log"},       {root, u"other.txt", root + Sep() + u"other.txt"},
        {root, u"x/y\\z.log", root + Sep() + u"z.log"},
    };
    for (const Case& c : cases) {
        if (!c.directory.empty()) {
            writer.SetDirectory(c.directory);
        }
        if (!c.fileName.empty()) {
            writer.SetFileName(c.fileName);
        }
        EXPECT_EQ(U8(writer.FileName()), U8(c.expected));
    }
    EXPECT_TRUE(fs::is_directory(fs::path(nested)));

    writer.SetFileName(u"App.log");
    writer.Write(tZR_MessageType::let_info, u"here");
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    EXPECT_EQ(LinesOf(writer).size(), 1u);
}

TEST(LogWriter, InvalidPathCharactersRaiseAndChangeNothing) {
    TempFolder dir;
    const Text root = dir.AsText();
    for (const Text& bad : {Text(u"a|b"), Text(u"a<b"), Text(u"a>b"), Text(u"a\"b"), Text(u"a*b"),
                            Text(u"a?b"), Text(u"a\tb"), Text(u"a\0b", 3)}) {
        EXPECT_EQ(ErrorOf([&] { tZR_LogWriter w(bad, root, 0, false); }),
                  u"Invalid characters in path: " + bad + u".log");
        EXPECT_EQ(ErrorOf([&] { tZR_LogWriter w(u"ok", root + Sep() + bad, 0, false); }),
                  u"Invalid characters in path: " + root + Sep() + bad);
    }
    // However deep the folder, the message keeps the character it is about.
    const Text deep = root + Sep() + Text(300, u'd') + u"|x";
    EXPECT_EQ(ErrorOf([&] { tZR_LogWriter w(u"ok", deep, 0, false); }),
              u"Invalid characters in path: " + deep);

    tZR_LogWriter writer(u"App", root, 0, false);
    const Text before = writer.FileName();
    EXPECT_EQ(ErrorOf([&] { writer.SetDirectory(root + u"|x"); }),
              u"Invalid characters in path: " + root + u"|x");
    EXPECT_EQ(ErrorOf([&] { writer.SetFileName(u"x>y.log"); }), u"Invalid characters in path: x>y.log");
    EXPECT_EQ(writer.FileName(), before);
    EXPECT_EQ(writer.Directory(), root);

    // With neither a folder nor a name there is no file to write to.
    writer.SetDirectory(u"");
    writer.SetFileName(u"");
    EXPECT_EQ(writer.FileName(), u"");
    EXPECT_EQ(ErrorOf([&] { writer.Write(tZR_MessageType::let_info, u"x"); }), u"Log filename is empty");
}

// The thread is held while the queue fills: 20000 lines fit, the rest are counted and reported once.
TEST(LogWriter, FullQueueDropsCountsAndReports) {
    TempFolder dir;
    tZR_LogWriter writer(u"Drops", dir.AsText(), 0, false);
    writer.SetDropReportIntervalForTest(0);

    writer.HoldThreadForTest(true);
    ASSERT_TRUE(writer.WaitThreadHeldForTest(kWait));
    for (int i = 0; i < 20001; ++i) {
        writer.Write(tZR_MessageType::let_info, u"first " + IntToText(i));
    }
    EXPECT_EQ(writer.DroppedTotal(), 1);
    writer.HoldThreadForTest(false);
    for (int i = 0; i < kWait && writer.LinesWritten() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Held again with most of the queue still waiting: fill it up until three more lines are dropped.
    writer.HoldThreadForTest(true);
    ASSERT_TRUE(writer.WaitThreadHeldForTest(kWait));
    int second = 0;
    while (writer.DroppedTotal() < 4 && second < 20003) {
        writer.Write(tZR_MessageType::let_info, u"second " + IntToText(second++));
    }
    EXPECT_EQ(writer.DroppedTotal(), 4);
    writer.HoldThreadForTest(false);
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));

    const std::vector<std::string> lines = LinesOf(writer);
    const std::size_t kept = static_cast<std::size_t>(second - 3);
    ASSERT_EQ(lines.size(), 20000u + kept + 2u);
    EXPECT_EQ(CountContaining(lines, " - first "), 20000u);
    EXPECT_EQ(CountContaining(lines, " - second "), kept);
    EXPECT_EQ(CountContaining(lines, " - WARN - "), 2u);
    // A report follows the first line written after the drops; the oldest lines are the ones kept.
    EXPECT_TRUE(std::regex_match(
        lines[1],
        std::regex(StampPattern() + R"( - WARN - Log backpressure: dropped 1 lines \(total=1\)\.)")))
        << lines[1];
    const auto lastFirst = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& l) {
        return l.find(" - first ") != std::string::npos;
    });
    EXPECT_NE(lastFirst->find(" - first 19999"), std::string::npos) << *lastFirst;
    EXPECT_NE(lines.back().find(" - second " + std::to_string(kept - 1)), std::string::npos) << lines.back();
    const auto report = std::find_if(lines.begin() + 2, lines.end(), [](const std::string& l) {
        return l.find(" - WARN - ") != std::string::npos;
    });
    ASSERT_NE(report, lines.end());
    EXPECT_TRUE(std::regex_match(
        *report, std::regex(StampPattern() + R"( - WARN - Log backpressure: dropped 3 lines \(total=4\)\.)")))
        << *report;
    EXPECT_EQ(writer.LinesWritten(), lines.size());
}

TEST(LogWriter, RotatesOnlyAboveTheLimitAndChecksEveryTwentiethLine) {
    TempFolder dir;
    const fs::path file = dir.Path() / "Rot.log";
    { std::ofstream(file, std::ios::binary) << std::string(1024, 'x'); }
    tZR_LogWriter writer(u"Rot", dir.AsText(), 0, false);
    writer.SetMaxLogFileSize(1);
    EXPECT_TRUE(writer.CheckLogfileSize());
    EXPECT_EQ(writer.GetLogFileSize(), 1024);
    // Line 1 finds exactly 1024 bytes: no rotation. Lines 2 to 20 are not checked; line 21 is and moves.
    for (int i = 1; i <= 21; ++i) {
        writer.Write(tZR_MessageType::let_info, u"line " + IntToText(i));
    }
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));

    const std::vector<std::string> current = ReadCrLfLines(file);
    ASSERT_EQ(current.size(), 1u);
    EXPECT_NE(current[0].find(" - line 21"), std::string::npos);
    const auto rotated = FilesStartingWith(dir.Path(), "Rot_");
    ASSERT_EQ(rotated.size(), 1u);
    EXPECT_TRUE(std::regex_match(rotated[0].filename().string(), std::regex(R"(Rot_\d{17}\.log)")))
        << rotated[0].filename().string();
    const std::string old = ReadFileBytes(rotated[0]);
    EXPECT_EQ(old.substr(0, 1024), std::string(1024, 'x'));
    EXPECT_NE(old.find(" - line 20\r\n"), std::string::npos);
    EXPECT_FALSE(writer.CheckLogfileSize());
    EXPECT_EQ(writer.LinesWritten(), 21u);

    // A missing file has no size and is not rotated.
    tZR_LogWriter fresh(u"Fresh", dir.AsText(), 0, false);
    EXPECT_EQ(fresh.GetLogFileSize(), -1);
}

TEST(LogWriter, OneByteAboveTheLimitRotatesAtTheFirstLine) {
    TempFolder dir;
    const fs::path file = dir.Path() / "Big.log";
    { std::ofstream(file, std::ios::binary) << std::string(1025, 'y'); }
    tZR_LogWriter writer(u"Big", dir.AsText(), 0, false);
    writer.SetMaxLogFileSize(1);
    writer.Write(tZR_MessageType::let_info, u"fresh");
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    ASSERT_EQ(ReadCrLfLines(file).size(), 1u);
    const auto rotated = FilesStartingWith(dir.Path(), "Big_");
    ASSERT_EQ(rotated.size(), 1u);
    EXPECT_EQ(ReadFileBytes(rotated[0]), std::string(1025, 'y'));
}

class LogWriterBlocked : public ::testing::TestWithParam<FileBlocker::Kind> {};

TEST_P(LogWriterBlocked, RetriesThenWritesOrGivesUpAfterElevenAttempts) {
    TempFolder dir;
    tZR_LogWriter writer(u"Busy", dir.AsText(), 0, false);
    writer.SetFileRetryIntervalForTest(0);
    const fs::path file = fs::path(writer.FileName());
    {
        FileBlocker blocker(file, GetParam());
        if (!blocker.Blocks()) {
            GTEST_SKIP() << "this user may write to a read-only file here";
        }
        writer.Write(tZR_MessageType::let_info, u"late");
        // Released after two failed attempts: a later attempt writes the line.
        for (int i = 0; i < kWait && writer.FailedWriteAttempts() < 2; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_GE(writer.FailedWriteAttempts(), 2u);
    }
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    EXPECT_LT(writer.FailedWriteAttempts(), 11u);
    std::vector<std::string> lines = ReadCrLfLines(file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" - late"), std::string::npos);

    const std::uint64_t failedBefore = writer.FailedWriteAttempts();
    {
        FileBlocker blocker(file, GetParam());
        writer.Write(tZR_MessageType::let_info, u"lost");
        ASSERT_TRUE(writer.WaitUntilWritten(kWait));
        EXPECT_EQ(writer.FailedWriteAttempts() - failedBefore, 11u);
    }
    EXPECT_EQ(writer.LinesLost(), 1u);
    // The file works again: the next line is led by the count of what was lost.
    writer.Write(tZR_MessageType::let_info, u"after");
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    lines = ReadCrLfLines(file);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(
        lines[1], std::regex(StampPattern() +
                             R"( - WARN - Log file could not be written: lost 1 lines \(total=1\)\.)")))
        << lines[1];
    EXPECT_NE(lines[2].find(" - after"), std::string::npos);
    EXPECT_EQ(CountContaining(lines, " - lost"), 0u);
    EXPECT_EQ(writer.LinesWritten(), 3u);
}

// A folder that cannot be made (its parent is a file: this holds for every user, root included, and
// under Wine) costs the attempts of one line; the lines after it are lost at once and counted, and the
// close does not wait for them.
TEST(LogWriter, AnUnwritableFolderIsNotRetriedLineByLine) {
    TempFolder dir;
    { std::ofstream(dir.Path() / "plain", std::ios::binary) << "x"; }
    const Text folder = dir.AsText() + Sep() + u"plain" + Sep() + u"LogFiles";
    auto writer = std::make_unique<tZR_LogWriter>(u"Nowhere", folder, 0, false);
    for (int i = 0; i < 200; ++i) {
        writer->Write(tZR_MessageType::let_info, u"line " + IntToText(i));
    }
    ASSERT_TRUE(writer->WaitUntilWritten(kWait));
    EXPECT_EQ(writer->LinesLost(), 200u);
    EXPECT_EQ(writer->LinesWritten(), 0u);
    // Eleven for the first line, then one per retry interval at most: far below one per line.
    EXPECT_GE(writer->FailedWriteAttempts(), 11u);
    EXPECT_LT(writer->FailedWriteAttempts(), 100u);
    for (int i = 0; i < 1000; ++i) {
        writer->Write(tZR_MessageType::let_info, u"queued at the close");
    }
    writer.reset();
    EXPECT_FALSE(fs::exists(fs::path(folder)));
}

INSTANTIATE_TEST_SUITE_P(LogWriterFile, LogWriterBlocked,
                         ::testing::Values(FileBlocker::Kind::Locked, FileBlocker::Kind::ReadOnly));

TEST(LogWriter, EveryLineQueuedBeforeDestructionIsOnDisk) {
    TempFolder dir;
    Text name;
    {
        tZR_LogWriter writer(u"Flush", dir.AsText(), 0, false);
        name = writer.FileName();
        std::vector<std::thread> producers;
        for (int t = 0; t < 4; ++t) {
            producers.emplace_back([&writer, t] {
                for (int i = 0; i < 500; ++i) {
                    writer.Write(tZR_MessageType::let_info, u"p" + IntToText(t) + u" " + IntToText(i));
                }
            });
        }
        for (std::thread& p : producers) {
            p.join();
        }
    }
    const std::vector<std::string> lines = ReadCrLfLines(fs::path(name));
    ASSERT_EQ(lines.size(), 2000u);
    // Each producer's lines keep their order.
    for (int t = 0; t < 4; ++t) {
        int next = 0;
        const std::string tag = " - p" + std::to_string(t) + " ";
        for (const std::string& l : lines) {
            const std::size_t at = l.find(tag);
            if (at != std::string::npos) {
                EXPECT_EQ(l.substr(at + tag.size()), std::to_string(next));
                ++next;
            }
        }
        EXPECT_EQ(next, 500);
    }
}

TEST(LogWriter, WritesAfterDestructionBeganAreIgnored) {
    TempFolder dir;
    auto writer = std::make_unique<tZR_LogWriter>(u"Close", dir.AsText(), 0, false);
    const Text name = writer->FileName();
    writer->HoldThreadForTest(true);
    ASSERT_TRUE(writer->WaitThreadHeldForTest(kWait));
    writer->Write(tZR_MessageType::let_info, u"queued");

    // The destructor waits for the held thread; meanwhile the writer is closing.
    tZR_LogWriter* raw = writer.get();
    std::thread closer([&writer] { writer.reset(); });
    for (int i = 0; i < kWait && !raw->Closing(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(raw->Closing());
    EXPECT_EQ(ErrorOf([&] { raw->Write(tZR_MessageType::let_error, u"ignored"); }), u"<no error>");
    EXPECT_EQ(raw->DroppedTotal(), 0);
    raw->HoldThreadForTest(false);
    closer.join();

    const std::vector<std::string> lines = ReadCrLfLines(fs::path(name));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" - queued"), std::string::npos);
}

// In unload mode a stuck thread costs at most the bounded wait: the writer is released, the lines it did
// not reach are lost, and nothing is freed under the thread.
TEST(LogWriter, UnloadModeDoesNotWaitForAStuckThread) {
    TempFolder dir;
    for (int mode = 0; mode < 2; ++mode) {
        auto writer = std::make_unique<tZR_LogWriter>(u"Unload" + IntToText(mode), dir.AsText(), 0, false);
        const Text name = writer->FileName();
        writer->Write(tZR_MessageType::let_info, u"before");
        ASSERT_TRUE(writer->WaitUntilWritten(kWait));
        writer->HoldThreadForTest(true);
        ASSERT_TRUE(writer->WaitThreadHeldForTest(kWait));
        for (int i = 0; i < 1000; ++i) {
            writer->Write(tZR_MessageType::let_info, u"stuck");
        }
        if (mode == 0) {
            writer->SetIsDLLFinalization(true);
            EXPECT_TRUE(writer->IsDLLFinalization());
        } else {
            tZR_LogWriter::SetLibraryUnloading(true);
        }
        writer.reset();
        tZR_LogWriter::SetLibraryUnloading(false);
        const std::vector<std::string> lines = ReadCrLfLines(fs::path(name));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(" - before"), std::string::npos);
    }
    EXPECT_FALSE(tZR_LogWriter::LibraryUnloading());
}

// A writer made while the library loads starts no thread there (on Windows it could not run before the
// load ends, and would begin in unmapped code after an early unload). Its lines are still kept: the
// first line after the load starts the thread, and a writer destroyed before that writes them itself,
// in unload mode too.
TEST(LogWriter, AWriterMadeDuringTheLoadKeepsEveryLine) {
    TempFolder dir;
    for (int mode = 0; mode < 3; ++mode) {
        tZR_LogWriter::SetThreadStartDeferred(true);
        auto writer = std::make_unique<tZR_LogWriter>(u"Deferred" + IntToText(mode), dir.AsText(), 0, false);
        const Text name = writer->FileName();
        writer->Write(tZR_MessageType::let_info, u"during load 1");
        writer->Write(tZR_MessageType::let_error, u"during load 2");
        tZR_LogWriter::SetThreadStartDeferred(false);
        if (mode == 0) {
            writer->Write(tZR_MessageType::let_info, u"after load");
            ASSERT_TRUE(writer->WaitUntilWritten(kWait));
            EXPECT_EQ(writer->LinesWritten(), 3u);
        } else if (mode == 2) {
            // An unload that comes first starts no thread either.
            tZR_LogWriter::SetLibraryUnloading(true);
            writer->Write(tZR_MessageType::let_info, u"during unload");
        }
        writer.reset();
        tZR_LogWriter::SetLibraryUnloading(false);
        const std::vector<std::string> lines = ReadCrLfLines(fs::path(name));
        ASSERT_EQ(lines.size(), mode == 1 ? 2u : 3u) << "mode " << mode;
        EXPECT_NE(lines[0].find(" - during load 1"), std::string::npos);
        EXPECT_NE(lines[1].find(" - ERROR - during load 2"), std::string::npos);
        if (mode != 1) {
            EXPECT_NE(lines[2].find(mode == 0 ? " - after load" : " - during unload"), std::string::npos);
        }
    }
}

} // namespace
