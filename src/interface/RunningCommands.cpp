#include "interface/RunningCommands.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {
struct tEntry {
    const tZR_RunningCommand* Command = nullptr;
    std::shared_ptr<tZR_CancelSignal> Signal;
    bool HandleKnown = false;
    std::int32_t Handle = 0;
    // Handles cancelled while this command's handle was not known yet.
    std::vector<std::int32_t> CancelledHandles;
    Text Reason;
};

struct tRunning {
    std::mutex Lock;
    std::vector<tEntry> Entries;
};

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
    running.Entries.push_back(tEntry{this, fSignal, false, 0, {}, Text()});
}

tZR_RunningCommand::~tZR_RunningCommand() {
    tRunning& running = Running();
    const std::lock_guard<std::mutex> guard(running.Lock);
    std::erase_if(running.Entries, [this](const tEntry& e) { return e.Command == this; });
}

void tZR_RunningCommand::SetHandle(std::int32_t aHandle) {
    tRunning& running = Running();
    const std::lock_guard<std::mutex> guard(running.Lock);
    tEntry* entry = Find(running, this);
    if (entry == nullptr) {
        return;
    }
    entry->Handle = aHandle;
    entry->HandleKnown = true;
    const auto& missed = entry->CancelledHandles;
    if (aHandle >= 1 && std::find(missed.begin(), missed.end(), aHandle) != missed.end()) {
        entry->Signal->Cancel(entry->Reason);
    }
}

std::int32_t CancelRunningCommands(std::int32_t aHandle, const Text& aReason) {
    tRunning& running = Running();
    const std::lock_guard<std::mutex> guard(running.Lock);
    std::int32_t reached = 0;
    for (tEntry& e : running.Entries) {
        if (aHandle <= 0 || (e.HandleKnown && e.Handle == aHandle)) {
            e.Signal->Cancel(aReason);
            ++reached;
        } else if (!e.HandleKnown) {
            // Still reading its request: it may turn out to be on this handle.
            if (std::find(e.CancelledHandles.begin(), e.CancelledHandles.end(), aHandle) ==
                e.CancelledHandles.end()) {
                e.CancelledHandles.push_back(aHandle);
            }
            e.Reason = aReason;
        }
    }
    return reached;
}
