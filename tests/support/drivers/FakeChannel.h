#pragma once
// The scripted channel with what a Protocol 17 driver writes and a terminal sends: acknowledgements
// counted, terminal frames built by the driver's own framing.
#include <cstddef>

#include "drivers/P17Link.h"
#include "support/ScriptedChannel.h"

class FakeChannel : public ScriptedChannel {
public:
    using ScriptedChannel::ScriptedChannel;

    // How many acknowledgements the driver wrote.
    std::size_t AcksWritten() const {
        std::size_t n = 0;
        for (const auto& w : Writes) {
            n += w == AckFrame() ? 1 : 0;
        }
        return n;
    }
};

// Frames as a terminal sends them.
inline Text TerminalFrame(const Text& aPayload) {
    return BuildFrame(aPayload);
}
inline Text TerminalAck() {
    return AckFrame();
}
inline Text StatusFrame(const Text& aText) {
    return Text(1, P17::SOH) + aText + Text(1, P17::ETX);
}
