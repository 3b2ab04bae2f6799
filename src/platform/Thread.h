#pragma once
// Ending a thread while the library is being unloaded.
#include <thread>

// Releases a thread whose body has signalled that it ended. POSIX joins it (nothing it needs to finish
// exiting is held by the unloading code). Windows detaches it: under the loader lock a thread cannot finish
// exiting, so waiting for its handle inside DllMain would never return.
void ReleaseEndedThreadDuringUnload(std::thread& aThread) noexcept;
// Lets a thread that is still running go on alone. Never throws: a thread the threads library refuses
// to detach is parked instead, since destroying a joinable std::thread would end the host process.
void ReleaseThreadDuringUnload(std::thread& aThread) noexcept;
// Called by a library thread as its very last step. While the library is being unloaded on Windows the
// thread ends right here (ExitThread), so it never returns through code of a library that is about to be
// unmapped; it then waits inside the system for the loader lock and exits. Elsewhere it does nothing.
void EndThreadInPlaceDuringUnload() noexcept;
