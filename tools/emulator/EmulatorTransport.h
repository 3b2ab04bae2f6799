#pragma once
// The terminal emulator's byte transports: a TCP listener on 127.0.0.1 and a pseudo-terminal (POSIX only).
// Independent of the library's own channels, so the emulator checks the driver from the outside.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

namespace p17emu {

// One open byte stream towards the driver.
class ByteLink {
public:
    virtual ~ByteLink() = default;
    // Reads up to aSize bytes, waiting at most aTimeoutMs. >0: bytes read; 0: nothing in time; -1: the
    // peer is gone (TCP closed or reset).
    virtual int Read(std::uint8_t* aBuffer, std::size_t aSize, int aTimeoutMs) = 0;
    virtual bool Write(const std::string& aBytes) = 0;
    // Ends the stream (TCP: closes the connection). A pseudo-terminal stays open.
    virtual void Close() = 0;
    virtual bool CanClose() const = 0;
    // Ends the stream abruptly (TCP: a reset, so the driver's next write fails). A pseudo-terminal just
    // goes quiet.
    virtual void Reset() { Close(); }
};

class TcpListener {
public:
    // Listens on 127.0.0.1:aPort (0 picks an ephemeral port). Null with aError set on failure.
    static std::unique_ptr<TcpListener> Open(std::uint16_t aPort, std::string& aError);
    virtual ~TcpListener() = default;
    virtual std::uint16_t Port() const = 0;
    // Waits at most aTimeoutMs for a client; null when none came.
    virtual std::unique_ptr<ByteLink> Accept(int aTimeoutMs) = 0;
};

// A pseudo-terminal pair: the emulator keeps the master side; the driver opens SlavePath() as its serial
// line. The emulator also holds the slave open so the master never sees a hang-up between two commands.
class PseudoTerminal : public ByteLink {
public:
    // Null with aError set where pseudo-terminals do not exist.
    static std::unique_ptr<PseudoTerminal> Open(std::string& aError);
    virtual const std::string& SlavePath() const = 0;
};

// The local calendar time of aTime (the emulator's clock shows the till's local time, as a terminal does).
std::tm LocalCalendarTime(std::time_t aTime);

} // namespace p17emu
