#pragma once
// Ending a thread while the library is being unloaded.
#include <thread>

// Releases a thread whose body has signalled that it ended. POSIX joins it (nothing it needs to finish
// exiting is held by the unloading code). Windows detaches it: under the loader lock a thread cannot finish
// exiting, so waiting for its handle inside DllMain would never return.
void ReleaseEndedThreadDuringUnload(std::thread& aThread);
