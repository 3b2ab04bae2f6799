// Load and unload of the DLL. DllMain runs under the loader lock: nothing here may wait without limit.
#include <windows.h>

#include "interface/Library.h"

BOOL WINAPI DllMain(HINSTANCE aInstance, DWORD aReason, LPVOID aReserved) {
    switch (aReason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(aInstance);
        LibraryLoad();
        break;
    case DLL_PROCESS_DETACH:
        // A process that is exiting (aReserved non-null) has already killed the other threads.
        LibraryUnload(aReserved != nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}
