#pragma once
// The application log as drivers and devices see it: one line at a time, and nothing else of the
// application context.
#include "base/Text.h"
#include "runtime/ZRBaseDefs.h"

// Writes aMessage to the application log; does nothing while there is no application context (before
// the library is loaded and after it is unloaded).
void WriteApplicationLog(tZR_MessageType aEntryType, const Text& aMessage);
