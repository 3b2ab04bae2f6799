#include <windows.h>

#include <cstdint>
#include <new>

#include "platform/Thread.h"

// The linker's symbol for the start of this module's image.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
constexpr int kSettleChecks = 200; // ~1 ms apart: how long an ended thread may take to leave the library
constexpr DWORD kStopWaitMs = 100; // how long a stopped thread may take to be gone

constexpr DWORD kBeginWaitMs = 500; // how long Start waits for the new thread to begin running

struct StartBlock {
    tZR_Thread::Body Body;
    void* Context;
    HANDLE Begun; // set by the thread once the loader has finished setting it up
};

DWORD WINAPI ThreadProc(LPVOID aParameter) {
    const StartBlock& block = *static_cast<StartBlock*>(aParameter);
    const tZR_Thread::Body body = block.Body;
    void* const context = block.Context;
    SetEvent(block.Begun); // from here the creator may free the block
    body(context);
    return 0;
}

bool InsideThisImage(std::uintptr_t aAddress) {
    const auto base = reinterpret_cast<std::uintptr_t>(&__ImageBase);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
    return aAddress >= base && aAddress < base + headers->OptionalHeader.SizeOfImage;
}

// True when the thread's next instruction lies outside this module: a thread that ends in place is then
// inside ExitThread and never comes back. Anything that cannot be read counts as "not yet".
bool NextInstructionOutsideThisImage(HANDLE aThread) {
    if (SuspendThread(aThread) == static_cast<DWORD>(-1)) {
        return false;
    }
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    const bool read = GetThreadContext(aThread, &context) != 0;
    ResumeThread(aThread);
#if defined(_WIN64)
    const auto next = static_cast<std::uintptr_t>(context.Rip);
#else
    const auto next = static_cast<std::uintptr_t>(context.Eip);
#endif
    return read && !InsideThisImage(next);
}

// The last resort, for a thread that would otherwise run in the unmapped library.
void Stop(HANDLE aThread) {
    TerminateThread(aThread, 0);
    WaitForSingleObject(aThread, kStopWaitMs);
    CloseHandle(aThread);
}
} // namespace

tZR_Thread::~tZR_Thread() {
    Join();
}

bool tZR_Thread::Start(Body aBody, void* aContext) noexcept {
    if (fNative != nullptr) {
        return false;
    }
    const HANDLE begun = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto* start = begun == nullptr ? nullptr : new (std::nothrow) StartBlock{aBody, aContext, begun};
    if (start == nullptr) {
        if (begun != nullptr) {
            CloseHandle(begun);
        }
        return false;
    }
    const HANDLE thread = CreateThread(nullptr, 0, &ThreadProc, start, 0, nullptr);
    if (thread == nullptr) {
        CloseHandle(begun);
        delete start;
        return false;
    }
    fNative = thread;
    // A new thread first waits for the loader lock. Were the library unloaded before it got it, the
    // thread would begin in unmapped code; so the start is over only once the thread runs. Bounded for a
    // host that calls in while it holds the loader lock itself: the block then stays with the thread.
    if (WaitForSingleObject(begun, kBeginWaitMs) == WAIT_OBJECT_0) {
        CloseHandle(begun);
        delete start;
    }
    return true;
}

void tZR_Thread::Join() noexcept {
    if (fNative == nullptr) {
        return;
    }
    const HANDLE thread = fNative;
    fNative = nullptr;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

void tZR_Thread::ReleaseEnded() noexcept {
    if (fNative == nullptr) {
        return;
    }
    const HANDLE thread = fNative;
    fNative = nullptr;
    // Between its signal and ExitThread the thread runs a few more instructions of the library.
    for (int check = 0; check < kSettleChecks; ++check) {
        if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 || NextInstructionOutsideThisImage(thread)) {
            CloseHandle(thread);
            return;
        }
        Sleep(1);
    }
    Stop(thread);
}

void tZR_Thread::ReleaseRunning() noexcept {
    if (fNative == nullptr) {
        return;
    }
    const HANDLE thread = fNative;
    fNative = nullptr;
    Stop(thread);
}

void tZR_Thread::Detach() noexcept {
    if (fNative != nullptr) {
        CloseHandle(fNative);
        fNative = nullptr;
    }
}

void EndThreadInPlaceDuringUnload() noexcept {
    ExitThread(0);
}
