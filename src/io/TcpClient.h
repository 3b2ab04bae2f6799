#pragma once
// TcpClient: one client TCP connection with a connect time-out, a per-receive wait and a local receive
// buffer. Reads take bytes from the buffer; when it is empty the client refills it from the socket in
// blocks, so reading byte by byte costs no system call per byte. Failures raise TcpClientError.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "base/ZrError.h"
#include "platform/Cancel.h"

enum class zrTcpFailure : std::uint8_t {
    tf_ReadTimeout,    // "Read timed out."
    tf_Closed,         // "Connection Closed Gracefully."
    tf_ConnectTimeout, // "Connect timed out."
    tf_NotConnected,   // no open connection (never connected, disconnected, or dropped after an error)
    tf_Socket          // any other socket failure; the message is the socket error text
};

class TcpClientError : public ZrError {
public:
    TcpClientError(zrTcpFailure aKind, Text aMessage) : ZrError(std::move(aMessage)), fKind(aKind) {}
    zrTcpFailure Kind() const noexcept { return fKind; }

private:
    zrTcpFailure fKind;
};

class TcpSocket;

class TcpClient {
public:
    TcpClient();
    ~TcpClient(); // closes an open connection
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    const Text& Host() const { return fHost; }
    void SetHost(const Text& aValue) { fHost = aValue; }
    std::uint16_t Port() const { return fPort; }
    void SetPort(std::uint16_t aValue) { fPort = aValue; }
    // 0 or less: the default of 1000 ms, so a connect never waits unbounded.
    std::int32_t ConnectTimeout() const { return fConnectTimeout; }
    void SetConnectTimeout(std::int32_t aValue) { fConnectTimeout = aValue; }
    // The longest one wait for more data may last; 0 or less: take only what is already there.
    std::int32_t ReadTimeout() const { return fReadTimeout; }
    void SetReadTimeout(std::int32_t aValue) { fReadTimeout = aValue; }

    // The signal that ends the waits of Connect, the reads and WaitForData early (null: none). Connect and
    // the reads then raise tZR_Cancelled; WaitForData returns false.
    void SetCancelSignal(const tZR_CancelSignal* aSignal) { fCancel = aSignal; }

    // Resolves the host (IPv4 and IPv6) and connects within the connect time-out. A connection that is
    // still open is closed first; the receive buffer starts empty.
    void Connect();
    // Polls without waiting: bytes waiting in the socket move into the buffer and a close by the peer is
    // noticed. True while the connection is open, or closed by the peer with unread bytes in the buffer;
    // false when nothing is open or the poll met a reset or another socket failure (which closes it).
    bool Connected();
    void Disconnect();
    // Waits at most aTimeoutMs until bytes are buffered (true) or the connection has ended (false).
    bool WaitForData(std::int32_t aTimeoutMs);

    // The next byte, waiting at most ReadTimeout for it.
    std::uint8_t ReadByte() {
        if (fHead == fTail) {
            FillBuffer();
        }
        return fBuffer[fHead++];
    }
    // Exactly aCount bytes, each wait bounded by ReadTimeout. On failure the bytes already received stay
    // buffered for the next read.
    std::string ReadBytes(std::size_t aCount);
    std::size_t BufferedCount() const { return fTail - fHead; }
    void ClearBuffer() { fHead = fTail = 0; }
    // Bulk access for readers that scan the buffer: the buffered bytes (valid until the next call that
    // changes the buffer), taking aCount of them, and waiting at most ReadTimeout for more to arrive.
    const std::uint8_t* BufferedData() const { return fBuffer.data() + fHead; }
    void Consume(std::size_t aCount) { fHead += std::min(aCount, BufferedCount()); }
    void ReceiveMore() { FillBuffer(); }

    // Sends every byte; a wait for room in the socket lasting longer than ReadTimeout (at least 1000 ms)
    // fails with "Write timed out.". A closed peer fails with the socket error, never with a signal.
    // Any failure closes the connection: the peer may have seen part of the bytes.
    void Write(std::string_view aBytes);

private:
    // Waits for more data and appends one block to the buffer; raises when none comes.
    void FillBuffer();
    // Room for at least one more block behind fTail.
    void MakeRoom(std::size_t aMinimum);
    // Closes the socket after a failure and passes the failure on.
    [[noreturn]] void Drop(const TcpClientError& aError);

    Text fHost;
    std::uint16_t fPort = 0;
    std::int32_t fConnectTimeout = 1000;
    std::int32_t fReadTimeout = 1000;
    std::unique_ptr<TcpSocket> fSocket;
    const tZR_CancelSignal* fCancel = nullptr;
    bool fPeerClosed = false;
    std::vector<std::uint8_t> fBuffer;
    std::size_t fHead = 0;
    std::size_t fTail = 0;
};
