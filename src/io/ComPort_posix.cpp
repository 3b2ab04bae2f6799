// TComPort on a POSIX tty through termios.
//
// A tty's line discipline, unlike a Win32 comm port, edits what passes: canonical lines, echo,
// CR/LF translation, XON/XOFF, signals on control characters. Protocol frames carry control bytes and
// check bytes of any value (DC1 and DC3 included), so the port is put in raw mode; the four line
// settings are programmed, and hardware flow control, INPCK and IGNPAR stay as the driver reports them.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/sysmacros.h>
#endif
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include "io/ComPort.h"
#include "platform/Clock.h"

namespace {

// The gap allowed between two received bytes once the first has come.
constexpr auto kInterByteGap = std::chrono::milliseconds(100);
// poll() takes an int; a longer time-out is waited for in several polls.
constexpr std::int64_t kLongestPoll = 1 << 30;

struct SpeedEntry {
    std::uint32_t baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#if defined(B460800)
    {460800, B460800},
#endif
#if defined(B921600)
    {921600, B921600},
#endif
};

bool BaudToSpeed(std::uint32_t aBaud, speed_t& aSpeed) {
    for (const auto& e : kSpeeds) {
        if (e.baud == aBaud) {
            aSpeed = e.speed;
            return true;
        }
    }
    return false;
}

bool DataBitsToFlag(std::uint8_t aData, tcflag_t& aFlag) {
    switch (aData) {
    case 5:
        aFlag = CS5;
        return true;
    case 6:
        aFlag = CS6;
        return true;
    case 7:
        aFlag = CS7;
        return true;
    case 8:
        aFlag = CS8;
        return true;
    default:
        return false;
    }
}

#if defined(CMSPAR)
constexpr tcflag_t kParityMask = PARENB | PARODD | CMSPAR;
#else
constexpr tcflag_t kParityMask = PARENB | PARODD;
#endif

bool ParityToFlags(TParity aParity, tcflag_t& aFlags) {
    switch (aParity) {
    case TParity::ptNone:
        aFlags = 0;
        return true;
    case TParity::ptOdd:
        aFlags = PARENB | PARODD;
        return true;
    case TParity::ptEven:
        aFlags = PARENB;
        return true;
#if defined(CMSPAR)
    case TParity::ptMark:
        aFlags = PARENB | CMSPAR | PARODD;
        return true;
    case TParity::ptSpace:
        aFlags = PARENB | CMSPAR;
        return true;
#endif
    default:
        return false;
    }
}

// One and a half stop bits exist only with 5 data bits, where a UART gives them for CSTOPB.
bool StopBitsToFlag(TStopBits aStop, std::uint8_t aData, tcflag_t& aFlag) {
    switch (aStop) {
    case TStopBits::sbOne:
        aFlag = 0;
        return true;
    case TStopBits::sbTwo:
        aFlag = CSTOPB;
        return true;
    case TStopBits::sbOneHalf:
        aFlag = CSTOPB;
        return aData == 5;
    default:
        return false;
    }
}

int Fd(std::intptr_t aHandle) {
    return static_cast<int>(aHandle);
}

// A pseudo-terminal has no physical line: Linux's pty driver keeps the speed and stop bits it is given
// but always reports 8 data bits without parity. Bytes cross it whole either way, so a pty (a terminal
// emulator, a test) takes any data bits and parity.
bool IsPseudoTerminal(int aFd) {
#if defined(__linux__)
    struct stat st {};
    return ::fstat(aFd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
           major(st.st_rdev) <= 143;
#else
    (void)aFd;
    return false;
#endif
}

} // namespace

Text TComPort::DevicePath() const {
    const std::string variable = "ZRPA_SERIAL_COM" + std::to_string(fComNumber);
    const char* named = std::getenv(variable.c_str());
    if (named != nullptr && *named != '\0') {
        return Utf8ToText(named);
    }
    return u"/dev/ttyS" + IntToText(static_cast<std::int64_t>(fComNumber) - 1);
}

std::intptr_t TComPort::OpenDevice() {
    const std::string path = TextToUtf8(DevicePath());
    // Non-blocking: the open must not wait for a carrier, and every later wait is a bounded poll.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        RaiseOpenError(e == ENOENT || e == ENODEV || e == ENXIO ? 2u : static_cast<std::uint32_t>(e));
    }
    // Without sharing: an advisory lock against other users of this library and exclusive tty mode
    // against everyone else.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        RaiseOpenError(static_cast<std::uint32_t>(e));
    }
    ::ioctl(fd, TIOCEXCL);
    return fd;
}

void TComPort::BoundWrites() {
    // Nothing to program: WriteBuffer bounds its own waits.
}

bool TComPort::OutputDrained() {
    int pending = 0;
    return ::ioctl(Fd(fComHandle), TIOCOUTQ, &pending) != 0 || pending <= 0;
}

bool TComPort::Purge(bool aOutput) {
    return ::tcflush(Fd(fComHandle), aOutput ? TCIOFLUSH : TCIFLUSH) == 0;
}

void TComPort::CloseDevice() {
    ::ioctl(Fd(fComHandle), TIOCNXCL); // the exclusive mode outlives this descriptor otherwise
    ::close(Fd(fComHandle));
}

void TComPort::ProgramLine(std::uint32_t baud, std::uint8_t data, TStopBits stop, TParity pty) {
    termios t{};
    if (fComHandle == kNoHandle || ::tcgetattr(Fd(fComHandle), &t) != 0) {
        throw TComPortException(u"GetCommState failed!");
    }
    speed_t speed{};
    tcflag_t size = 0, parity = 0, stopFlag = 0;
    if (!BaudToSpeed(baud, speed) || !DataBitsToFlag(data, size) || !ParityToFlags(pty, parity) ||
        !StopBitsToFlag(stop, data, stopFlag)) {
        throw TComPortException(u"SetCommState failed!");
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | kParityMask);
    t.c_cflag |= size | parity | stopFlag | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 ||
        ::tcsetattr(Fd(fComHandle), TCSANOW, &t) != 0) {
        throw TComPortException(u"SetCommState failed!");
    }
    // tcsetattr succeeds when any part was taken; a driver that refused a setting shows it on reading
    // the settings back.
    termios check{};
    const tcflag_t verified = IsPseudoTerminal(Fd(fComHandle)) ? CSTOPB : (CSIZE | CSTOPB | kParityMask);
    if (::tcgetattr(Fd(fComHandle), &check) != 0 ||
        (check.c_cflag & verified) != ((size | parity | stopFlag) & verified) ||
        ::cfgetospeed(&check) != speed) {
        throw TComPortException(u"SetCommState failed!");
    }
}

void TComPort::SetReadTimeouts(std::uint32_t timeout) {
    // A tty has no read time-outs of its own: Read waits by poll() with the value kept here.
    if (fComHandle == kNoHandle) {
        throw TComPortException(u"GetCommTimeouts failed.");
    }
    fCurrentComTimeout = timeout;
}

std::int32_t TComPort::ReadDevice(void* buffer, std::uint32_t nbytes, std::uint32_t& ErrorCode) {
    auto* out = static_cast<unsigned char*>(buffer);
    const int fd = Fd(fComHandle);
    const tZR_Deadline deadline(fCurrentComTimeout);
    tZR_Deadline gapEnd = deadline;
    std::uint32_t got = 0;
    bool first = true;
    // Bytes are often waiting already: read before polling, so a waiting byte costs one system call.
    // In raw mode a read that finds nothing returns 0, so only a readable poll tells a hang-up apart.
    bool tryRead = true;
    while (got < nbytes) {
        if (tryRead) {
            const ssize_t n = ::read(fd, out + got, nbytes - got);
            if (n > 0) {
                got += static_cast<std::uint32_t>(n);
                gapEnd = deadline.Sooner(kInterByteGap.count());
                continue;
            }
            tryRead = false;
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                if (got > 0) {
                    break;
                }
                ErrorCode = static_cast<std::uint32_t>(errno);
                return -1;
            }
        }
        const std::int64_t wait =
            std::clamp<std::int64_t>(std::min(deadline, gapEnd).MillisecondsLeft(), 0, kLongestPoll);
        if (wait == 0 && !first) {
            break;
        }
        first = false;
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(wait));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        int error = 0;
        if (r < 0) {
            error = errno;
        } else if (r == 0) {
            continue; // the time is checked at the top
        } else if ((p.revents & POLLIN) != 0) {
            const ssize_t n = ::read(fd, out + got, nbytes - got);
            if (n > 0) {
                got += static_cast<std::uint32_t>(n);
                gapEnd = deadline.Sooner(kInterByteGap.count());
                tryRead = true;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            error = n == 0 ? EIO : errno; // 0 after a readable poll: the line hung up
        } else {
            error = EIO; // POLLHUP / POLLERR: the device went away
        }
        if (got > 0) {
            break; // the bytes that came before the failure are the result; the next read fails
        }
        // A tty has no error-flag word as a Win32 port has: the flags are the failure's errno.
        ErrorCode = static_cast<std::uint32_t>(error);
        return -1;
    }
    return static_cast<std::int32_t>(got);
}

std::uint32_t TComPort::WriteBuffer(std::string_view S, std::uint32_t n) {
    const int fd = Fd(fComHandle);
    // A line held off by flow control must not hold the till: twice the time the bytes need on the
    // line (at most 12 bits per character), plus one second.
    const std::uint64_t lineMs = fBaudRate == 0 ? 0 : std::uint64_t{n} * 12 * 1000 / fBaudRate;
    const tZR_Deadline deadline(static_cast<std::int64_t>(1000 + 2 * lineMs));
    std::uint32_t written = 0;
    while (written < n) {
        const ssize_t w = ::write(fd, S.data() + written, n - written);
        if (w > 0) {
            written += static_cast<std::uint32_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) {
            throw TComPortException(u"Write to com port failed.");
        }
        const std::int64_t wait = deadline.MillisecondsLeft();
        if (wait <= 0) {
            break;
        }
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(wait)) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            throw TComPortException(u"Write to com port failed.");
        }
    }
    return written;
}

std::int32_t TComPort::BytesWaiting() {
    int n = 0;
    return ::ioctl(Fd(fComHandle), FIONREAD, &n) == 0 ? n : 0;
}

bool TComPort::SetLineState(bool aDtr, bool aAssert) {
    int bits = aDtr ? TIOCM_DTR : TIOCM_RTS;
    return ::ioctl(Fd(fComHandle), aAssert ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

std::string TextToAnsi(TextView aText) {
    return TextToWindows1252(aText);
}
