#pragma once
// The device commands running now, each with its cancel signal, so that CANCEL can reach them from any
// thread. A command enters before it reads its request and leaves when it returns: a cancel reaches the
// commands inside at that moment and nothing else, so a cancel that comes after a command ended, or
// while the next one is being set up, never touches the next one. The list has its own lock, held for
// a few instructions and never while a device is built or a terminal answers.
#include <cstdint>
#include <memory>

#include "base/Text.h"
#include "platform/Cancel.h"

class tZR_RunningCommand {
public:
    // Enters the list with a new signal; the command's handle is not known yet.
    tZR_RunningCommand();
    // Leaves the list.
    ~tZR_RunningCommand();
    tZR_RunningCommand(const tZR_RunningCommand&) = delete;
    tZR_RunningCommand& operator=(const tZR_RunningCommand&) = delete;

    // The handle of the device the command uses (the request's, or the one it opened for itself). A
    // cancel of this handle that came while the handle was not known yet raises the signal now.
    void SetHandle(std::int32_t aHandle);
    const std::shared_ptr<tZR_CancelSignal>& Signal() const { return fSignal; }

private:
    std::shared_ptr<tZR_CancelSignal> fSignal;
};

// Raises, with aReason, the signal of every running command on aHandle, and of every running command
// when aHandle is 0 or negative. Returns how many commands it reached. Never waits for a command to end;
// a command still reading its request is waited for (at most 250 ms) until it knows its handle, so that
// a command the cancel stops is always counted.
std::int32_t CancelRunningCommands(std::int32_t aHandle, const Text& aReason);
