#pragma once
// The application log as drivers and devices see it: one line at a time, and nothing else of the
// application context.
#include "base/Text.h"
#include "runtime/ZRBaseDefs.h"

// Writes aMessage to the application log; does nothing while there is no application context (before
// the library is loaded and after it is unloaded).
void WriteApplicationLog(tZR_MessageType aEntryType, const Text& aMessage);

// The LogFiles folder the library's logs go to, checked now: one that is gone or no longer a folder is
// replaced by the user's folder (or the first choice again), as a failed write would. Empty when no folder
// can be written, and before the load. Files kept beside the logs belong below it.
Text WritableLogFolder();
