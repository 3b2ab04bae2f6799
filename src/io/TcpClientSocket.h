#pragma once
// TcpSocket: the operating system's half of TcpClient, one file per OS (TcpClient_posix.cpp on POSIX
// sockets, TcpClient_win.cpp on Winsock 2). The socket is non-blocking from its creation; every wait
// is a bounded poll. Failures raise TcpClientError.
#include <cstddef>
#include <cstdint>

#include "base/Text.h"
#include "io/TcpClient.h"

class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket() { Close(); }
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    bool IsOpen() const { return fHandle != kInvalid; }
    // Resolves aHost and tries its addresses in order until one accepts, all within aTimeoutMs. A raised
    // aCancel (may be null) ends the wait for the peer within kCancelSliceMs with tZR_Cancelled and
    // nothing open; name resolution is not interrupted.
    void Connect(const Text& aHost, std::uint16_t aPort, std::int32_t aTimeoutMs,
                 const tZR_CancelSignal* aCancel = nullptr);
    // Waits at most aTimeoutMs (0: only looks) until data, a close or an error can be received.
    bool WaitReadable(std::int32_t aTimeoutMs);
    // Receives without waiting: the number of bytes, 0 after a close by the peer, kWouldBlock when
    // nothing waits.
    static constexpr std::ptrdiff_t kWouldBlock = -1;
    std::ptrdiff_t Receive(std::uint8_t* aBuffer, std::size_t aSize);
    // Sends everything; each wait for room lasts at most aTimeoutMs.
    void Send(const std::uint8_t* aData, std::size_t aSize, std::int32_t aTimeoutMs);
    void Close();

private:
    static constexpr std::intptr_t kInvalid = -1;
    std::intptr_t fHandle = kInvalid;
};
