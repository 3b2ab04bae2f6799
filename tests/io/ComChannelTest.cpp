// Which channels are byte streams, and what the others answer to the rest of the channel contract.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "base/ZrError.h"
#include "io/IOHandler_Com.h"
#include "io/IOHandler_Dll.h"
#include "io/IOHandler_HTTP.h"
#include "io/IOHandler_OPOS.h"
#include "io/IOHandler_Serial.h"
#include "io/IOHandler_Spool.h"
#include "io/IOHandler_TCP.h"
#include "support/ErrorOf.h"

TEST(ChannelContract, OnlyTcpAndSerialChannelsAreByteStreams) {
    kConnection connection;
    connection.LibraryName = Utf8ToText(ZR_TESTLIB_PATH);
    connection.SerialPort = u"COM1";
    connection.StopBits = 1;
    connection.Address = u"127.0.0.1";
    std::vector<std::unique_ptr<kIOHandler>> channels;
    channels.push_back(std::make_unique<kIOHandler_Com>(&connection, Text(), Text()));
    channels.push_back(std::make_unique<kIOHandler_Dll>(&connection, Text(), Text()));
    channels.push_back(std::make_unique<kIOHandler_HTTP>(&connection, Text(), Text()));
    channels.push_back(std::make_unique<kIOHandler_Spool>(&connection, Text(), Text()));
    for (auto& channel : channels) {
        SCOPED_TRACE(TextToUtf8(channel->ClassName()));
        EXPECT_EQ(channel->ByteStream(), nullptr);
        EXPECT_TRUE(channel->Connect());
        EXPECT_TRUE(channel->Disconnect());
    }
    EXPECT_EQ(channels[1]->DecodeError(404), Text());
    EXPECT_FALSE(kIOHandler_Com(&connection, Text(), Text()).Write(u"x"));
    EXPECT_TRUE(kIOHandler_Dll(&connection, Text(), Text()).Write(u"x"));

    kIOHandler_TCP tcp(&connection, Text(), Text());
    kIOHandler_Serial serial(&connection, Text(), Text());
    EXPECT_EQ(tcp.ByteStream(), static_cast<kByteStream*>(&tcp));
    EXPECT_EQ(serial.ByteStream(), static_cast<kByteStream*>(&serial));
    EXPECT_FALSE(tcp.MayHaveMoreToRead()) << "not connected";
    EXPECT_FALSE(serial.MayHaveMoreToRead()) << "port not open, nothing received";
}

TEST(ChannelContract, OposChannelRefusesToWrite) {
    kIOHandler_OPOS channel(nullptr, Text(), Text());
    EXPECT_EQ(ErrorOf([&] { channel.Write(u"x"); }), u"Write Unsupported");
    EXPECT_EQ(channel.ByteStream(), nullptr);
    EXPECT_EQ(channel.DecodeError(111), Text());
}
