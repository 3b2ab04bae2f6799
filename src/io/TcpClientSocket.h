#pragma once
// TcpSocket: the socket under TcpClient. What it does with the system (the address loop, the connect
// deadline, the waits in slices, the error texts) is written once, in TcpClient.cpp; the system calls
// it is made of are the functions of namespace tcpos below, one file per OS (TcpClient_posix.cpp on
// POSIX sockets, TcpClient_win.cpp on Winsock 2). The socket is non-blocking from its creation; every
// wait is a bounded poll. Failures raise TcpClientError.
#include <cstddef>
#include <cstdint>
#include <vector>

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
    void RequireOpen() const;

    std::intptr_t fHandle = kInvalid;
};

// The system's half of TcpSocket. Error codes are the system's own (errno, WSAGetLastError), always
// above 0; 0 means success.
namespace tcpos {
using Handle = std::intptr_t;
constexpr Handle kInvalid = -1;
// StartConnect and FinishConnect: the connect goes on.
constexpr int kPending = -1;
// Receive and Send: nothing could move without waiting; the call failed (the code is in aError).
constexpr std::ptrdiff_t kWouldBlock = TcpSocket::kWouldBlock;
constexpr std::ptrdiff_t kFailed = -2;

// One address a host name resolved to, as the system's resolver gave it.
struct Address {
    int Family = 0;
    int Type = 0;
    int Protocol = 0;
    std::vector<std::uint8_t> SocketAddress;
};

// The system's codes of the errors TcpClient.cpp names in fixed English, in the order of its table:
// refused, reset, aborted, timed out, host unreachable, network unreachable, network down, broken pipe,
// address not available, family not supported, too many open files, no buffer space, socket layer not
// started. -1 where the system has no such error.
constexpr std::size_t kNamedErrorCount = 13;
extern const int kNamedErrors[kNamedErrorCount];

// Asks the system's resolver, of either kind (addrinfo, ADDRINFOW), for the stream addresses aHints
// asks (aFamily, aType, aProtocol) and appends what it answers to aAddresses. aResolve(hints, &list)
// returns the resolver's code; aFree releases its list. The resolver's code, 0 when it answered.
template <typename AddressInfo, typename ResolveFn, typename FreeFn>
int ResolveStream(int aFamily, int aType, int aProtocol, ResolveFn aResolve, FreeFn aFree,
                  std::vector<Address>& aAddresses) {
    AddressInfo hints{};
    hints.ai_family = aFamily;
    hints.ai_socktype = aType;
    hints.ai_protocol = aProtocol;
    AddressInfo* list = nullptr;
    if (const int code = aResolve(hints, &list); code != 0) {
        return code;
    }
    for (const AddressInfo* a = list; a != nullptr; a = a->ai_next) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(a->ai_addr);
        aAddresses.push_back({a->ai_family, a->ai_socktype, a->ai_protocol, {bytes, bytes + a->ai_addrlen}});
    }
    aFree(list);
    return 0;
}

// 0 once the socket layer can be used, else why not.
int Start();
// aHost's addresses in the resolver's order; the resolver's error code, 0 when it answered.
int Resolve(const Text& aHost, std::uint16_t aPort, std::vector<Address>& aAddresses);
// A non-blocking socket for aAddress, or kInvalid with aError set.
Handle Open(const Address& aAddress, int& aError);
// Starts connecting to aAddress: 0 when connected at once, kPending while it goes on, else the error.
int StartConnect(Handle aHandle, const Address& aAddress);
// Waits at most aTimeoutMs for the connect StartConnect began: kPending when it still goes on, 0 when
// connected, else the error that ended it.
int FinishConnect(Handle aHandle, std::int32_t aTimeoutMs);
// Waits at most aTimeoutMs until the socket can be read (aForWriting: written); a close or an error
// counts as ready, the call that follows reports it. 0, or the error of the wait itself.
int Wait(Handle aHandle, bool aForWriting, std::int32_t aTimeoutMs, bool& aReady);
// Moves bytes without waiting: their count (0 from Receive: the peer closed), kWouldBlock or kFailed.
std::ptrdiff_t Receive(Handle aHandle, std::uint8_t* aBuffer, std::size_t aSize, int& aError);
std::ptrdiff_t Send(Handle aHandle, const std::uint8_t* aData, std::size_t aSize, int& aError);
void Close(Handle aHandle);
} // namespace tcpos
