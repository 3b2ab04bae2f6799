#include "io/TcpClient.h"

#include <algorithm>
#include <cstring>

#include "io/TcpClientSocket.h"
#include "platform/Clock.h"

namespace {
// One receive asks the socket for up to this much; the buffer grows only for ReadBytes of more.
constexpr std::size_t kBlockSize = 64 * 1024;
// Connected moves waiting bytes into the buffer, but never lets the buffer grow past this on its own.
constexpr std::size_t kPollLimit = 1024 * 1024;
constexpr std::int32_t kDefaultConnectTimeout = 1000;
constexpr std::int32_t kMinimumWriteWait = 1000;

} // namespace

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
