#pragma once
// Cancelling a driver operation from another thread: the operation runs on a thread of its own while the
// test raises the channel's signal once the terminal has received a given request.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "io/IOHandler.h"
#include "platform/Cancel.h"
#include "support/TerminalEmulatorFixture.h"

// Runs aOperation with aSignal on aChannel; raises the signal (reason "cancelled by the host") once
// the terminal holds a request of code aCode. A time limit of 60 s backs the test up, so a cancel that
// is not noticed fails the test instead of holding it for the protocol's half hour.
template <typename TOperation>
void RunAndCancel(kIOHandler& aChannel, const p17emu::TerminalEmulator& aTerminal, char aCode,
                  TOperation&& aOperation) {
    tZR_CancelSignal signal;
    signal.SetTimeLimit(60000);
    aChannel.SetCancelSignal(&signal);
    auto running = std::async(std::launch::async, aOperation);
    EXPECT_TRUE(WaitForRequest(aTerminal, aCode)) << "the terminal never got request " << aCode;
    signal.Cancel(u"cancelled by the host");
    running.get();
    aChannel.SetCancelSignal(nullptr);
}
