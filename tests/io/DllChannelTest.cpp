// The library channel against a small library built by the project (tests/support/testlib.c).
#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "base/ZrError.h"
#include "io/IOHandler_Dll.h"
#include "support/ChannelLog.h"
#include "support/TempFolder.h"

namespace {
const Text kLogName = u"ZRPA_RIVEVEDEV17_10_dlltest";

Text ErrorOf(const kConnection& aConnection, const Text& aDirectory) {
    try {
        kIOHandler_Dll channel(&aConnection, aDirectory, kLogName);
    } catch (const ZrError& e) {
        return e.Message();
    }
    return u"(no error)";
}
} // namespace

TEST(DllChannel, LoadsResolvesAndUnloadsWithItsLogLines) {
    TempFolder dir;
    kConnection connection;
    connection.LibraryName = Utf8ToText(ZR_TESTLIB_PATH);
    Text logFile;
    {
        kIOHandler_Dll channel(&connection, dir.AsText(), kLogName);
        logFile = channel.GetLogFileName();
        ASSERT_NE(channel.LibraryHandle(), nullptr);

        using AddFn = int (*)(int, int);
        auto add = reinterpret_cast<AddFn>(channel.GetAddress(u"zr_testlib_add"));
        EXPECT_EQ(add(2, 40), 42);
        EXPECT_TRUE(channel.Connect());
        EXPECT_TRUE(channel.Connected());
        EXPECT_TRUE(channel.Write(u"ignored"));
        EXPECT_TRUE(channel.Disconnect());
    }
    const auto lines = Messages(ReadChannelLog(logFile));
    const std::vector<Text> expected = {
        u"*************************** START ***************************",
        u"kIOHandler_Dll.Create:Loading DLL " + connection.LibraryName,
        u"kIOHandler_Dll.Create:DLL Loaded successfully",
        u"*************************************************************",
        u"kIOHandler_Dll",
        u"",
        u"ConnectTimeout=1000",
        u"ReadTimeout=1000",
        u"kIOHandler_Dll.Destroy:Unloading DLL",
        u"kIOHandler_Dll.Destroy:DLL Unloaded Successfully",
        u"*************************** STOP ****************************",
    };
    EXPECT_EQ(lines, expected);
}

TEST(DllChannel, MissingProcedureRaisesWithItsName) {
    kConnection connection;
    connection.LibraryName = Utf8ToText(ZR_TESTLIB_PATH);
    kIOHandler_Dll channel(&connection, Text(), Text());
    for (const Text& name : {Text(u"zr_testlib_missing"), Text(), Text(u"zr_testlib_add\0x", 16)}) {
        try {
            channel.GetAddress(name);
            ADD_FAILURE() << "resolved " << TextToUtf8(name);
        } catch (const ZrError& e) {
            EXPECT_EQ(e.Message(), u"Unable to get address for procedure " + name);
        }
    }
}

TEST(DllChannel, LoadFailureNamesLibrarySystemTextAndCode) {
    TempFolder dir;
    const std::string missing = (dir.Path() / "no_such_library.bin").string();
    // The system's text and code vary by platform; the frame around them does not.
    const struct {
        std::string Name;
        std::string Pattern;
    } cases[] = {
        {missing, "Unable to Load Library " +
                      std::regex_replace(missing, std::regex(R"([.\\^$|()\[\]{}*+?])"), R"(\$&)") +
                      R"(\. .+ \[[1-9][0-9]*\])"},
        {"", R"(Unable to Load Library \. .+ \[[1-9][0-9]*\])"},
    };
    for (const auto& c : cases) {
        kConnection connection;
        connection.LibraryName = Utf8ToText(c.Name);
        const std::string message = TextToUtf8(ErrorOf(connection, dir.AsText()));
        EXPECT_TRUE(std::regex_match(message, std::regex(c.Pattern))) << message;
    }
}
