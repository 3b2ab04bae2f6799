#include "io/IOHandler_Spool.h"

kIOHandler_Spool::kIOHandler_Spool(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler_Unavailable(aConnection, aDirectory, aFileName) {}

kIOHandler_Spool::~kIOHandler_Spool() = default;
