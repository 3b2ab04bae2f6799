#pragma once
// The fault matrix: every terminal operation against every fault the emulator can inject, over a real
// channel (TCP, or a serial line on a pseudo-terminal). Each cell checks that the operation returns, that
// the waits it could have taken stay within the documented bound, that the result is the documented one,
// that the device log shows the fault, and that the next operation on the same device succeeds.
//
// The protocol's waits are long (3 s, 30 s, 180 s); the matrix shortens every read to kMatrixReadWait
// and skips the pauses, and counts instead what each wait would have been: every read that ran out
// without a frame's end adds its full time-out, every pause its length. A read that got its frame took
// only the terminal's time (the emulator answers at once). That sum is what the bound is checked against,
// so no assertion depends on the machine's speed.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Text.h"
#include "emulator/TerminalEmulator.h"
#include "io/IOHandler.h"

class kConnection;

inline constexpr std::int32_t kMatrixReadWait = 300; // ms; every protocol wait is cut to this

// A real channel whose reads wait at most kMatrixReadWait, and which adds up the time-outs of the reads
// that ran out.
template <typename TChannel> class ShortWaitChannel : public TChannel {
public:
    using TChannel::TChannel;
    Text ReadUpTo(const std::vector<std::uint8_t>& aChars) override {
        const std::int32_t asked = this->ReadTimeout();
        this->SetReadTimeout(asked < kMatrixReadWait ? asked : kMatrixReadWait);
        Text text = TChannel::ReadUpTo(aChars);
        this->SetReadTimeout(asked);
        bool ended = false;
        for (const auto c : aChars) {
            ended = ended || (!text.empty() && text.back() == c);
        }
        RequestedWaitMs += ended ? 0 : asked;
        return text;
    }
    std::int64_t RequestedWaitMs = 0;
};

// Builds the channel of one cell over aConnection, logging into aLogDir under aLogName; and reads back
// the waits it counted.
struct MatrixTransport {
    std::string Name; // "TCP", "serial (pseudo-terminal)"
    std::function<std::unique_ptr<kIOHandler>(const kConnection&, const Text& aLogDir, const Text& aLogName)>
        MakeChannel;
    std::function<std::int64_t(kIOHandler&)> RequestedWaitMs;
    std::function<void(kConnection&)> Configure; // address and port, or the serial port
    Text Designation;
};

// Runs the whole matrix on aTerminal (started on the transport) and returns its rows; every failed check
// is reported through GoogleTest. aCells limits the faults (empty: all).
std::vector<std::vector<std::string>> RunFaultMatrix(p17emu::TerminalEmulator& aTerminal,
                                                     const MatrixTransport& aTransport);
std::vector<std::string> FaultMatrixHeader();
