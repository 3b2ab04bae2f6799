#include "io/IOHandler_TCP.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;

// Bytes in the log of the byte operations: 7-bit ASCII, anything above as the replacement character.
Text BytesAsAscii(const kIOHandler_TCP::Bytes& aBytes) {
    Text out(aBytes.size(), u'\0');
    for (std::size_t i = 0; i < aBytes.size(); ++i) {
        out[i] = aBytes[i] < 0x80 ? static_cast<char16_t>(aBytes[i]) : u'\xFFFD';
    }
    return out;
}

std::string Utf16Bytes(TextView aText, bool aBigEndian) {
    std::string out;
    out.reserve(aText.size() * 2);
    for (const char16_t c : aText) {
        const char hi = static_cast<char>(c >> 8);
        const char lo = static_cast<char>(c & 0xFF);
        out += aBigEndian ? hi : lo;
        out += aBigEndian ? lo : hi;
    }
    return out;
}

// Outgoing text as bytes. Nothing in the system sets a code page, so 0 (one byte per character) is
// the path every frame takes; the few others are the ones a channel setting could reasonably name.
std::string EncodeText(TextView aText, std::int32_t aCodePage) {
    switch (aCodePage) {
    case 0:
    case 28591: // ISO 8859-1: the same mapping
        return TextToBytes(aText);
    case 1200:
        return Utf16Bytes(aText, false);
    case 1201:
        return Utf16Bytes(aText, true);
    case 20127: {
        std::string out = TextToBytes(aText);
        for (char& c : out) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                c = '?';
            }
        }
        return out;
    }
    case 65001:
        return TextToUtf8(aText);
    default:
        throw ZrError(u"Code page " + IntToText(aCodePage) + u" is not supported by kIOHandler_TCP.");
    }
}

std::array<bool, 256> TerminatorTable(const std::vector<std::uint8_t>& aChars) {
    std::array<bool, 256> table{};
    for (const std::uint8_t c : aChars) {
        table[c] = true;
    }
    return table;
}

// The "up to" reads: takes bytes until one of aTerminators was taken (found) or until a byte is taken
// after more than aLimit has passed (timed out); returns true when timed out. Failures raise, with the
// bytes taken so far already handed to aAppend.
//
// The time is that of a byte's arrival from the socket: the clock is read once per block received, not
// once per byte (on a virtual machine one reading can cost more than all other work on a byte). Bytes of
// one block arrived together, so within a block either the first byte ends the read by time or none
// does, and the block is scanned for a terminator in one pass.
template <typename Append>
bool CollectUpTo(TcpClient& aClient, const std::array<bool, 256>& aTerminators,
                 std::chrono::milliseconds aLimit, Append aAppend) {
    const auto start = Clock::now();
    auto received = start;
    for (;;) {
        if (aClient.BufferedCount() == 0) {
            aClient.ReceiveMore();
            received = Clock::now();
        }
        const bool timedOut = received - start > aLimit;
        const std::uint8_t* data = aClient.BufferedData();
        const std::size_t available = timedOut ? 1 : aClient.BufferedCount();
        std::size_t i = 0;
        while (i < available && !aTerminators[data[i]]) {
            ++i;
        }
        const bool found = i < available;
        const std::size_t taken = found ? i + 1 : available;
        aAppend(data, taken);
        aClient.Consume(taken);
        if (timedOut || found) {
            return timedOut;
        }
    }
}

std::int64_t MillisecondsSince(Clock::time_point aStart) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - aStart).count();
}

const kConnection& RequireConnection(const kConnection* aConnection) {
    if (aConnection == nullptr) {
        throw ZrError(u"kIOHandler_TCP needs connection settings.");
    }
    return *aConnection;
}
} // namespace

kIOHandler_TCP::kIOHandler_TCP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName), fTCPClient(std::make_unique<TcpClient>()) {
    const kConnection& connection = RequireConnection(aConnection);
    fTCPClient->SetHost(connection.Address);
    fTCPClient->SetPort(static_cast<std::uint16_t>(static_cast<std::uint32_t>(connection.Port) & 0xFFFFu));
    fTCPClient->SetConnectTimeout(ConnectTimeout());
}

kIOHandler_TCP::~kIOHandler_TCP() {
    fTCPClient.reset();
}

bool kIOHandler_TCP::GetConnected() {
    try {
        return fTCPClient->Connected();
    } catch (...) {
        return false;
    }
}

void kIOHandler_TCP::SetCancelSignal(const tZR_CancelSignal* aSignal) {
    kIOHandler::SetCancelSignal(aSignal);
    fTCPClient->SetCancelSignal(aSignal);
}

bool kIOHandler_TCP::Connect() {
    kIOHandler::Connect();
    Debug(tZR_MessageType::let_info, u"Host=" + fTCPClient->Host());
    Debug(tZR_MessageType::let_info, u"Port=" + IntToText(fTCPClient->Port()));
    try {
        // The connect time-out may have been changed through the property since construction.
        fTCPClient->SetConnectTimeout(ConnectTimeout());
        if (!fTCPClient->Connected()) {
            fTCPClient->Connect();
        }
        const bool connected = fTCPClient->Connected();
        if (!connected) {
            WriteLog(tZR_MessageType::let_error, u"Connect Timeout", Text());
        }
        return connected;
    } catch (const tZR_Cancelled& e) {
        WriteLog(tZR_MessageType::let_error, u"Connect Cancelled", e.Message());
        throw;
    } catch (const std::exception& e) {
        WriteLog(tZR_MessageType::let_error, u"Connect Error", ExceptionMessage(e));
        return false;
    }
}

bool kIOHandler_TCP::Disconnect() {
    if (GetConnected()) {
        const std::size_t unread = fTCPClient->BufferedCount();
        if (unread > 0) {
            WriteLog(tZR_MessageType::let_info, u"Disconnect",
                     u"Before disconnecting the buffer contains " + UIntToText(unread) + u" bytes");
        }
    }
    // Also a connection the peer has closed, or one dropped after an error, gives its socket back here.
    fTCPClient->ClearBuffer();
    fTCPClient->Disconnect();
    return !GetConnected();
}

void kIOHandler_TCP::ClearBuffers() {
    fTCPClient->ClearBuffer();
}

bool kIOHandler_TCP::Write(const Text& aMessage) {
    WriteLog(tZR_MessageType::let_info, u"Write", aMessage);
    fTCPClient->SetReadTimeout(ReadTimeout());
    fTCPClient->Write(EncodeText(aMessage, CodePage()));
    return true;
}

Text kIOHandler_TCP::ReadUpTo(const std::vector<std::uint8_t>& aChars) {
    fTCPClient->SetReadTimeout(ReadTimeout());
    LogTerminators(aChars);
    const auto terminators = TerminatorTable(aChars);
    Text result;
    try {
        const bool timedOut = CollectUpTo(*fTCPClient, terminators, std::chrono::milliseconds(ReadTimeout()),
                                          [&result](const std::uint8_t* aData, std::size_t aCount) {
                                              const std::size_t at = result.size();
                                              result.resize(at + aCount);
                                              std::copy(aData, aData + aCount, result.begin() + at);
                                          });
        if (timedOut) {
            LogReceived(tZR_MessageType::let_error, u"Read Timeout", result);
        } else {
            LogReceived(tZR_MessageType::let_info, u"Read", result);
        }
    } catch (const tZR_Cancelled& e) {
        WriteLog(tZR_MessageType::let_error, u"Read Cancelled", result + u" (" + e.Message() + u")");
        throw;
    } catch (const std::exception& e) {
        WriteLog(tZR_MessageType::let_error, u"ReadUpTo Unexpected error", ExceptionMessage(e));
    }
    return result;
}

Text kIOHandler_TCP::ReadChars(std::int32_t aCharsNum) {
    fTCPClient->SetReadTimeout(ReadTimeout());
    try {
        Text text;
        if (aCharsNum > 0) {
            text = BytesToText(fTCPClient->ReadBytes(static_cast<std::size_t>(aCharsNum)));
        }
        if (static_cast<std::int64_t>(text.size()) < aCharsNum) {
            LogReceived(tZR_MessageType::let_error, u"Read Timeout", text);
        } else {
            LogReceived(tZR_MessageType::let_info, u"Read", text);
        }
        return text;
    } catch (const tZR_Cancelled& e) {
        WriteLog(tZR_MessageType::let_error, u"Read Cancelled", e.Message());
        throw;
    } catch (const std::exception& e) {
        WriteLog(tZR_MessageType::let_error, u"ReadChars Unexpected error", ExceptionMessage(e));
        return Text();
    }
}

Text kIOHandler_TCP::ReadAll() {
    fTCPClient->SetReadTimeout(ReadTimeout());
    const auto limit = std::chrono::milliseconds(ReadTimeout());
    Text result;
    const auto start = Clock::now();
    try {
        auto received = start;
        for (;;) {
            const bool refill = fTCPClient->BufferedCount() == 0;
            result += static_cast<char16_t>(fTCPClient->ReadByte());
            if (refill) {
                received = Clock::now();
            }
            if (received - start > limit) {
                LogReceived(tZR_MessageType::let_error, u"Read Timeout", result);
                break;
            }
        }
    } catch (const TcpClientError& e) {
        if (e.Kind() == zrTcpFailure::tf_Closed) {
            LogReceived(tZR_MessageType::let_info, u"Read", result);
        } else {
            WriteLog(tZR_MessageType::let_error, u"ReadAll Unexpected error", e.Message());
        }
    } catch (const std::exception& e) {
        WriteLog(tZR_MessageType::let_error, u"ReadAll Unexpected error", ExceptionMessage(e));
    }
    return result;
}

bool kIOHandler_TCP::InputBufferContainsData() {
    return fTCPClient->BufferedCount() > 0;
}

bool kIOHandler_TCP::WaitForInput(std::int32_t aMilliseconds) {
    try {
        return fTCPClient->WaitForData(aMilliseconds);
    } catch (const std::exception& e) {
        WriteLog(tZR_MessageType::let_error, u"WaitForInput Unexpected error", ExceptionMessage(e));
        return false;
    }
}

bool kIOHandler_TCP::WriteBytes(const Bytes& aBytes) {
    WriteLog(tZR_MessageType::let_info, u"Write", BytesAsAscii(aBytes));
    fTCPClient->SetReadTimeout(ReadTimeout());
    fTCPClient->Write(std::string_view(reinterpret_cast<const char*>(aBytes.data()), aBytes.size()));
    return true;
}

kIOHandler_TCP::Bytes kIOHandler_TCP::ReadBytes(std::int32_t aCount) {
    fTCPClient->SetReadTimeout(ReadTimeout());
    if (aCount <= 0) {
        return Bytes();
    }
    const std::string bytes = fTCPClient->ReadBytes(static_cast<std::size_t>(aCount));
    return Bytes(bytes.begin(), bytes.end());
}

kIOHandler_TCP::Bytes kIOHandler_TCP::ReadBytesUpTo(const std::vector<std::uint8_t>& aChars) {
    fTCPClient->SetReadTimeout(ReadTimeout());
    LogTerminators(aChars);
    const auto terminators = TerminatorTable(aChars);
    Bytes result;
    try {
        const bool timedOut = CollectUpTo(*fTCPClient, terminators, std::chrono::milliseconds(ReadTimeout()),
                                          [&result](const std::uint8_t* aData, std::size_t aCount) {
                                              result.insert(result.end(), aData, aData + aCount);
                                          });
        if (timedOut) {
            LogReceived(tZR_MessageType::let_error, u"Read Timeout", BytesAsAscii(result));
        } else {
            LogReceived(tZR_MessageType::let_info, u"Read", BytesAsAscii(result));
        }
    } catch (const std::exception& e) {
        WriteLog(tZR_MessageType::let_error, u"ReadUpTo Unexpected error", ExceptionMessage(e));
        throw;
    }
    return result;
}

kIOHandler_TCP::Bytes kIOHandler_TCP::ReadAllBytes() {
    fTCPClient->SetReadTimeout(ReadTimeout());
    const auto limit = std::chrono::milliseconds(ReadTimeout());
    Bytes result;
    const auto start = Clock::now();
    try {
        auto received = start;
        for (;;) {
            const bool refill = fTCPClient->BufferedCount() == 0;
            result.push_back(fTCPClient->ReadByte());
            if (refill) {
                received = Clock::now();
            }
            if (received - start > limit) {
                LogReceived(tZR_MessageType::let_error, u"Read Timeout", BytesAsAscii(result));
                break;
            }
        }
    } catch (const std::exception& e) {
        const auto* tcp = dynamic_cast<const TcpClientError*>(&e);
        if (tcp != nullptr && tcp->Kind() == zrTcpFailure::tf_Closed) {
            LogReceived(tZR_MessageType::let_info, u"Read", BytesAsAscii(result));
        } else {
            WriteLog(tZR_MessageType::let_error, u"lTimeoutExpired", IntToText(MillisecondsSince(start)));
            WriteLog(tZR_MessageType::let_error, u"ReadAll Unexpected error", ExceptionMessage(e));
        }
    }
    return result;
}
