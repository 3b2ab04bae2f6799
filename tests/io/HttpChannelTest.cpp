// The HTTP channel against a real server on 127.0.0.1 (tests/support/HttpTestServer.py).
#include <gtest/gtest.h>

#include <memory>

#include "base/ZrError.h"
#include "io/IOHandler_HTTP.h"
#include "support/ChannelLog.h"
#include "support/HttpTestServer.h"
#include "support/TempFolder.h"

namespace {
const Text kLogName = u"ZRPA_RIVEVEDEV17_10_httptest";

bool HasLine(const Text& aText, const Text& aLine) {
    return (u"\n" + aText + u"\n").find(u"\n" + aLine + u"\n") != Text::npos;
}

std::vector<ChannelLogLine> ErrorLines(const std::vector<ChannelLogLine>& aLines) {
    std::vector<ChannelLogLine> out;
    for (const auto& l : aLines) {
        if (l.Error) {
            out.push_back(l);
        }
    }
    return out;
}
} // namespace

class HttpChannel : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sServer = new HttpTestServer(); }
    static void TearDownTestSuite() {
        delete sServer;
        sServer = nullptr;
    }
    void SetUp() override {
        if (sServer->Port() == 0) {
            GTEST_SKIP() << "HTTP test server not available: " << sServer->Error();
        }
    }

    // A channel posting to aPath, logging into the scratch folder.
    std::unique_ptr<kIOHandler_HTTP> Channel(const std::string& aPath,
                                             zrHTTPAuthType aAuth = zrHTTPAuthType::at_None,
                                             const Text& aUser = Text(), const Text& aPassword = Text()) {
        kConnection connection;
        connection.URL = sServer->Url(aPath);
        connection.AuthType = aAuth;
        connection.User = aUser;
        connection.Password = aPassword;
        connection.SetConnectTimeOut(3000);
        connection.SetReadTimeOut(5000);
        auto channel = std::make_unique<kIOHandler_HTTP>(&connection, fDir.AsText(), kLogName);
        fLogFile = channel->GetLogFileName();
        return channel;
    }
    // The log, once the channel is gone.
    std::vector<ChannelLogLine> Log(std::unique_ptr<kIOHandler_HTTP>& aChannel) {
        aChannel.reset();
        return ReadChannelLog(fLogFile);
    }

    static HttpTestServer* sServer;
    TempFolder fDir;
    Text fLogFile;
};

HttpTestServer* HttpChannel::sServer = nullptr;

TEST(HttpChannelSettings, UrlComesFromUrlOrFromAddressAndPort) {
    const struct {
        const char16_t* Url;
        const char16_t* Address;
        std::int32_t Port;
        const char16_t* Expected;
    } cases[] = {
        {u"", u"pos.example", 8080, u"pos.example:8080"},
        {u"", u"pos.example", 0, u"pos.example"},
        {u"", u"pos.example", -1, u"pos.example"},
        {u"http://10.0.0.1/pay", u"pos.example", 8080, u"http://10.0.0.1/pay"},
    };
    for (const auto& c : cases) {
        kConnection connection;
        connection.URL = c.Url;
        connection.Address = c.Address;
        connection.Port = c.Port;
        connection.AuthType = zrHTTPAuthType::at_Digest;
        connection.User = u"u";
        connection.Password = u"p";
        connection.SetConnectTimeOut(2500);
        kIOHandler_HTTP channel(&connection, Text(), Text());
        EXPECT_EQ(channel.URL(), c.Expected);
        EXPECT_EQ(channel.AuthType(), zrHTTPAuthType::at_Digest);
        EXPECT_EQ(channel.User(), u"u");
        EXPECT_EQ(channel.Password(), u"p");
        EXPECT_EQ(channel.HttpClient().ConnectTimeout(), 2500);
        EXPECT_FALSE(channel.Connected());
    }
    kIOHandler_HTTP bare(nullptr, Text(), Text());
    EXPECT_EQ(bare.URL(), Text());
    EXPECT_EQ(bare.ContentType(), Text());
}

TEST(HttpChannelSettings, DecodeErrorKnowsTheStatusTexts) {
    kIOHandler_HTTP channel(nullptr, Text(), Text());
    const std::pair<std::int32_t, const char16_t*> cases[] = {
        {100, u"Continue"},
        {207, u"Multi-Status (WebDAV)"},
        {208, u"Multi-Status (WebDAV)"},
        {305, u"Use Proxy "},
        {306, u"unused"},
        {404, u"Not Found"},
        {418, u"I'm a teapot"},
        {451, u"Unavailable For Legal Reasons"},
        {511, u"Network Authentication Required"},
        {999, u"Unknown"},
        {-1, u"Unknown"},
        {0, u"Unknown"},
        {209, u"Unknown"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(channel.DecodeError(code), text) << code;
    }
}

TEST(HttpChannelSettings, HeadersAreReplacedByNameAndRemovedByEmptyValue) {
    kIOHandler_HTTP channel(nullptr, Text(), Text());
    channel.SetParameter(u"X-Custom", u"one");
    channel.SetParameter(u"Authorization", u"Bearer t");
    channel.SetParameter(u"x-custom", u"two");
    ASSERT_EQ(channel.HttpClient().Headers().size(), 2u);
    EXPECT_EQ(channel.HttpClient().Headers()[0].Name, u"X-Custom");
    EXPECT_EQ(channel.HttpClient().Headers()[0].Value, u"two");
    channel.SetParameter(u"X-CUSTOM", Text());
    ASSERT_EQ(channel.HttpClient().Headers().size(), 1u);
    EXPECT_EQ(channel.HttpClient().Headers()[0].Name, u"Authorization");

    // A line break in a value would smuggle in a header of its own; a bad name is no header at all.
    const std::pair<Text, Text> refused[] = {
        {u"X-Custom", u"a\r\nX-Evil: 1"},
        {u"X-Custom", u"a\nb"},
        {u"Bad Name", u"v"},
        {u"", u"v"},
        {u"A:B", u"v"},
    };
    for (const auto& [name, value] : refused) {
        EXPECT_THROW(channel.SetParameter(name, value), ZrError) << TextToUtf8(name);
    }
    EXPECT_EQ(channel.HttpClient().Headers().size(), 1u);
}

TEST_F(HttpChannel, ConnectLogsTheUrlWithoutTraffic) {
    kConnection connection;
    connection.URL = Utf8ToText("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/");
    auto channel = std::make_unique<kIOHandler_HTTP>(&connection, fDir.AsText(), kLogName);
    fLogFile = channel->GetLogFileName();
    EXPECT_TRUE(channel->Connect());
    EXPECT_FALSE(channel->Connected());
    const auto lines = Messages(Log(channel));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[2], u"kIOHandler_HTTP");
    EXPECT_EQ(lines[6], u"URL=" + connection.URL);
}

TEST_F(HttpChannel, PostsUtf8BodyWithContentTypeAndKeepsTheAnswer) {
    auto channel = Channel("/inspect");
    channel->SetContentType(u"application/json; charset=utf-8");
    const Text message = u"{\"text\":\"Grüße €\"}";
    ASSERT_TRUE(channel->Write(message));
    EXPECT_EQ(channel->ResponseCode(), 200);
    EXPECT_TRUE(HasLine(channel->Response(), u"body=" + message)) << TextToUtf8(channel->Response());
    EXPECT_TRUE(HasLine(channel->Response(), u"content-type=application/json; charset=utf-8"));
    EXPECT_TRUE(HasLine(channel->Response(), u"expect=(none)"));
    EXPECT_TRUE(HasLine(channel->Response(), u"authorization=(none)"));
    EXPECT_FALSE(channel->ErrorFound());
    EXPECT_TRUE(channel->Connected());
    const Text response = channel->Response();
    EXPECT_TRUE(channel->Disconnect());
    EXPECT_FALSE(channel->Connected());

    const auto lines = Log(channel);
    const std::size_t utf8Size = TextToUtf8(message).size();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        ChannelLogLine{false, u"Write [" + IntToText(static_cast<std::int64_t>(utf8Size)) +
                                                  u"]:" + message}),
              lines.end());
    EXPECT_NE(
        std::find(lines.begin(), lines.end(),
                  ChannelLogLine{false, ControlCharactersShown(u"Read:ResponseCode:200\r\n" + response)}),
        lines.end());
    EXPECT_TRUE(ErrorLines(lines).empty());
}

TEST_F(HttpChannel, WithoutContentTypeNoneIsSent) {
    auto channel = Channel("/inspect");
    ASSERT_TRUE(channel->Write(Text()));
    EXPECT_TRUE(HasLine(channel->Response(), u"content-type=(none)")) << TextToUtf8(channel->Response());
    EXPECT_TRUE(HasLine(channel->Response(), u"body="));
}

// A content type with a line break would add header lines of its own; it is refused before anything is
// sent, and the refused post does not keep the previous post's status.
TEST_F(HttpChannel, ContentTypeWithALineBreakIsRefused) {
    auto channel = Channel("/inspect");
    ASSERT_TRUE(channel->Write(u"first"));
    EXPECT_EQ(channel->ResponseCode(), 200);
    channel->SetContentType(u"text/plain\r\nX-Evil: 1");
    EXPECT_FALSE(channel->Write(u"second"));
    EXPECT_EQ(channel->ResponseCode(), -1);
    EXPECT_TRUE(channel->ErrorFound());
}

TEST_F(HttpChannel, NotFoundLogsPostErrorTwiceAndKeepsThePreviousResponse) {
    auto channel = Channel("/inspect");
    ASSERT_TRUE(channel->Write(u"first"));
    const Text previous = channel->Response();
    channel->SetURL(sServer->Url("/status/404"));
    EXPECT_FALSE(channel->Write(u"second"));
    EXPECT_EQ(channel->ResponseCode(), 404);
    EXPECT_TRUE(channel->ErrorFound());
    EXPECT_EQ(channel->ErrorCode(), 404);
    EXPECT_EQ(channel->ErrorMessage(), u"HTTP/1.1 404 Not Found Not Found");
    EXPECT_EQ(channel->Response(), previous);

    // A later success leaves the error fields to the caller.
    channel->SetURL(sServer->Url("/inspect"));
    EXPECT_TRUE(channel->Write(u"third"));
    EXPECT_TRUE(channel->ErrorFound());
    EXPECT_EQ(channel->ErrorCode(), 404);

    const auto errors = ErrorLines(Log(channel));
    const std::vector<ChannelLogLine> expected = {{true, u"Post Error:HTTP/1.1 404 Not Found"},
                                                  {true, u"Post Error:404 Not Found"}};
    EXPECT_EQ(errors, expected);
}

TEST_F(HttpChannel, StatusOutsideSuccessFailsWithItsCode) {
    const struct {
        std::string Path;
        std::int32_t Code;
        const char16_t* Text;
    } cases[] = {
        {"/status/500", 500, u"Internal Server Error"},
        {"/status/204", 204, nullptr},
        {"/redirect", 302, u"Found"}, // redirects are not followed
        {"/status/418", 418, u"I'm a teapot"},
    };
    for (const auto& c : cases) {
        auto channel = Channel(c.Path);
        const bool ok = channel->Write(u"x");
        EXPECT_EQ(channel->ResponseCode(), c.Code) << c.Path;
        if (c.Text == nullptr) {
            EXPECT_TRUE(ok) << c.Path;
            EXPECT_FALSE(channel->ErrorFound());
        } else {
            EXPECT_FALSE(ok) << c.Path;
            EXPECT_EQ(channel->ErrorCode(), c.Code);
            const Text suffix = Text(u" ") + c.Text;
            EXPECT_TRUE(channel->ErrorMessage().ends_with(suffix)) << TextToUtf8(channel->ErrorMessage());
        }
    }
}

TEST_F(HttpChannel, RefusedConnectionGivesMinusOneAndUnknown) {
    kConnection connection;
    connection.URL = Utf8ToText("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/");
    auto channel = std::make_unique<kIOHandler_HTTP>(&connection, fDir.AsText(), kLogName);
    fLogFile = channel->GetLogFileName();
    EXPECT_FALSE(channel->Write(u"x"));
    EXPECT_EQ(channel->ResponseCode(), -1);
    EXPECT_EQ(channel->ErrorCode(), -1);
    EXPECT_TRUE(channel->ErrorMessage().ends_with(u" Unknown")) << TextToUtf8(channel->ErrorMessage());
    EXPECT_FALSE(channel->Connected());
    const auto errors = ErrorLines(Log(channel));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1].Message, u"Post Error:-1 Unknown");
}

TEST_F(HttpChannel, UnusableUrlFailsWithoutAnswer) {
    for (const char* url : {"", "ftp://127.0.0.1/x", "file:///etc/hostname", "not a url"}) {
        auto channel = Channel("/");
        channel->SetURL(Utf8ToText(url));
        EXPECT_FALSE(channel->Write(u"x")) << url;
        EXPECT_EQ(channel->ResponseCode(), -1) << url;
        EXPECT_EQ(channel->Response(), Text()) << url;
    }
}

TEST_F(HttpChannel, AuthenticationSchemes) {
    const struct {
        std::string Path;
        zrHTTPAuthType Auth;
        const char16_t* User;
        const char16_t* Password;
        std::int32_t Code;
    } cases[] = {
        {"/basic", zrHTTPAuthType::at_Basic, u"till", u"s3cret", 200},
        {"/basic", zrHTTPAuthType::at_Basic, u"till", u"wrong", 401},
        {"/basic-utf8", zrHTTPAuthType::at_Basic, u"till", u"pässwörd€", 200},
        {"/basic", zrHTTPAuthType::at_None, u"till", u"s3cret", 401}, // credentials only with a scheme
        {"/digest", zrHTTPAuthType::at_Digest, u"till", u"wrong", 401},
        {"/digest", zrHTTPAuthType::at_Basic, u"till", u"s3cret", 401}, // Basic answers no challenge
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path + " " + TextToUtf8(c.Password));
        auto channel = Channel(c.Path, c.Auth, c.User, c.Password);
        EXPECT_EQ(channel->Write(u"pay"), c.Code == 200);
        EXPECT_EQ(channel->ResponseCode(), c.Code);
        EXPECT_EQ(channel->ErrorFound(), c.Code != 200);
    }
}

TEST_F(HttpChannel, DigestAnswersTheChallenge) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine's WinHTTP does not answer Digest challenges";
    }
    auto channel = Channel("/digest", zrHTTPAuthType::at_Digest, u"till", u"s3cret");
    EXPECT_TRUE(channel->Write(u"pay"));
    EXPECT_EQ(channel->ResponseCode(), 200);
    EXPECT_EQ(channel->Response(), u"digest ok");
    EXPECT_FALSE(channel->ErrorFound());
}

TEST_F(HttpChannel, BearerTokenTravelsAsCustomHeader) {
    auto channel = Channel("/bearer", zrHTTPAuthType::at_Bearer, u"till", u"s3cret");
    EXPECT_FALSE(channel->Write(u"x"));
    EXPECT_EQ(channel->ResponseCode(), 401);
    channel->SetParameter(u"Authorization", u"Bearer tok-123");
    EXPECT_TRUE(channel->Write(u"x"));
    EXPECT_EQ(channel->Response(), u"bearer ok");

    auto inspect = Channel("/inspect");
    inspect->SetParameter(u"X-Custom", u"first");
    inspect->SetParameter(u"x-custom", u"second");
    ASSERT_TRUE(inspect->Write(u"x"));
    EXPECT_TRUE(HasLine(inspect->Response(), u"x-custom=second")) << TextToUtf8(inspect->Response());
}

TEST_F(HttpChannel, SilentServerIsBoundedByTheReadTimeout) {
    kConnection connection;
    connection.URL = sServer->Url("/slow");
    connection.SetConnectTimeOut(500);
    connection.SetReadTimeOut(300);
    kIOHandler_HTTP channel(&connection, Text(), Text());
    EXPECT_FALSE(channel.Write(u"x"));
    EXPECT_EQ(channel.ResponseCode(), -1);
    EXPECT_EQ(channel.ErrorCode(), -1);
}

TEST_F(HttpChannel, OversizedAnswerFailsAfterItsSuccessStatus) {
    auto channel = Channel("/big");
    EXPECT_FALSE(channel->Write(u"x"));
    EXPECT_EQ(channel->ResponseCode(), 999);
    EXPECT_EQ(channel->ErrorCode(), 999);
    EXPECT_EQ(channel->Response(), Text());
    const auto errors = ErrorLines(Log(channel));
    ASSERT_EQ(errors.size(), 1u); // the status was a success: no second line with a status text
    EXPECT_TRUE(errors[0].Message.starts_with(u"Post Error:The answer is larger than"));
}
