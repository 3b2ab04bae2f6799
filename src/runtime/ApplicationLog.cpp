#include "runtime/ApplicationLog.h"

#include "runtime/Application.h"

void WriteApplicationLog(tZR_MessageType aEntryType, const Text& aMessage) {
    if (gApplication != nullptr) {
        gApplication->Log(aEntryType, aMessage);
    }
}

Text WritableLogFolder() {
    return gApplication != nullptr ? gApplication->WritableLogFolder() : Text();
}
