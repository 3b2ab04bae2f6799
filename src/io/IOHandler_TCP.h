#pragma once
// kIOHandler_TCP: the channel of connection type TCP. The terminal listens; the channel connects as a
// client for the length of one command and moves bytes one per character (byte b is character b).
#include <cstdint>
#include <memory>
#include <vector>

#include "io/ByteStream.h"
#include "io/IOHandler.h"
#include "io/TcpClient.h"

class kIOHandler_TCP : public kIOHandler, public kByteStream {
public:
    using Bytes = std::vector<std::uint8_t>;

    // aConnection is required: host, low 16 bits of the port and both time-outs come from it.
    kIOHandler_TCP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_TCP() override;

    bool GetConnected() override;
    void SetCancelSignal(const tZR_CancelSignal* aSignal) override;
    // Header block, host and port; connects unless connected. Failures are logged and give false; a
    // cancelled connect raises tZR_Cancelled.
    bool Connect() override;
    bool Disconnect() override;
    void ClearBuffers() override;
    // Characters below 256 go out as that byte, others as "?" (code page 0). A send failure raises.
    bool Write(const Text& aMessage) override;
    // Never raise but for a cancelled command (tZR_Cancelled): failures are logged and the text collected
    // so far is returned.
    Text ReadUpTo(const std::vector<std::uint8_t>& aChars) override;
    Text ReadChars(std::int32_t aCharsNum) override;
    Text ReadAll() override;
    bool InputBufferContainsData() override;
    // While connected.
    bool MayHaveMoreToRead() override { return Connected(); }
    Text ClassName() const override { return u"kIOHandler_TCP"; }
    kByteStream* ByteStream() override { return this; }
    // Blocks on the socket: returns as soon as a byte arrives or the peer closes. Never raises.
    bool WaitForInput(std::int32_t aMilliseconds) override;
    // After the peer closed or reset the connection.
    bool PeerClosed() override { return !Connected(); }

    // Byte forms; their log lines show bytes of 80 hex and above as U+FFFD. Failures reach the caller
    // (ReadAllBytes alone returns what it collected).
    bool WriteBytes(const Bytes& aBytes);
    Bytes ReadBytes(std::int32_t aCount);
    Bytes ReadBytesUpTo(const std::vector<std::uint8_t>& aChars);
    Bytes ReadAllBytes();

    TcpClient& TCPClient() { return *fTCPClient; }

private:
    std::unique_ptr<TcpClient> fTCPClient;
};
