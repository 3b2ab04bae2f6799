#include "platform/Cancel.h"

#include <mutex>

void tZR_CancelSignal::Cancel(const Text& aReason) {
    const std::lock_guard<tZR_Lock> guard(fLock);
    if (!fRaised.load()) {
        fReason = aReason;
        fRaised.store(true);
    }
    fWake.NotifyAll();
}

void tZR_CancelSignal::SetTimeLimit(std::int64_t aMilliseconds) {
    fLimitMs = aMilliseconds;
    fLimit.emplace(aMilliseconds);
}

bool tZR_CancelSignal::Cancelled() const {
    return fRaised.load() || (fLimit && fLimit->Passed());
}

Text tZR_CancelSignal::Reason() const {
    {
        const std::lock_guard<tZR_Lock> guard(fLock);
        if (fRaised.load()) {
            return fReason;
        }
    }
    if (fLimit && fLimit->Passed()) {
        return u"its time limit of " + IntToText(fLimitMs) + u" ms passed";
    }
    return Text();
}

void tZR_CancelSignal::ThrowIfCancelled() const {
    if (Cancelled()) {
        throw tZR_Cancelled(Reason());
    }
}

bool tZR_CancelSignal::Sleep(std::int32_t aMilliseconds) const {
    const tZR_Deadline end(aMilliseconds);
    std::unique_lock<tZR_Lock> guard(fLock);
    // Bounded by the sleep's own end; the time limit is looked at every slice.
    while (!Cancelled()) {
        const std::int32_t left = end.MillisecondsLeft();
        if (left == 0) {
            return true;
        }
        fWake.WaitFor(fLock, static_cast<std::uint32_t>(Slice(left)));
    }
    return false;
}
