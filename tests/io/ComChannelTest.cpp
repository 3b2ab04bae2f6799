// What the channels without a byte stream answer to the byte operations of the channel contract.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "base/ZrError.h"
#include "io/IOHandler_Com.h"
#include "io/IOHandler_Dll.h"
#include "io/IOHandler_HTTP.h"
#include "io/IOHandler_OPOS.h"
#include "io/IOHandler_Spool.h"

namespace {
Text Raised(const std::function<void()>& aCall) {
    try {
        aCall();
    } catch (const ZrError& e) {
        return e.Message();
    }
    return u"(nothing raised)";
}
} // namespace

TEST(ChannelContract, NonStreamChannelsRefuseStreamReads) {
    kConnection connection;
    connection.LibraryName = Utf8ToText(ZR_TESTLIB_PATH);
    std::vector<std::unique_ptr<kIOHandler>> channels;
    channels.push_back(std::make_unique<kIOHandler_Com>(&connection, Text(), Text()));
    channels.push_back(std::make_unique<kIOHandler_Dll>(&connection, Text(), Text()));
    channels.push_back(std::make_unique<kIOHandler_HTTP>(&connection, Text(), Text()));
    channels.push_back(std::make_unique<kIOHandler_Spool>(&connection, Text(), Text()));
    for (auto& channel : channels) {
        SCOPED_TRACE(TextToUtf8(channel->ClassName()));
        EXPECT_EQ(channel->ReadUpTo({3, 4}), Text());
        EXPECT_EQ(channel->ReadChars(10), Text());
        EXPECT_EQ(Raised([&] { channel->ReadAll(); }), u"ReadAll Unsupported");
        EXPECT_EQ(Raised([&] { channel->InputBufferContainsData(); }),
                  u"InputBufferContainsData Unsupported");
        channel->ClearBuffers();
        EXPECT_TRUE(channel->Connect());
        EXPECT_TRUE(channel->Disconnect());
    }
    EXPECT_EQ(channels[1]->DecodeError(404), Text());
    EXPECT_FALSE(kIOHandler_Com(&connection, Text(), Text()).Write(u"x"));
    EXPECT_TRUE(kIOHandler_Dll(&connection, Text(), Text()).Write(u"x"));
}

TEST(ChannelContract, OposChannelRefusesEveryByteOperation) {
    kIOHandler_OPOS channel(nullptr, Text(), Text());
    EXPECT_EQ(Raised([&] { channel.Write(u"x"); }), u"Write Unsupported");
    EXPECT_EQ(Raised([&] { channel.ReadUpTo({3}); }), u"ReadUpto Unsupported");
    EXPECT_EQ(Raised([&] { channel.ReadChars(1); }), u"ReadChars Unsupported");
    EXPECT_EQ(Raised([&] { channel.ReadAll(); }), u"ReadAll Unsupported");
    EXPECT_EQ(Raised([&] { channel.InputBufferContainsData(); }), u"InputBufferContainsData Unsupported");
    EXPECT_EQ(channel.DecodeError(111), Text());
}
