#pragma once
// The thread a log writer runs on, and how it is let go while the library is being unloaded.
// On Windows it is a plain system thread (CreateThread): neither its start nor its end goes through the
// threads runtime linked into the library, whose thread start and exit code lives in the library's own
// pages and takes the loader lock.

class tZR_Thread {
public:
    using Body = void (*)(void* aContext);

    tZR_Thread() = default;
    // Joins a thread that was neither joined nor released.
    ~tZR_Thread();
    tZR_Thread(const tZR_Thread&) = delete;
    tZR_Thread& operator=(const tZR_Thread&) = delete;

    // Runs aBody(aContext) on a new thread; false when the system could not make one.
    bool Start(Body aBody, void* aContext) noexcept;
    // Started and neither joined nor released yet.
    bool Active() const noexcept { return fNative != nullptr; }
    // Waits for the thread's end, without limit. Not for library unload.
    void Join() noexcept;
    // Library unload, the body has signalled its end and ends in place (EndThreadInPlaceDuringUnload):
    // waits, bounded, until no instruction of the library is left for it to run, then lets it go.
    // POSIX joins it (nothing it needs to finish exiting is held by the unloading code); Windows cannot
    // wait for its end, which needs the loader lock the unloading thread holds.
    void ReleaseEnded() noexcept;
    // Library unload, the body is still running after its whole budget. On Windows it is stopped: left
    // alone it would resume in the library's code after the unmap and fault the host. POSIX detaches it.
    void ReleaseRunning() noexcept;
    // Not an unload: lets a thread that a system call holds end by itself later, without waiting.
    void Detach() noexcept;

private:
    void* fNative = nullptr; // the thread's handle on Windows, a std::thread elsewhere
};

// A library thread's very last step in unload mode. On Windows the thread ends right here (ExitThread),
// so it never returns through code of a library that is about to be unmapped; it then waits inside the
// system for the loader lock and exits. Elsewhere it does nothing and the thread returns.
void EndThreadInPlaceDuringUnload() noexcept;
