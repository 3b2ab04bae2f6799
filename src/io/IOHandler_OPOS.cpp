#include "io/IOHandler_OPOS.h"

kIOHandler_OPOS::kIOHandler_OPOS(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler_Unavailable(aConnection, aDirectory, aFileName) {}

kIOHandler_OPOS::~kIOHandler_OPOS() = default;
