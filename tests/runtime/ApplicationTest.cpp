#include "runtime/Application.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "base/ZrError.h"
#include "platform/Locale.h"
#include "platform/Process.h"
#include "runtime/LogWriter.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;
constexpr std::int32_t kWait = 30000;

std::string U8(const Text& t) {
    return TextToUtf8(t);
}
Text Sep() {
    return Text(1, PathSeparator());
}

// A host "POS" in the folder Shop of a temporary folder.
struct ShopHost {
    TempFolder dir;
    Text shop = dir.Child("Shop");
    tZR_HostProcess Host(TextList aParameters = {}) const {
        return {shop + Sep() + u"POS.exe", std::move(aParameters)};
    }
};

std::vector<std::string> Flushed(tZR_Application& aApp) {
    EXPECT_TRUE(aApp.Logger().WaitUntilWritten(kWait));
    return ReadCrLfLines(fs::path(aApp.GetLogFileName()));
}

bool EndsWith(const std::string& aText, const std::string& aEnd) {
    return aText.size() >= aEnd.size() && aText.compare(aText.size() - aEnd.size(), aEnd.size(), aEnd) == 0;
}

TEST(Application, LogFolderAndNameFollowTheHostExecutable) {
    ShopHost shop;
    tZR_Application app(shop.Host());
    EXPECT_EQ(app.ApplicationName(), u"POS");
    EXPECT_EQ(app.ApplicationPath(), shop.shop + Sep());
    EXPECT_EQ(app.GetLogDirectory(), shop.shop + Sep() + u"LogFiles");
    EXPECT_EQ(app.GetLogFileName(), shop.shop + Sep() + u"LogFiles" + Sep() + u"POS.log");
    EXPECT_TRUE(fs::is_directory(fs::path(app.GetLogDirectory())));
    EXPECT_EQ(U8(app.Version()), "1.27");
    EXPECT_EQ(app.ReleaseDate(), EncodeDateTime(2026, 5, 30));
    EXPECT_FALSE(app.IsBatch());
    EXPECT_TRUE(app.TerminateOnExceptionIfBatch());
    EXPECT_TRUE(app.Language().empty());

    app.Log(tZR_MessageType::let_info, u"hello");
    app.Log(tZR_MessageType::let_error, u"broken");
    app.Log(tZR_MessageType::let_info, u"fine again");
    EXPECT_EQ(U8(app.LastError()), "broken");
    const std::vector<std::string> lines = Flushed(app);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(EndsWith(lines[0], " - hello"));
    EXPECT_TRUE(EndsWith(lines[1], " - ERROR - broken"));
}

// Log is called from any thread: every line arrives and LastError is one of the errors, never torn.
TEST(Application, LogFromManyThreads) {
    ShopHost shop;
    tZR_Application app(shop.Host());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&app, t] {
            for (int i = 0; i < 500; ++i) {
                const bool error = i % 2 == 1;
                app.Log(error ? tZR_MessageType::let_error : tZR_MessageType::let_info, u"t" + IntToText(t));
                if (error) {
                    EXPECT_EQ(app.LastError().size(), 2u);
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const Text last = app.LastError();
    EXPECT_TRUE(last == u"t0" || last == u"t1" || last == u"t2" || last == u"t3") << U8(last);
    EXPECT_EQ(Flushed(app).size(), 2000u);
}

TEST(Application, CommandLineSwitchesMatchWholeOrWithAValue) {
    struct Case {
        const char16_t* parameter;
        bool matches;
        const char* value;
    };
    const Case cases[] = {
        {u"/batch", true, ""},   {u"/BATCH:yes", true, "yes"}, {u"/Batch=1", true, "1"},
        {u"/BATCHX", false, ""}, {u"-batch", false, ""},       {u"/BATCH:", true, ""},
        {u"x/BATCH", false, ""}, {u"/BAT", false, ""},
    };
    for (const Case& c : cases) {
        const TextList parameters = {u"first", c.parameter, u"/batch:later"};
        const Text whole = GetCommandLineSwitch(u"/BATCH", true, parameters);
        const Text value = GetCommandLineSwitch(u"/BATCH", false, parameters);
        if (c.matches) {
            EXPECT_EQ(whole, Text(c.parameter)) << U8(c.parameter);
            EXPECT_EQ(U8(value), c.value) << U8(c.parameter);
        } else {
            EXPECT_EQ(U8(whole), "/batch:later") << U8(c.parameter);
        }
    }
    EXPECT_TRUE(GetCommandLineSwitch(u"/BATCH", true, {u"/DEBUG"}).empty());

    ShopHost shop;
    tZR_Application app(shop.Host({u"/Batch=1", u"/debug"}));
    EXPECT_TRUE(app.IsBatch());
    EXPECT_TRUE(app.IsDebug());
    EXPECT_FALSE(app.IsTest());
    tZR_Application plain(shop.Host({u"/TESTING", u"/test"}));
    EXPECT_FALSE(plain.IsBatch());
    EXPECT_TRUE(plain.IsTest());
    plain.ForceIsBatch();
    EXPECT_TRUE(plain.IsBatch());
}

TEST(Application, BatchModeSendsMessagesToTheLog) {
    ShopHost shop;
    tZR_Application app(shop.Host({u"/BATCH"}));
    app.MessageOrLog(tZR_MessageType::let_error, u"Printer offline");
    app.MessageOrLogPausingWait(tZR_MessageType::let_info, u"Done");
    EXPECT_EQ(U8(app.LastError()), "Printer offline");
    app.SetTerminateOnExceptionIfBatch(false);
    app.HandleException(u"Unexpected");
    EXPECT_EQ(U8(app.LastError()), "Unexpected");
    const std::vector<std::string> lines = Flushed(app);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(EndsWith(lines[0], " - ERROR - Printer offline"));
    EXPECT_TRUE(EndsWith(lines[1], " - Done"));
    EXPECT_TRUE(EndsWith(lines[2], " - ERROR - Unexpected"));
}

TEST(Application, ChangedLogFolderTakesTheFollowingLines) {
    ShopHost shop;
    tZR_Application app(shop.Host());
    const Text first = app.GetLogFileName();
    app.Log(tZR_MessageType::let_info, u"one");
    ASSERT_TRUE(app.Logger().WaitUntilWritten(kWait));

    app.ChangeLogDirectory(u"Archive");
    const Text archive = shop.shop + Sep() + u"LogFiles" + Sep() + u"Archive";
    EXPECT_EQ(app.GetLogDirectory(), archive);
    EXPECT_EQ(app.GetLogFileName(), archive + Sep() + u"POS.log");
    EXPECT_TRUE(fs::is_directory(fs::path(archive)));
    app.Log(tZR_MessageType::let_info, u"two");
    EXPECT_EQ(Flushed(app).size(), 1u);

    const Text absolute = shop.dir.Child("Logs");
    app.ChangeLogDirectory(absolute);
    EXPECT_EQ(app.GetLogFileName(), absolute + Sep() + u"POS.log");
    app.ChangeLogFilename(u"Other.txt");
    EXPECT_EQ(app.GetLogFileName(), absolute + Sep() + u"Other.txt");
    app.Log(tZR_MessageType::let_info, u"three");
    EXPECT_EQ(Flushed(app).size(), 1u);
    EXPECT_EQ(ReadCrLfLines(fs::path(first)).size(), 1u);

    app.ChangeLogDirectory(u"");
    EXPECT_EQ(app.GetLogDirectory(), shop.shop + Sep() + u"LogFiles");
    EXPECT_EQ(ErrorOf([&] { app.ChangeLogDirectory(u"bad|name"); }), u"Invalid characters in path: bad|name");
}

TEST(Application, MessagesComeFromTheDictionaryOrTheId) {
    ShopHost shop;
    tZR_Application app(shop.Host());
    EXPECT_EQ(app.GetMessage(u"Hello\\nWorld"), u"Hello\r\nWorld");
    EXPECT_EQ(app.GetMessage(u"100%% sure"), u"100% sure");
    app.AddMessages({u"it.greet:Ciao %s", u"greet.en:Hello %s, you have %d items",
                     u"greet.en:ignored, first wins", u"it.time:Sono le 10:30"});
    app.SetLanguage(u"it");
    EXPECT_EQ(app.GetMessage(u"greet", {Text(u"Mario")}), u"Ciao Mario");
    EXPECT_EQ(app.GetMessage(u"time"), u"Sono le 10"); // the value ends at a second ":"
    app.SetLanguage(u"fr");
    app.SetDefaultLanguage(u"en");
    EXPECT_EQ(app.GetMessage(u"greet", {Text(u"Ann"), std::int64_t{3}}), u"Hello Ann, you have 3 items");
    app.SetDefaultLanguage(u"de");
    EXPECT_EQ(app.GetMessage(u"greet", {Text(u"Ann")}), u"greet");

    struct Case {
        const char16_t* format;
        std::vector<tZR_Value> values;
        const char16_t* expected;
    };
    const std::vector<Case> cases = {
        {u"[%5d|%-5d|%.3d]", {std::int64_t{42}, std::int64_t{-7}, std::int64_t{5}}, u"[   42|-7   |005]"},
        {u"%x/%u", {std::int64_t{255}, std::int64_t{12}}, u"FF/12"},
        {u"%.3s|%6s", {Text(u"abcdef"), Text(u"ab")}, u"abc|    ab"},
        {u"%1:s %0:s %s", {Text(u"a"), Text(u"b")}, u"b a b"},
        {u"%.2f|%f|%.0f", {1.005, std::int64_t{2}, 2.6}, u"1.00|2.00|3"},
    };
    for (const Case& c : cases) {
        // Floating-point values are written with the host's decimal separator.
        Text expected;
        for (char16_t ch : Text(c.expected)) {
            expected += ch == u'.' ? HostDecimalSeparator() : Text(1, ch);
        }
        EXPECT_EQ(U8(app.GetMessage(c.format, c.values)), U8(expected)) << U8(c.format);
    }
    for (const Text& bad : {Text(u"%d"), Text(u"%s %s"), Text(u"%q"), Text(u"%"), Text(u"%5.")}) {
        EXPECT_EQ(ErrorOf([&] { app.GetMessage(bad, {Text(u"x")}); }),
                  u"Format '" + bad + u"' invalid or incompatible with argument");
    }
}

TEST(Application, TimersMeasureTimeOfDay) {
    ShopHost shop;
    tZR_Application app(shop.Host());
    EXPECT_EQ(app.GetTimerCount(), 0);
    app.StartTimerAt(EncodeDateTime(2024, 5, 1, 10, 0, 0, 0));
    EXPECT_EQ(app.GetTimerCount(), 1);
    app.StartTimerAt(EncodeDateTime(2024, 5, 1, 10, 0, 1, 0));
    EXPECT_EQ(app.GetTimerValueAt(EncodeDateTime(2024, 5, 1, 10, 0, 1, 300)), 300);
    EXPECT_EQ(app.StopTimerAt(EncodeDateTime(2024, 5, 1, 10, 0, 1, 500)), 500);
    EXPECT_EQ(app.StopTimerAt(EncodeDateTime(2024, 5, 1, 10, 0, 2, 250)), 2250);
    EXPECT_EQ(app.GetTimerCount(), 0);
    EXPECT_EQ(ErrorOf([&] { app.StopTimer(); }), u"No timer is running: StartTimer was not called");
    EXPECT_EQ(ErrorOf([&] { app.GetTimerValue(); }), u"No timer is running: StartTimer was not called");
    // Only times of day count: across midnight the result is negative.
    app.StartTimerAt(EncodeDateTime(2024, 5, 1, 23, 59, 59, 0));
    EXPECT_EQ(app.StopTimerAt(EncodeDateTime(2024, 5, 2, 0, 0, 1, 0)), 2000 - 86400000);
    // The clock's own path starts and stops a timer as the dated one does.
    app.StartTimer();
    EXPECT_EQ(app.GetTimerCount(), 1);
    app.StopTimer();
    EXPECT_EQ(app.GetTimerCount(), 0);
}

TEST(Application, SetupFindsNamesInAnyCase) {
    tZR_Setup setup;
    setup.SetValue(u"Port", std::int64_t{9100});
    EXPECT_EQ(setup.GetValue(u"PORT"), tZR_Value(std::int64_t{9100}));
    EXPECT_EQ(setup.GetValue(u"unknown"), tZR_Value());
    setup.SetValue(u"port", Text(u"9200"));
    EXPECT_EQ(setup.Count(), 1u);
    EXPECT_EQ(setup.GetValue(u"Port"), tZR_Value(Text(u"9200")));
    setup.Define(u"PORT");
    EXPECT_EQ(setup.GetValue(u"port"), tZR_Value());
    setup.Define(u"Printer");
    EXPECT_EQ(setup.Count(), 2u);
}

TEST(Application, WaitTextFollowsTheLanguage) {
    ShopHost shop;
    tZR_Application app(shop.Host());
    tZR_Wait& wait = app.Wait();
    tZR_Application* const previous = gApplication;
    // No gApplication yet: the label keeps its (empty) text.
    gApplication = nullptr;
    wait.SetText(u"");
    EXPECT_EQ(wait.LabelText(), u"");
    gApplication = &app;
    struct Case {
        const char16_t* language;
        const char16_t* text;
    };
    const Case cases[] = {{u"", u"Attendere prego ..."},      {u"EN", u"Wait please ..."},
                          {u"fr", u"Veuillez patienter ..."}, {u"es", u"Espere, por favor ..."},
                          {u"Pt", u"Aguarde, por favor ..."}, {u"de", u"Attendere prego ..."}};
    for (const Case& c : cases) {
        app.SetLanguage(c.language);
        wait.SetText(u"");
        EXPECT_EQ(wait.LabelText(), Text(c.text)) << U8(c.language);
    }
    wait.SetText(u"Printing");
    EXPECT_EQ(wait.LabelText(), u"Attendere prego ...\r\nPrinting");
    gApplication = previous;
    EXPECT_FALSE(wait.Started());
}

// The library's own context: created at load with the test program as its host.
TEST(Application, LibraryContextLivesFromLoadToUnload) {
    const bool created = gApplication == nullptr;
    if (created) {
        CreateApplicationContext();
    }
    ASSERT_NE(gApplication, nullptr);
    EXPECT_EQ(U8(gApplication->Version()), "1.27");
    EXPECT_EQ(gApplication->ApplicationName(), GetApplicationName());
    EXPECT_EQ(gApplication->GetLogFileName(),
              GetApplicationPath() + u"LogFiles" + Sep() + GetApplicationName() + u".log");
    EXPECT_EQ(GetApplicationPath(), ExecutableDirectory() + Sep());
    if (created) {
        FreeApplicationContext(true);
        EXPECT_EQ(gApplication, nullptr);
    }
}
} // namespace
