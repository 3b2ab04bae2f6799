#include "io/IOHandler_TCP.h"

kIOHandler_TCP::kIOHandler_TCP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler_Unavailable(aConnection, aDirectory, aFileName) {}

kIOHandler_TCP::~kIOHandler_TCP() = default;
