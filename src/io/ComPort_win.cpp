// TComPort on the Win32 serial communications functions.
#include <windows.h>

#include "io/ComPort.h"

namespace {
HANDLE H(std::intptr_t aHandle) {
    return reinterpret_cast<HANDLE>(aHandle);
}

// A line held off by flow control must not hold the till. A port that reports no write limit gets the
// one the POSIX build keeps: twice the time the bytes need on the line (at most 12 bits per character),
// plus one second. A limit the port already has is kept.
void BoundWrites(HANDLE aPort, std::uint32_t aBaudRate) {
    COMMTIMEOUTS t{};
    if (!::GetCommTimeouts(aPort, &t) || t.WriteTotalTimeoutMultiplier != 0 ||
        t.WriteTotalTimeoutConstant != 0) {
        return;
    }
    const DWORD perByte = aBaudRate == 0 ? 1 : (2 * 12 * 1000 + aBaudRate - 1) / aBaudRate;
    t.WriteTotalTimeoutMultiplier = perByte;
    t.WriteTotalTimeoutConstant = 1000;
    ::SetCommTimeouts(aPort, &t);
}
} // namespace

Text TComPort::DevicePath() const {
    return u"\\\\.\\COM" + UIntToText(fComNumber);
}

void TComPort::Open() {
    if (fIsOpen) {
        Close();
    }
    const Text path = DevicePath();
    // Read and write, no sharing, existing device only. Comm devices are never cached, so no
    // buffering flag is needed.
    const HANDLE h = ::CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()),
                                   GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        RaiseOpenError(::GetLastError());
    }
    fComHandle = reinterpret_cast<std::intptr_t>(h);
    try {
        SetLineParameters(fBaudRate, fDataBits, fStopBits, fParity);
        BoundWrites(h, fBaudRate);
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
            COMSTAT stat{};
            DWORD errors = 0;
            drained = !::ClearCommError(H(fComHandle), &errors, &stat) || stat.cbOutQue == 0;
            if (!drained) {
                ::Sleep(5);
            }
        }
        // Output is purged only when it did not drain: a virtual COM port reports an empty queue at once,
        // and purging its output would discard the last ACKs before the other side has read them.
        ::PurgeComm(H(fComHandle), drained ? PURGE_RXABORT | PURGE_RXCLEAR
                                           : PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }
    ReleaseHandle();
}

void TComPort::ReleaseHandle() {
    if (fComHandle != kNoHandle) {
        ::CloseHandle(H(fComHandle));
        fComHandle = kNoHandle;
    }
    fIsOpen = false;
}

void TComPort::SetLineParameters(std::uint32_t baud, std::uint8_t data, TStopBits stop, TParity pty) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (fComHandle == kNoHandle || !::GetCommState(H(fComHandle), &dcb)) {
        throw TComPortException(u"GetCommState failed!");
    }
    dcb.BaudRate = baud;
    dcb.ByteSize = data;
    dcb.StopBits = static_cast<BYTE>(stop); // ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2
    dcb.Parity = static_cast<BYTE>(pty); // NOPARITY 0, ODDPARITY 1, EVENPARITY 2, MARKPARITY 3, SPACEPARITY 4
    if (!::SetCommState(H(fComHandle), &dcb)) {
        throw TComPortException(u"SetCommState failed!");
    }
    fBaudRate = baud;
    fDataBits = data;
    fStopBits = stop;
    fParity = pty;
}

void TComPort::SetReadTimeouts(std::uint32_t timeout) {
    COMMTIMEOUTS t{};
    if (!::GetCommTimeouts(H(fComHandle), &t)) {
        throw TComPortException(u"GetCommTimeouts failed.");
    }
    if (timeout == 0) {
        // Nothing programmed yet and no time-out given: return at once with what is waiting.
        t.ReadIntervalTimeout = MAXDWORD;
        t.ReadTotalTimeoutConstant = 0;
    } else {
        t.ReadIntervalTimeout = 100;
        t.ReadTotalTimeoutConstant = timeout;
    }
    t.ReadTotalTimeoutMultiplier = 0;
    if (!::SetCommTimeouts(H(fComHandle), &t)) {
        throw TComPortException(u"SetCommTimeouts failed.");
    }
    fCurrentComTimeout = timeout;
}

std::int32_t TComPort::Read(void* buffer, std::uint32_t nbytes, std::uint32_t timeout,
                            std::uint32_t& ErrorCode) {
    if (!fIsOpen) {
        throw TComPortException(u"Cannot read because COM port is not open.");
    }
    if (timeout != fCurrentComTimeout && (timeout != 0 || fCurrentComTimeout == kNoTimeout)) {
        SetReadTimeouts(timeout);
    }
    DWORD read = 0;
    if (!::ReadFile(H(fComHandle), buffer, nbytes, &read, nullptr)) {
        DWORD errors = 0;
        ::ClearCommError(H(fComHandle), &errors, nullptr);
        ErrorCode = errors;
        return -1;
    }
    return static_cast<std::int32_t>(read);
}

std::uint32_t TComPort::WriteBuffer(std::string_view S, std::uint32_t n) {
    DWORD written = 0;
    if (!::WriteFile(H(fComHandle), S.data(), n, &written, nullptr)) {
        throw TComPortException(u"Write to com port failed.");
    }
    return written;
}

bool TComPort::WriteText(std::string_view S) {
    if (!fIsOpen) {
        throw TComPortException(u"Cannot write because COM port is not open.");
    }
    const auto n = static_cast<std::uint32_t>(S.size());
    return WriteBuffer(S, n) == n;
}

std::int32_t TComPort::GetBytesPending() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!fIsOpen || !::ClearCommError(H(fComHandle), &errors, &stat)) {
        return 0;
    }
    return static_cast<std::int32_t>(stat.cbInQue);
}

void TComPort::ClearBuffers() {
    if (fIsOpen &&
        !::PurgeComm(H(fComHandle), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        throw TComPortException(u"PurgeComm failed!");
    }
}

void TComPort::SetDTR(bool assert) {
    if (!fIsOpen) {
        throw TComPortException(u"SetDTR failed because COM port not open.");
    }
    if (!::EscapeCommFunction(H(fComHandle), assert ? SETDTR : CLRDTR)) {
        throw TComPortException(u"SetDTR failed!");
    }
}

void TComPort::SetRTS(bool assert) {
    if (!fIsOpen) {
        throw TComPortException(u"SetRTS failed because COM port not open.");
    }
    if (!::EscapeCommFunction(H(fComHandle), assert ? SETRTS : CLRRTS)) {
        throw TComPortException(u"SetRTS failed!");
    }
}

std::string TextToAnsi(TextView aText) {
    if (aText.empty()) {
        return std::string();
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(aText.data());
    const int length = static_cast<int>(aText.size());
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return TextToWindows1252(aText);
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), size, nullptr, nullptr);
    return out;
}
