#include "platform/Thread.h"

void ReleaseEndedThreadDuringUnload(std::thread& aThread) {
    if (aThread.joinable()) {
        aThread.join();
    }
}
