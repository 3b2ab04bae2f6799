#pragma once
// TComPort: one serial port, opened by number (COMn), with baud rate, data bits, stop bits and parity,
// reads bounded by a time-out, writes of 8-bit strings, purge and the DTR/RTS lines. Every failure
// raises TComPortException. ComPort_win.cpp drives the Win32 comm API; ComPort_posix.cpp drives a tty
// through termios, where COMn is the device named by ZRPA_SERIAL_COM<n>, else /dev/ttyS<n-1>.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Text.h"
#include "base/ZrError.h"

enum class TStopBits : std::uint8_t { sbOne = 0, sbOneHalf = 1, sbTwo = 2 };
enum class TParity : std::uint8_t { ptNone = 0, ptOdd = 1, ptEven = 2, ptMark = 3, ptSpace = 4 };

class TComPortException : public ZrError {
public:
    using ZrError::ZrError;
};

class TComPort {
public:
    // A closed port: 9600 baud, 8 data bits, one stop bit, no parity unless given.
    explicit TComPort(std::uint32_t ncom);
    TComPort(std::uint32_t ncom, std::uint32_t baud);
    TComPort(std::uint32_t ncom, std::uint32_t baud, std::uint8_t data, TStopBits stop, TParity parity);
    ~TComPort(); // closes an open port
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // Opens the device and programs the line. "COM<n> is not a valid COM port." when there is no such
    // device, "Cannot open COM<n> (error #<e>)." for any other failure; the port stays closed when the
    // line cannot be programmed.
    void Open();
    // Waits (bounded) for the output to drain, purges the input (and the output only when it did not
    // drain) and closes; the port is marked closed in every case.
    void Close();
    // Reads at most nbytes. Returns when nbytes came, when more than 100 ms pass between two bytes, or
    // after timeout ms (0: the time-out last programmed; none yet: only what is waiting). Returns the
    // count, or -1 when the read failed, with ErrorCode := the port's error flags (written only then).
    std::int32_t Read(void* buffer, std::uint32_t nbytes, std::uint32_t timeout, std::uint32_t& ErrorCode);
    // True when every byte was written.
    bool WriteText(std::string_view S);
    void SetLineParameters(std::uint32_t baud, std::uint8_t data, TStopBits stop, TParity pty);
    // Bytes waiting in the input queue; 0 when the query fails.
    std::int32_t GetBytesPending();
    // Purges both directions when open; "PurgeComm failed!" when that fails.
    void ClearBuffers();
    void SetDTR(bool assert);
    void SetRTS(bool assert);

    std::uint32_t ComNumber() const { return fComNumber; }
    std::uint32_t BaudRate() const { return fBaudRate; }
    std::uint8_t DataBits() const { return fDataBits; }
    TStopBits StopBits() const { return fStopBits; }
    TParity Parity() const { return fParity; }
    bool ComIsOpen() const { return fIsOpen; }
    static Text DriverVersion() { return u"1.0"; }
    // The device this port opens: "\\.\COM<n>" on Windows.
    Text DevicePath() const;

private:
    static constexpr std::uint32_t kNoTimeout = 0xFFFFFFFFu;
    static constexpr std::intptr_t kNoHandle = -1;

    [[noreturn]] void RaiseOpenError(std::uint32_t e);
    // Releases the handle without purging.
    void ReleaseHandle();
    void SetControlLine(bool aDtr, const char16_t* aCall, bool aAssert);

    // The system's half, one file per OS (ComPort_win.cpp, ComPort_posix.cpp); the logic around these
    // calls is written once, in ComPort.cpp.
    // Opens DevicePath() without sharing; raises through RaiseOpenError.
    std::intptr_t OpenDevice();
    // Programs the line; raises "SetCommState failed!" when the device refuses a setting.
    void ProgramLine(std::uint32_t baud, std::uint8_t data, TStopBits stop, TParity pty);
    // Bounds the writes of a port that has no bound of its own, once the line is programmed.
    void BoundWrites();
    void CloseDevice();
    // True when nothing written waits to leave the line, or when that cannot be told.
    bool OutputDrained();
    // Discards what was received (and with aOutput what waits to be sent); false when that failed.
    bool Purge(bool aOutput);
    bool SetLineState(bool aDtr, bool aAssert);
    // Bytes in the input queue; 0 when the query fails.
    std::int32_t BytesWaiting();
    // Read once the time-out is programmed.
    std::int32_t ReadDevice(void* buffer, std::uint32_t nbytes, std::uint32_t& ErrorCode);
    std::uint32_t WriteBuffer(std::string_view S, std::uint32_t n);
    void SetReadTimeouts(std::uint32_t timeout);

    std::uint32_t fComNumber;
    std::uint32_t fBaudRate;
    std::uint8_t fDataBits;
    TStopBits fStopBits;
    TParity fParity;
    std::intptr_t fComHandle = kNoHandle; // a HANDLE on Windows, a file descriptor on POSIX
    bool fIsOpen = false;
    std::uint32_t fCurrentComTimeout = kNoTimeout;
};

// Text as 8-bit characters of the system's ANSI code page; what it cannot represent becomes "?".
// On POSIX the ANSI code page is Windows-1252.
std::string TextToAnsi(TextView aText);
// Windows-1252, with the C1 range U+0080..U+009F kept as the same bytes (as Windows' own conversion
// does), so a byte that came in as character b goes out again as b.
std::string TextToWindows1252(TextView aText);
