#pragma once
// kIOHandler_TCP: the channel of connection type TCP. The terminal listens; the channel connects as a
// client for the length of one command and moves bytes one per character (byte b is character b).
#include <cstdint>
#include <memory>
#include <vector>

#include "io/IOHandler.h"
#include "io/TcpClient.h"

class kIOHandler_TCP : public kIOHandler {
public:
    using Bytes = std::vector<std::uint8_t>;

    // aConnection is required: host, low 16 bits of the port and both time-outs come from it.
    kIOHandler_TCP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    ~kIOHandler_TCP() override;

    bool GetConnected() override;
    // Header block, host and port; connects unless connected. Failures are logged and give false.
    bool Connect() override;
    bool Disconnect() override;
    void ClearBuffers() override;
    // Characters below 256 go out as that byte, others as "?" (code page 0). A send failure raises.
    bool Write(const Text& aMessage) override;
    // Never raise: failures are logged and the text collected so far is returned.
    Text ReadUpTo(const std::vector<std::uint8_t>& aChars) override;
    Text ReadChars(std::int32_t aCharsNum) override;
    Text ReadAll() override;
    Text DecodeError(std::int32_t aErrorCode) override;
    bool InputBufferContainsData() override;
    void SetParameter(const Text& aName, const Text& aValue) override;
    Text ClassName() const override { return u"kIOHandler_TCP"; }
    // Blocks on the socket: returns as soon as a byte arrives or the peer closes. Never raises.
    bool WaitForInput(std::int32_t aMilliseconds) override;

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
