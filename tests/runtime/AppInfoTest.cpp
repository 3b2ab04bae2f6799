#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "base/ZrError.h"
#include "platform/StringTable.h"
#include "runtime/Application.h"
#include "support/ErrorOf.h"

namespace {
tZR_ApplicationInfo::StringReader TableOf(std::map<std::uint32_t, Text> aEntries) {
    return [entries = std::move(aEntries)](std::uint32_t aId) {
        const auto it = entries.find(aId);
        return it == entries.end() ? Text() : it->second;
    };
}

TEST(AppInfo, DeliveredTableHasTwentyEightVersionsUpTo127) {
    for (std::uint32_t id = 10000; id <= 10120; ++id) {
        const Text entry = LoadOwnString(id);
        EXPECT_FALSE(entry.empty()) << id;
        EXPECT_NE(entry.find(u'='), Text::npos) << id;
    }
    for (std::uint32_t id = 10121; id <= 10131; ++id) {
        EXPECT_TRUE(LoadOwnString(id).empty()) << id;
    }

    tZR_ApplicationInfo info;
    info.Load();
    EXPECT_EQ(U8(info.Version()), "1.27");
    EXPECT_EQ(info.ReleaseDate(), EncodeDateTime(2026, 5, 30));
    EXPECT_FALSE(info.Description().empty());
    EXPECT_FALSE(info.Copyright().empty());
    ASSERT_EQ(info.History().size(), 28u);
    const tZR_ApplicationHistory& first = *info.History().front();
    EXPECT_EQ(U8(first.Version()), "1.00");
    EXPECT_EQ(first.ReleaseDate(), EncodeDateTime(2019, 6, 23));
    EXPECT_FALSE(first.Author().empty());
    EXPECT_EQ(first.Notes().size(), 1u);
    TDateTime previous = 0;
    for (const auto& entry : info.History()) {
        EXPECT_GT(entry->ReleaseDate(), previous) << U8(entry->Version());
        EXPECT_GE(entry->Notes().size(), 1u);
        EXPECT_LE(entry->Notes().size(), 3u);
        previous = entry->ReleaseDate();
    }
    EXPECT_EQ(U8(info.History().back()->Version()), "1.27");
    EXPECT_EQ(info.VersionString(), u"[1.27 - " + FormatShortDate(EncodeDateTime(2026, 5, 30)) + u"]");
}

TEST(AppInfo, LoadFollowsTheKeyRules) {
    tZR_ApplicationInfo info;
    info.Load(TableOf({
        {10000, u"$RELEASEDATE=01/01/2001"}, // before any version: ignored
        {10001, u"$ptext=orphan"},
        {10002, u"$AppDescription=A driver"},
        {10003, u"$version=2.00"},
        {10004, u"$ReleaseDate=24/12/2020"},
        {10005, u"$PTEXT=a=b"},
        {10006, u"no equals sign"},
        {10007, u"$UNKNOWN=x"},
        {10008, u"$TEXT=second note"},
        // ten empty identifiers: reading goes on
        {10019, u"$VERSION=2.01"},
        {10020, u"$RELEASEDATE=2019-06-23"}, // read by position: day 20, month and year not numbers
        {10021, u"$AUTHOR=XY"},
        {10022, u"$COPYRIGHT=(c) someone=else"},
        // eleven empty identifiers: the end
        {10034, u"$VERSION=9.99"},
    }));
    EXPECT_EQ(U8(info.Description()), "A driver");
    EXPECT_EQ(U8(info.Copyright()), "(c) someone=else");
    EXPECT_EQ(U8(info.Version()), "2.01");
    EXPECT_EQ(info.ReleaseDate(), EncodeDateTime(1, 1, 20));
    ASSERT_EQ(info.History().size(), 2u);
    const tZR_ApplicationHistory& v200 = *info.History()[0];
    EXPECT_EQ(U8(v200.Version()), "2.00");
    EXPECT_EQ(v200.ReleaseDate(), EncodeDateTime(2020, 12, 24));
    ASSERT_EQ(v200.Notes().size(), 2u);
    EXPECT_EQ(U8(v200.Notes()[0]), "a=b");
    EXPECT_EQ(U8(v200.Notes()[1]), "second note");
    EXPECT_EQ(U8(info.History()[1]->Author()), "XY");
}

TEST(AppInfo, TablesThatReadNothingOrFail) {
    tZR_ApplicationInfo late;
    late.Load(TableOf({{10011, u"$VERSION=1.00"}, {10012, u"$RELEASEDATE=01/02/2003"}}));
    EXPECT_TRUE(late.Version().empty());
    EXPECT_EQ(late.ReleaseDate(), 0.0);
    EXPECT_TRUE(late.History().empty());

    struct Case {
        const char16_t* date;
        const char* message;
    };
    const Case impossible[] = {
        {u"31/04/2024",
         "Invalid release date [31/04/2024] in the version history: day 31, month 4, year 2024 is not "
         "a date."},
        {u"00/01/2024",
         "Invalid release date [00/01/2024] in the version history: day 0, month 1, year 2024 is not a "
         "date."},
        {u"01/13/2024",
         "Invalid release date [01/13/2024] in the version history: day 1, month 13, year 2024 is not "
         "a date."},
    };
    for (const Case& c : impossible) {
        tZR_ApplicationInfo info;
        try {
            info.Load(TableOf({{10000, u"$VERSION=1.00"}, {10001, Text(u"$RELEASEDATE=") + c.date}}));
            ADD_FAILURE() << "no error for " << U8(c.date);
        } catch (const ZrError& e) {
            EXPECT_EQ(U8(e.Message()), c.message);
        }
    }
    // A short or empty date: every field that is missing reads as 1.
    tZR_ApplicationInfo shortDate;
    shortDate.Load(TableOf({{10000, u"$VERSION=1.00"}, {10001, u"$RELEASEDATE=5"}}));
    EXPECT_EQ(shortDate.ReleaseDate(), EncodeDateTime(1, 1, 5));
}
} // namespace
