// The channel a request asks for, and its log file: whatever the request's driver name and log id hold,
// the file lands in the log folder that the device passes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "io/IOHandler.h"
#include "payment/Payment.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        fPath = fs::temp_directory_path() / ("zr_logid_" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(fPath);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(fPath, ec);
    }
    const fs::path& Path() const { return fPath; }

private:
    fs::path fPath;
};

Text PathText(const fs::path& aPath) {
    return aPath.u16string();
}

std::unique_ptr<kPaymentHandler> Handler(const Text& aBody) {
    auto h = std::make_unique<kPaymentHandler>();
    h->Deserialize(u"<Request>" + aBody + u"</Request>", zrPaymentHandlerDocumentTypes{});
    return h;
}

} // namespace

TEST(CreateIOHandlerTest, ChannelOfEachTypeAndHexLog) {
    const std::pair<const char16_t*, const char16_t*> types[] = {
        {u"", u"kIOHandler_OPOS"},
        {u"<Connection><Type>TCP</Type></Connection>", u"kIOHandler_TCP"},
        {u"<Connection><Type>http</Type></Connection>", u"kIOHandler_HTTP"},
        {u"<Connection><Type>Serial</Type><SerialPort>COM1</SerialPort><Speed>9600</Speed><DataBits>8</"
         u"DataBits><Parity>None</Parity><StopBits>1</StopBits></Connection>",
         u"kIOHandler_Serial"},
        {u"<Connection><Type>DLL</Type></Connection>", u"kIOHandler_Dll"},
        {u"<Connection><Type>Com</Type></Connection>", u"kIOHandler_Com"},
        {u"<Connection><Type>spool</Type></Connection>", u"kIOHandler_Spool"},
    };
    for (const auto& [connection, className] : types) {
        SCOPED_TRACE(TextToUtf8(className));
        std::unique_ptr<kIOHandler> channel;
        try {
            channel = Handler(connection)->CreateIOHandler(Text());
        } catch (const std::exception& e) {
            // The library channel loads its library when it is built; without a name that fails.
            EXPECT_EQ(Text(className), u"kIOHandler_Dll") << e.what();
            continue;
        }
        EXPECT_EQ(channel->ClassName(), className);
        EXPECT_FALSE(channel->HexLog());
        EXPECT_EQ(channel->GetLogFileName(), u"");
    }
    const std::pair<const char16_t*, bool> hexLogs[] = {{u"<HEXLOG>True</HEXLOG>", true},
                                                        {u"<hexlog>TRUE</hexlog>", true},
                                                        {u"<HexLog>1</HexLog>", false},
                                                        {u"<HexLog>yes</HexLog>", false},
                                                        {u"<HexLog/>", false},
                                                        {u"<Other>true</Other>", false}};
    for (const auto& [parameter, expected] : hexLogs) {
        const auto channel =
            Handler(u"<Connection><Type>tcp</Type><ReadTimeout>4000</ReadTimeout></Connection><Parameters>" +
                    Text(parameter) + u"</Parameters>")
                ->CreateIOHandler(Text());
        EXPECT_EQ(channel->HexLog(), expected) << TextToUtf8(parameter);
        EXPECT_EQ(channel->ReadTimeout(), 4000);
    }
}

TEST(CreateIOHandlerTest, LogFileStaysInTheLogFolder) {
    const Text hostile[] = {
        u"../escape",
        u"..\\escape",
        u"..",
        u"/tmp/absolute",
        u"C:\\Windows\\evil",
        u"C:evil",
        u"sub/dir/",
        u"a*b?c\"d<e>f|g",
        u"tab\there\nnew\x01line\x7F",
        u"\xD800lone",
        u"\U0001F600 till 1",
        u"con",
        u"",
        Text(1000, u'x'),
        Text(400, u'\u20AC'),
    };
    TempFolder temp;
    const fs::path logs = temp.Path() / "logs";
    for (const Text& logId : hostile) {
        SCOPED_TRACE(TextToUtf8(logId));
        kPaymentHandler h;
        h.fDriver = u"ZRPA_RIVEVEDEV17_10";
        h.fLogId = logId;
        {
            const auto channel = h.CreateIOHandler(PathText(logs));
            channel->Debug(tZR_MessageType::let_info, u"hello");
            EXPECT_EQ(fs::path(channel->GetLogFileName()).parent_path().filename(), "logs");
        }
    }
    // The hostile driver name gets the same treatment.
    {
        kPaymentHandler h;
        h.fDriver = u"../../driver";
        h.fLogId = u"x";
        h.CreateIOHandler(PathText(logs))->Debug(tZR_MessageType::let_info, u"hello");
    }
    // Only the log folder exists beside nothing else, and it holds only plain files.
    std::size_t entries = 0;
    for (const auto& e : fs::recursive_directory_iterator(temp.Path())) {
        ++entries;
        if (e.path() == logs) {
            continue;
        }
        EXPECT_EQ(e.path().parent_path(), logs) << e.path();
        EXPECT_TRUE(e.is_regular_file()) << e.path();
        EXPECT_GT(e.file_size(), 0u) << e.path();
        EXPECT_LE(e.path().filename().u8string().size(), 200u);
    }
    EXPECT_GE(entries, 10u);
    EXPECT_FALSE(fs::exists(temp.Path().parent_path() / "escape"));
}

TEST(CreateIOHandlerTest, SafeFileName) {
    const std::pair<Text, Text> cases[] = {
        {u"ZRPA_RIVEVEDEV17_10_Till 3", u"ZRPA_RIVEVEDEV17_10_Till 3"},
        {u"a/b\\c:d*e?f\"g<h>i|j", u"a_b_c_d_e_f_g_h_i_j"},
        {u"../..", u".._.."},
        {u"x\r\ny\x7F", u"x__y_"},
        {u"\u00E8\U0001F600", u"\u00E8\U0001F600"},
        {u"\xDC00", u"_"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(TextToUtf8(kDeviceHandler::SafeFileName(in)), TextToUtf8(out));
    }
    // Long names are cut, never inside a surrogate pair.
    Text emoji;
    for (int i = 0; i < 100; ++i) {
        emoji += u"\U0001F600";
    }
    const Text cut = kDeviceHandler::SafeFileName(emoji);
    EXPECT_LE(TextToUtf8(cut).size(), 160u);
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_EQ(kDeviceHandler::SafeFileName(Text(500, u'a')).size(), 160u);
}
