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
} // namespace

void TComPort::BoundWrites() {
    COMMTIMEOUTS t{};
    if (!::GetCommTimeouts(H(fComHandle), &t) || t.WriteTotalTimeoutMultiplier != 0 ||
        t.WriteTotalTimeoutConstant != 0) {
        return;
    }
    const DWORD perByte = fBaudRate == 0 ? 1 : (2 * 12 * 1000 + fBaudRate - 1) / fBaudRate;
    t.WriteTotalTimeoutMultiplier = perByte;
    t.WriteTotalTimeoutConstant = 1000;
    ::SetCommTimeouts(H(fComHandle), &t);
}

Text TComPort::DevicePath() const {
    return u"\\\\.\\COM" + UIntToText(fComNumber);
}

std::intptr_t TComPort::OpenDevice() {
    const Text path = DevicePath();
    // Read and write, no sharing, existing device only. Comm devices are never cached, so no
    // buffering flag is needed.
    const HANDLE h = ::CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()),
                                   GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        RaiseOpenError(::GetLastError());
    }
    return reinterpret_cast<std::intptr_t>(h);
}

bool TComPort::OutputDrained() {
    COMSTAT stat{};
    DWORD errors = 0;
    return !::ClearCommError(H(fComHandle), &errors, &stat) || stat.cbOutQue == 0;
}

bool TComPort::Purge(bool aOutput) {
    const DWORD input = PURGE_RXABORT | PURGE_RXCLEAR;
    return ::PurgeComm(H(fComHandle), aOutput ? input | PURGE_TXABORT | PURGE_TXCLEAR : input) != FALSE;
}

void TComPort::CloseDevice() {
    ::CloseHandle(H(fComHandle));
}

void TComPort::ProgramLine(std::uint32_t baud, std::uint8_t data, TStopBits stop, TParity pty) {
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

std::int32_t TComPort::ReadDevice(void* buffer, std::uint32_t nbytes, std::uint32_t& ErrorCode) {
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

std::int32_t TComPort::BytesWaiting() {
    DWORD errors = 0;
    COMSTAT stat{};
    return ::ClearCommError(H(fComHandle), &errors, &stat) ? static_cast<std::int32_t>(stat.cbInQue) : 0;
}

bool TComPort::SetLineState(bool aDtr, bool aAssert) {
    const DWORD function = aDtr ? (aAssert ? SETDTR : CLRDTR) : (aAssert ? SETRTS : CLRRTS);
    return ::EscapeCommFunction(H(fComHandle), function) != FALSE;
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
