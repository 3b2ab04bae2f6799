#pragma once
// kIOHandler_Serial: the channel of connection type Serial. It maps the connection settings onto a
// TComPort, logs the line settings at each connect and builds its reads from one-byte reads of at most
// 100 ms, so it notices its own time limit within 100 ms. Port failures raise TComPortException.
#include <cstdint>
#include <memory>
#include <vector>

#include "io/ByteStream.h"
#include "io/ComPort.h"
#include "io/IOHandler.h"

class kIOHandler_Serial : public kIOHandler, public kByteStream {
public:
    // Port number from characters 4 to 6 of SerialPort ("COM12" gives 12), parity None/Even/Odd, stop
    // bits 1 or 2; anything else raises. The port is not opened here.
    kIOHandler_Serial(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_Serial() override;

    bool GetConnected() override;
    // Header block and line settings, then opens the port; an open failure raises.
    bool Connect() override;
    bool Disconnect() override;
    void ClearBuffers() override;
    // Text goes out in the ANSI code page; false when not every byte could be written.
    bool Write(const Text& aMessage) override;
    // Both end at a terminator (ReadUpTo) or the count (ReadChars), or once ReadTimeout has passed,
    // checked after every one-byte read whether a byte came or not. A raised cancel signal ends them
    // before the next one-byte read with tZR_Cancelled.
    Text ReadUpTo(const std::vector<std::uint8_t>& aChars) override;
    Text ReadChars(std::int32_t aCharsNum) override;
    Text ReadAll() override; // raises "ReadAll Unsupported"
    bool InputBufferContainsData() override;
    // While received bytes wait.
    bool MayHaveMoreToRead() override { return InputBufferContainsData(); }
    Text ClassName() const override { return u"kIOHandler_Serial"; }
    kByteStream* ByteStream() override { return this; }

    TComPort& ComPort() { return *fComPort; }

private:
    // One read of at most one byte within 100 ms; -1 when nothing came. A failed read is paced to the
    // full 100 ms, so a dead port cannot turn the read loops into busy loops.
    int ReadOneByte(bool aLogErrors);
    // Logs what was read and raises tZR_Cancelled when the command's signal is raised.
    void ThrowIfReadCancelled(const Text& aCollected);

    std::unique_ptr<TComPort> fComPort;
};
