#include "io/ComPort.h"

#include <chrono>
#include <thread>

TComPort::TComPort(std::uint32_t ncom) : TComPort(ncom, 9600) {}

TComPort::TComPort(std::uint32_t ncom, std::uint32_t baud)
    : TComPort(ncom, baud, 8, TStopBits::sbOne, TParity::ptNone) {}

TComPort::TComPort(std::uint32_t ncom, std::uint32_t baud, std::uint8_t data, TStopBits stop, TParity parity)
    : fComNumber(ncom), fBaudRate(baud), fDataBits(data), fStopBits(stop), fParity(parity) {}

TComPort::~TComPort() {
    try {
        Close();
    } catch (...) {
        // A destructor must not throw; the handle is released either way.
    }
}

void TComPort::RaiseOpenError(std::uint32_t e) {
    const Text number = UIntToText(fComNumber);
    if (e == 2) {
        throw TComPortException(u"COM" + number + u" is not a valid COM port.");
    }
    throw TComPortException(u"Cannot open COM" + number + u" (error #" + UIntToText(e) + u").");
}

void TComPort::Open() {
    if (fIsOpen) {
        Close();
    }
    fComHandle = OpenDevice();
    try {
        SetLineParameters(fBaudRate, fDataBits, fStopBits, fParity);
        BoundWrites();
    } catch (...) {
        ReleaseHandle();
        throw;
    }
    fIsOpen = true;
    fCurrentComTimeout = kNoTimeout;
}

void TComPort::Close() {
    if (fIsOpen) {
        // Let what was written leave the line first (the driver's last ACK is written just before the
        // close), but never wait for a line that does not drain, e.g. one held by flow control.
        bool drained = false;
        for (int i = 0; i < 200 && !drained; ++i) {
            drained = OutputDrained();
            if (!drained) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        // Output is purged only when it did not drain: a pseudo-terminal or a virtual COM port (socat,
        // ser2net, virtual COM drivers) reports an empty queue at once, and purging its output would
        // discard the last ACKs before the other side has read them.
        Purge(!drained);
    }
    ReleaseHandle();
}

void TComPort::ReleaseHandle() {
    if (fComHandle != kNoHandle) {
        CloseDevice();
        fComHandle = kNoHandle;
    }
    fIsOpen = false;
}

std::int32_t TComPort::Read(void* buffer, std::uint32_t nbytes, std::uint32_t timeout,
                            std::uint32_t& ErrorCode) {
    if (!fIsOpen) {
        throw TComPortException(u"Cannot read because COM port is not open.");
    }
    if (timeout != fCurrentComTimeout && (timeout != 0 || fCurrentComTimeout == kNoTimeout)) {
        SetReadTimeouts(timeout);
    }
    return ReadDevice(buffer, nbytes, ErrorCode);
}

void TComPort::SetLineParameters(std::uint32_t baud, std::uint8_t data, TStopBits stop, TParity pty) {
    ProgramLine(baud, data, stop, pty);
    fBaudRate = baud;
    fDataBits = data;
    fStopBits = stop;
    fParity = pty;
}

std::int32_t TComPort::GetBytesPending() {
    return fIsOpen ? BytesWaiting() : 0;
}

void TComPort::ClearBuffers() {
    if (fIsOpen && !Purge(true)) {
        throw TComPortException(u"PurgeComm failed!");
    }
}

void TComPort::SetDTR(bool assert) {
    SetControlLine(true, u"SetDTR", assert);
}

void TComPort::SetRTS(bool assert) {
    SetControlLine(false, u"SetRTS", assert);
}

void TComPort::SetControlLine(bool aDtr, const char16_t* aCall, bool aAssert) {
    if (!fIsOpen) {
        throw TComPortException(Text(aCall) + u" failed because COM port not open.");
    }
    if (!SetLineState(aDtr, aAssert)) {
        throw TComPortException(Text(aCall) + u" failed!");
    }
}

bool TComPort::WriteText(std::string_view S) {
    if (!fIsOpen) {
        throw TComPortException(u"Cannot write because COM port is not open.");
    }
    const auto n = static_cast<std::uint32_t>(S.size());
    return WriteBuffer(S, n) == n;
}

std::string TextToWindows1252(TextView aText) {
    // Unicode characters of the bytes 80..9F hexadecimal; 0 where Windows-1252 leaves the byte unused.
    static constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                           0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out(aText.size(), '?');
    for (std::size_t i = 0; i < aText.size(); ++i) {
        const char16_t c = aText[i];
        if (c < 0x100) {
            out[i] = static_cast<char>(c);
            continue;
        }
        for (int b = 0; b < 32; ++b) {
            if (kHigh[b] == c) {
                out[i] = static_cast<char>(0x80 + b);
                break;
            }
        }
    }
    return out;
}
