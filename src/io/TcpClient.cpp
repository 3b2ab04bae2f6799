#include "io/TcpClient.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "io/TcpClientSocket.h"
#include "platform/Clock.h"

namespace {
// One receive asks the socket for up to this much; the buffer grows only for ReadBytes of more.
constexpr std::size_t kBlockSize = 64 * 1024;
// Connected moves waiting bytes into the buffer, but never lets the buffer grow past this on its own.
constexpr std::size_t kPollLimit = 1024 * 1024;
constexpr std::int32_t kDefaultConnectTimeout = 1000;
constexpr std::int32_t kMinimumWriteWait = 1000;

// Fixed English texts, so the log reads the same on every till whatever its locale; in the order of
// tcpos::kNamedErrors.
constexpr const char16_t* kNamedErrorTexts[tcpos::kNamedErrorCount] = {
    u"Connection refused",
    u"Connection reset by peer",
    u"Software caused connection abort",
    u"Connection timed out",
    u"No route to host",
    u"Network is unreachable",
    u"Network is down",
    u"Broken pipe",
    u"Cannot assign requested address",
    u"Address family not supported",
    u"Too many open files",
    u"No buffer space available",
    u"Winsock not started",
};

Text SocketErrorText(int aCode) {
    const char16_t* text = u"Socket error";
    for (std::size_t i = 0; i < tcpos::kNamedErrorCount; ++i) {
        if (tcpos::kNamedErrors[i] == aCode) {
            text = kNamedErrorTexts[i];
            break;
        }
    }
    return Text(text) + u" (socket error #" + IntToText(aCode) + u").";
}

[[noreturn]] void RaiseSocketError(int aCode) {
    throw TcpClientError(zrTcpFailure::tf_Socket, SocketErrorText(aCode));
}

} // namespace

void TcpSocket::Connect(const Text& aHost, std::uint16_t aPort, std::int32_t aTimeoutMs,
                        const tZR_CancelSignal* aCancel) {
    Close();
    if (const int e = tcpos::Start(); e != 0) {
        RaiseSocketError(e);
    }
    if (aHost.empty()) {
        throw TcpClientError(zrTcpFailure::tf_Socket, u"No host given.");
    }
    const tZR_Deadline deadline(aTimeoutMs);
    std::vector<tcpos::Address> addresses;
    // Name resolution is bounded by the resolver's own time-outs; terminals are normally given by address.
    const int gai = tcpos::Resolve(aHost, aPort, addresses);
    if (gai != 0 || addresses.empty()) {
        throw TcpClientError(zrTcpFailure::tf_Socket,
                             u"Cannot resolve host '" + aHost + u"' (error #" + IntToText(gai) + u").");
    }
    // Reported when no address could even be tried.
    int lastError = tcpos::kNamedErrors[0];
    for (const tcpos::Address& address : addresses) {
        // Owns the socket of this attempt: it is closed on every way out but success.
        TcpSocket attempt;
        attempt.fHandle = tcpos::Open(address, lastError);
        if (!attempt.IsOpen()) {
            continue;
        }
        int error = tcpos::StartConnect(attempt.fHandle, address);
        // In slices, each followed by a look at the signal: a cancelled command leaves at once.
        while (error == tcpos::kPending) {
            error =
                tcpos::FinishConnect(attempt.fHandle, tZR_CancelSignal::Slice(deadline.MillisecondsLeft()));
            if (error != tcpos::kPending) {
                break;
            }
            if (deadline.Passed()) {
                throw TcpClientError(zrTcpFailure::tf_ConnectTimeout, u"Connect timed out.");
            }
            ThrowIfCancelled(aCancel);
        }
        if (error == 0) {
            std::swap(fHandle, attempt.fHandle);
            return;
        }
        lastError = error;
    }
    RaiseSocketError(lastError);
}

bool TcpSocket::WaitReadable(std::int32_t aTimeoutMs) {
    RequireOpen();
    bool ready = false;
    if (const int e = tcpos::Wait(fHandle, false, aTimeoutMs, ready); e != 0) {
        RaiseSocketError(e);
    }
    return ready;
}

std::ptrdiff_t TcpSocket::Receive(std::uint8_t* aBuffer, std::size_t aSize) {
    RequireOpen();
    int error = 0;
    const std::ptrdiff_t got = tcpos::Receive(fHandle, aBuffer, aSize, error);
    if (got == tcpos::kFailed) {
        RaiseSocketError(error);
    }
    return got;
}

void TcpSocket::Send(const std::uint8_t* aData, std::size_t aSize, std::int32_t aTimeoutMs) {
    RequireOpen();
    while (aSize > 0) {
        int error = 0;
        const std::ptrdiff_t sent = tcpos::Send(fHandle, aData, aSize, error);
        if (sent > 0) {
            aData += sent;
            aSize -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent == tcpos::kFailed) {
            RaiseSocketError(error);
        }
        bool ready = false;
        if (const int e = tcpos::Wait(fHandle, true, aTimeoutMs, ready); e != 0) {
            RaiseSocketError(e);
        }
        if (!ready) {
            throw TcpClientError(zrTcpFailure::tf_Socket, u"Write timed out.");
        }
    }
}

void TcpSocket::Close() {
    if (IsOpen()) {
        tcpos::Close(fHandle);
        fHandle = kInvalid;
    }
}

void TcpSocket::RequireOpen() const {
    if (!IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
}

TcpClient::TcpClient() : fSocket(std::make_unique<TcpSocket>()) {}

TcpClient::~TcpClient() = default;

void TcpClient::Connect() {
    fSocket->Close();
    fPeerClosed = false;
    ClearBuffer();
    ThrowIfCancelled(fCancel);
    fSocket->Connect(fHost, fPort, fConnectTimeout > 0 ? fConnectTimeout : kDefaultConnectTimeout, fCancel);
}

bool TcpClient::Connected() {
    if (!fSocket->IsOpen()) {
        return false;
    }
    try {
        while (!fPeerClosed && BufferedCount() < kPollLimit) {
            MakeRoom(kBlockSize);
            const std::ptrdiff_t got = fSocket->Receive(fBuffer.data() + fTail, fBuffer.size() - fTail);
            if (got == TcpSocket::kWouldBlock) {
                break;
            }
            if (got == 0) {
                fPeerClosed = true;
                break;
            }
            fTail += static_cast<std::size_t>(got);
        }
    } catch (const TcpClientError&) {
        fSocket->Close();
        return false;
    }
    return !fPeerClosed || BufferedCount() > 0;
}

bool TcpClient::WaitForData(std::int32_t aTimeoutMs) {
    const tZR_Deadline deadline(std::max(aTimeoutMs, 0));
    // Connected moves what the socket holds into the buffer and notices a close; a readable socket
    // that gives nothing (a spurious wake-up) is waited on again for the time that is left.
    // The wait is cut into slices so that a cancelled command stops waiting; nothing is lost by that.
    while (Connected()) {
        if (BufferedCount() > 0) {
            return true;
        }
        const std::int32_t left = deadline.MillisecondsLeft();
        if (left == 0 || IsCancelled(fCancel)) {
            return false;
        }
        fSocket->WaitReadable(tZR_CancelSignal::Slice(left));
    }
    return false;
}

void TcpClient::Disconnect() {
    fSocket->Close();
    fPeerClosed = false;
}

std::string TcpClient::ReadBytes(std::size_t aCount) {
    while (BufferedCount() < aCount) {
        FillBuffer();
    }
    std::string out(reinterpret_cast<const char*>(fBuffer.data() + fHead), aCount);
    fHead += aCount;
    return out;
}

void TcpClient::Write(std::string_view aBytes) {
    if (!fSocket->IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
    try {
        fSocket->Send(reinterpret_cast<const std::uint8_t*>(aBytes.data()), aBytes.size(),
                      std::max(fReadTimeout, kMinimumWriteWait));
    } catch (const TcpClientError& e) {
        Drop(e); // a frame sent in part leaves the stream unusable
    }
}

void TcpClient::FillBuffer() {
    if (!fSocket->IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
    if (fPeerClosed) {
        throw TcpClientError(zrTcpFailure::tf_Closed, u"Connection Closed Gracefully.");
    }
    // Also looked at when bytes keep coming: a terminal that never stops talking is cancelled as well.
    ThrowIfCancelled(fCancel);
    MakeRoom(kBlockSize);
    const tZR_Deadline deadline(std::max(fReadTimeout, 0));
    try {
        // A readable socket may still have nothing to give (a spurious wake-up); wait again for the
        // time that is left. The wait is cut into slices, each followed by a look at the signal.
        for (;;) {
            bool readable = fSocket->WaitReadable(tZR_CancelSignal::Slice(deadline.MillisecondsLeft()));
            while (!readable && !deadline.Passed()) {
                ThrowIfCancelled(fCancel);
                readable = fSocket->WaitReadable(tZR_CancelSignal::Slice(deadline.MillisecondsLeft()));
            }
            if (!readable) {
                throw TcpClientError(zrTcpFailure::tf_ReadTimeout, u"Read timed out.");
            }
            const std::ptrdiff_t got = fSocket->Receive(fBuffer.data() + fTail, fBuffer.size() - fTail);
            if (got > 0) {
                fTail += static_cast<std::size_t>(got);
                return;
            }
            if (got == 0) {
                fPeerClosed = true;
                throw TcpClientError(zrTcpFailure::tf_Closed, u"Connection Closed Gracefully.");
            }
            if (deadline.MillisecondsLeft() == 0) {
                throw TcpClientError(zrTcpFailure::tf_ReadTimeout, u"Read timed out.");
            }
        }
    } catch (const TcpClientError& e) {
        if (e.Kind() != zrTcpFailure::tf_Socket) {
            throw;
        }
        Drop(e);
    }
}

void TcpClient::MakeRoom(std::size_t aMinimum) {
    if (fHead == fTail) {
        fHead = fTail = 0;
    }
    if (fBuffer.size() - fTail >= aMinimum) {
        return;
    }
    if (fHead > 0) {
        std::memmove(fBuffer.data(), fBuffer.data() + fHead, fTail - fHead);
        fTail -= fHead;
        fHead = 0;
    }
    if (fBuffer.size() - fTail < aMinimum) {
        fBuffer.resize(std::max(fBuffer.size() * 2, fTail + aMinimum));
    }
}

void TcpClient::Drop(const TcpClientError& aError) {
    fSocket->Close();
    throw aError;
}
