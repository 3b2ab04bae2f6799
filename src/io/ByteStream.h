#pragma once
// kByteStream: what only the byte-stream channels give (TCP and serial, the terminal's transports):
// reads up to a terminator or a count, their input buffer, and whether the far end may still be sending.
// A channel offers it through kIOHandler::ByteStream(); the read time-out they use is the channel's.
#include <cstdint>
#include <vector>

#include "base/Text.h"

class kByteStream {
public:
    // Drops what was received and not yet read.
    virtual void ClearBuffers() = 0;
    // Collects characters until one equal to a value of aChars was collected (it is included) or the
    // read time-out passed.
    virtual Text ReadUpTo(const std::vector<std::uint8_t>& aChars) = 0;
    virtual Text ReadChars(std::int32_t aCharsNum) = 0;
    virtual Text ReadAll() = 0;
    virtual bool InputBufferContainsData() = 0;
    // True when the far end may still send text nobody asked for (a receipt after the answer): a TCP
    // peer while the connection stands, a serial line while received bytes wait in its buffer.
    virtual bool MayHaveMoreToRead() = 0;
    // True once the far end has ended the connection, so nothing more can come (a TCP peer that closed
    // or reset); a serial line never ends.
    virtual bool PeerClosed() { return false; }
    // Waits at most aMilliseconds until input is waiting or the far end has ended the connection; true
    // when input is waiting. This form looks every millisecond; a stream that can block on its
    // transport does so.
    virtual bool WaitForInput(std::int32_t aMilliseconds);

protected:
    ~kByteStream() = default;
};
