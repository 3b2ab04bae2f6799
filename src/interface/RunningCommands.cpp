#include "interface/RunningCommands.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {
// A cancel of a handle that came while a command did not know its handle yet. Hits counts the commands
// it reached once they learnt it, for the cancel's own count.
struct tPendingCancel {
    std::int32_t Handle = 0;
    Text Reason;
    std::shared_ptr<std::int32_t> Hits;
};

struct tEntry {
    const tZR_RunningCommand* Command = nullptr;
    std::shared_ptr<tZR_CancelSignal> Signal;
    bool HandleKnown = false;
    std::int32_t Handle = 0;
    std::vector<tPendingCancel> Pending;
};

struct tRunning {
    std::mutex Lock;
    // Told when a command learns its handle or leaves: a cancel may be waiting to count it.
    std::condition_variable Changed;
    std::vector<tEntry> Entries;
};

// A request is read in well under this; a cancel waits at most this long to learn whether a command that
// was still reading its request is on the cancelled handle, so that its count is true.
constexpr std::chrono::milliseconds kHandleWait{250};

// Lives from its first use to the unload; no command runs after that.
tRunning& Running() {
    static tRunning running;
    return running;
}

tEntry* Find(tRunning& aRunning, const tZR_RunningCommand* aCommand) {
    const auto it = std::find_if(aRunning.Entries.begin(), aRunning.Entries.end(),
                                 [&](const tEntry& e) { return e.Command == aCommand; });
    return it == aRunning.Entries.end() ? nullptr : &*it;
}
} // namespace

tZR_RunningCommand::tZR_RunningCommand() : fSignal(std::make_shared<tZR_CancelSignal>()) {
    tRunning& running = Running();
    const std::lock_guard<std::mutex> guard(running.Lock);
    running.Entries.push_back(tEntry{this, fSignal, false, 0, {}});
}

tZR_RunningCommand::~tZR_RunningCommand() {
    tRunning& running = Running();
    {
        const std::lock_guard<std::mutex> guard(running.Lock);
        std::erase_if(running.Entries, [this](const tEntry& e) { return e.Command == this; });
    }
    running.Changed.notify_all();
}

void tZR_RunningCommand::SetHandle(std::int32_t aHandle) {
    tRunning& running = Running();
    {
        const std::lock_guard<std::mutex> guard(running.Lock);
        tEntry* entry = Find(running, this);
        if (entry == nullptr) {
            return;
        }
        entry->Handle = aHandle;
        entry->HandleKnown = true;
        for (const tPendingCancel& cancel : entry->Pending) {
            if (aHandle >= 1 && cancel.Handle == aHandle) {
                entry->Signal->Cancel(cancel.Reason);
                ++*cancel.Hits;
            }
        }
        entry->Pending.clear();
    }
    running.Changed.notify_all();
}

std::int32_t CancelRunningCommands(std::int32_t aHandle, const Text& aReason) {
    tRunning& running = Running();
    std::unique_lock<std::mutex> lock(running.Lock);
    std::int32_t reached = 0;
    const auto hits = std::make_shared<std::int32_t>(0);
    std::vector<const tZR_RunningCommand*> undecided;
    for (tEntry& e : running.Entries) {
        if (aHandle <= 0 || (e.HandleKnown && e.Handle == aHandle)) {
            e.Signal->Cancel(aReason);
            ++reached;
        } else if (!e.HandleKnown) {
            // Still reading its request: it may turn out to be on this handle.
            e.Pending.push_back(tPendingCancel{aHandle, aReason, hits});
            undecided.push_back(e.Command);
        }
    }
    if (!undecided.empty()) {
        running.Changed.wait_for(lock, kHandleWait, [&] {
            return std::all_of(undecided.begin(), undecided.end(), [&](const tZR_RunningCommand* c) {
                const tEntry* e = Find(running, c);
                return e == nullptr || e->HandleKnown;
            });
        });
    }
    return reached + *hits;
}
