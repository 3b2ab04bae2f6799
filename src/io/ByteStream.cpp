#include "io/ByteStream.h"

#include <chrono>
#include <thread>

#include "platform/Clock.h"

bool kByteStream::WaitForInput(std::int32_t aMilliseconds) {
    const tZR_Deadline deadline(aMilliseconds);
    for (;;) {
        if (InputBufferContainsData()) {
            return true;
        }
        if (PeerClosed() || deadline.Passed()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
