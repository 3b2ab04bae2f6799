#include "support/TestEnvironment.h"

// The layers below the runtime keep no process-wide state.
::testing::Environment* NewTestEnvironment() {
    return nullptr;
}
