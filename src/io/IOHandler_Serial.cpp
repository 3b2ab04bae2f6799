#include "io/IOHandler_Serial.h"

#include <array>
#include <chrono>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kByteReadTimeout = 100;

const kConnection& RequireConnection(const kConnection* aConnection) {
    if (aConnection == nullptr) {
        throw ZrError(u"kIOHandler_Serial needs connection settings.");
    }
    return *aConnection;
}

// Characters 4 to 6 of the port name as a decimal number: COM1 gives 1, COM12 gives 12.
std::uint32_t PortNumber(const Text& aSerialPort) {
    const Text digits = aSerialPort.size() > 3 ? aSerialPort.substr(3, 3) : Text();
    if (digits.empty() || digits.find_first_not_of(u"0123456789") != Text::npos) {
        throw ZrError(u"'" + digits + u"' is not a valid integer value");
    }
    std::uint32_t n = 0;
    for (const char16_t c : digits) {
        n = n * 10 + static_cast<std::uint32_t>(c - u'0');
    }
    return n;
}

TParity MapParity(zrParity aParity) {
    switch (aParity) {
    case zrParity::None:
        return TParity::ptNone;
    case zrParity::Even:
        return TParity::ptEven;
    case zrParity::Odd:
        return TParity::ptOdd;
    }
    throw ZrError(u"Parity invalid");
}

TStopBits MapStopBits(std::int32_t aStopBits) {
    switch (aStopBits) {
    case 1:
        return TStopBits::sbOne;
    case 2:
        return TStopBits::sbTwo;
    default:
        throw ZrError(u"Stop Bits " + IntToText(aStopBits) + u" invalid");
    }
}

Text ParityText(TParity aParity) {
    switch (aParity) {
    case TParity::ptNone:
        return u"none";
    case TParity::ptOdd:
        return u"odd";
    case TParity::ptEven:
        return u"even";
    case TParity::ptMark:
        return u"mark";
    case TParity::ptSpace:
        return u"space";
    }
    return IntToText(static_cast<int>(aParity));
}

Text StopBitsText(TStopBits aStopBits) {
    switch (aStopBits) {
    case TStopBits::sbOne:
        return u"1";
    case TStopBits::sbOneHalf:
        return u"1.5";
    case TStopBits::sbTwo:
        return u"2";
    }
    return IntToText(static_cast<int>(aStopBits));
}

std::unique_ptr<TComPort> MakePort(const kConnection& aConnection) {
    const std::uint32_t number = PortNumber(aConnection.SerialPort);
    const TParity parity = MapParity(aConnection.Parity);
    const TStopBits stop = MapStopBits(aConnection.StopBits);
    return std::make_unique<TComPort>(number, static_cast<std::uint32_t>(aConnection.Speed),
                                      static_cast<std::uint8_t>(aConnection.DataBits & 0xFF), stop, parity);
}
} // namespace

kIOHandler_Serial::kIOHandler_Serial(const kConnection* aConnection, const Text& aDirectory,
                                     const Text& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName), fComPort(MakePort(RequireConnection(aConnection))) {}

kIOHandler_Serial::~kIOHandler_Serial() {
    fComPort.reset();
}

bool kIOHandler_Serial::GetConnected() {
    return fComPort->ComIsOpen();
}

bool kIOHandler_Serial::Connect() {
    kIOHandler::Connect();
    Debug(tZR_MessageType::let_info, u"Serial Driver Version: " + TComPort::DriverVersion());
    Debug(tZR_MessageType::let_info, u"SerialPort=COM" + UIntToText(fComPort->ComNumber()));
    Debug(tZR_MessageType::let_info, u"Speed=" + UIntToText(fComPort->BaudRate()));
    Debug(tZR_MessageType::let_info, u"Parity=" + ParityText(fComPort->Parity()));
    Debug(tZR_MessageType::let_info, u"DataBits=" + UIntToText(fComPort->DataBits()));
    Debug(tZR_MessageType::let_info, u"StopBits=" + StopBitsText(fComPort->StopBits()));
    fComPort->Open();
    return fComPort->ComIsOpen();
}

bool kIOHandler_Serial::Disconnect() {
    fComPort->Close();
    return !fComPort->ComIsOpen();
}

void kIOHandler_Serial::ClearBuffers() {
    fComPort->ClearBuffers();
}

bool kIOHandler_Serial::Write(const Text& aMessage) {
    WriteLog(tZR_MessageType::let_info, u"Write", aMessage);
    // A short write is reported: the caller would otherwise wait for an answer to a frame never sent.
    return fComPort->WriteText(TextToAnsi(aMessage));
}

int kIOHandler_Serial::ReadOneByte(bool aLogErrors) {
    const auto passStart = Clock::now();
    std::uint8_t b = 0;
    std::uint32_t flags = 0;
    const std::int32_t n = fComPort->Read(&b, 1, kByteReadTimeout, flags);
    if (n == 1) {
        return b;
    }
    if (n < 0) {
        if (aLogErrors && flags != 0) {
            WriteLog(tZR_MessageType::let_error, u"Read Error", UIntToText(flags));
        }
        std::this_thread::sleep_until(passStart + std::chrono::milliseconds(kByteReadTimeout));
    }
    return -1;
}

void kIOHandler_Serial::ThrowIfReadCancelled(const Text& aCollected) {
    if (IsCancelled(CancelSignal())) {
        WriteLog(tZR_MessageType::let_error, u"Read Cancelled",
                 aCollected + u" (" + CancelSignal()->Reason() + u")");
        CancelSignal()->ThrowIfCancelled();
    }
}

Text kIOHandler_Serial::ReadChars(std::int32_t aCharsNum) {
    Text result;
    if (aCharsNum <= 0) {
        // Nothing to wait for (as described, the loop would run to the time-out collecting bytes).
        LogReceived(tZR_MessageType::let_info, u"Read", result);
        return result;
    }
    const auto limit = std::chrono::milliseconds(ReadTimeout());
    const auto start = Clock::now();
    bool timedOut = false;
    bool done = false;
    do {
        ThrowIfReadCancelled(result);
        const int b = ReadOneByte(false);
        if (b >= 0) {
            result += static_cast<char16_t>(b);
        }
        timedOut = Clock::now() - start > limit;
        done = static_cast<std::int64_t>(result.size()) == aCharsNum;
    } while (!timedOut && !done);
    if (timedOut) {
        LogReceived(tZR_MessageType::let_error, u"Read Timeout", result);
    } else {
        LogReceived(tZR_MessageType::let_info, u"Read", result);
    }
    return result;
}

Text kIOHandler_Serial::ReadUpTo(const std::vector<std::uint8_t>& aChars) {
    LogTerminators(aChars);
    std::array<bool, 256> terminators{};
    for (const std::uint8_t c : aChars) {
        terminators[c] = true;
    }
    const auto limit = std::chrono::milliseconds(ReadTimeout());
    Text result;
    const auto start = Clock::now();
    bool found = false;
    for (;;) {
        ThrowIfReadCancelled(result);
        const int b = ReadOneByte(true);
        if (b >= 0) {
            result += static_cast<char16_t>(b);
            if (terminators[b]) {
                found = true;
                break;
            }
        }
        // After every pass, also one that brought a byte: a line streaming bytes without a terminator
        // (a wrong baud rate gives exactly that) must not hold the read beyond its time-out.
        if (Clock::now() - start > limit) {
            break;
        }
    }
    if (found) {
        LogReceived(tZR_MessageType::let_info, u"Read", result);
    } else {
        LogReceived(tZR_MessageType::let_error, u"Read Timeout", result);
    }
    return result;
}

Text kIOHandler_Serial::ReadAll() {
    throw ZrError(u"ReadAll Unsupported");
}

bool kIOHandler_Serial::InputBufferContainsData() {
    return fComPort->GetBytesPending() > 0;
}
