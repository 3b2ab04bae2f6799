#pragma once
// tZR_CancelSignal: how a command learns that it must stop waiting for its terminal. One signal belongs to
// one command call; another thread (the CANCEL export) raises it, or the command's own time limit passes.
// Every wait of the command looks at it at least every kCancelSliceMs, so a raised signal ends any
// wait within that time. A signal is never reused: a cancel that arrives after its command ended
// touches nothing the next command uses.
#include <atomic>
#include <cstdint>
#include <optional>

#include "base/Text.h"
#include "base/ZrError.h"
#include "platform/Clock.h"
#include "platform/Sync.h"

// The longest a wait blocks before it looks at its signal again.
inline constexpr std::int32_t kCancelSliceMs = 50;

// Raised by a wait that noticed its signal; the message is the signal's reason.
class tZR_Cancelled : public ZrError {
public:
    using ZrError::ZrError;
};

class tZR_CancelSignal {
public:
    tZR_CancelSignal() = default;
    tZR_CancelSignal(const tZR_CancelSignal&) = delete;
    tZR_CancelSignal& operator=(const tZR_CancelSignal&) = delete;

    // Raises the signal with aReason (a clause for a person: "the host cancelled it") and wakes every
    // Sleep on it. The first reason stays. Thread-safe.
    void Cancel(const Text& aReason);
    // From now on, the signal counts as raised once aMilliseconds have passed, with the reason "its
    // time limit of <n> ms passed". Set before the command starts waiting (not thread-safe with Cancel's
    // readers).
    void SetTimeLimit(std::int64_t aMilliseconds);

    // Raised by Cancel, or the time limit has passed.
    bool Cancelled() const;
    // Why; empty while not raised.
    Text Reason() const;
    // Raises tZR_Cancelled with the reason when Cancelled.
    void ThrowIfCancelled() const;
    // Sleeps aMilliseconds, or less when the signal is raised meanwhile; true when it slept the whole time.
    bool Sleep(std::int32_t aMilliseconds) const;
    // The time a wait of aMilliseconds left may block before it looks again: at most kCancelSliceMs.
    static std::int32_t Slice(std::int32_t aMilliseconds) {
        return aMilliseconds < kCancelSliceMs ? aMilliseconds : kCancelSliceMs;
    }

private:
    std::atomic<bool> fRaised{false};
    mutable tZR_Lock fLock;
    mutable tZR_Condition fWake;
    Text fReason; // under fLock
    std::optional<tZR_Deadline> fLimit;
    std::int64_t fLimitMs = 0;
};

// The same for a signal that may be absent (a channel used outside a command): never raised.
inline bool IsCancelled(const tZR_CancelSignal* aSignal) {
    return aSignal != nullptr && aSignal->Cancelled();
}
inline void ThrowIfCancelled(const tZR_CancelSignal* aSignal) {
    if (aSignal != nullptr) {
        aSignal->ThrowIfCancelled();
    }
}
