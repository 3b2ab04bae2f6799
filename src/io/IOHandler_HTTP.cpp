#include "io/IOHandler_HTTP.h"

kIOHandler_HTTP::kIOHandler_HTTP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler_Unavailable(aConnection, aDirectory, aFileName) {}

kIOHandler_HTTP::~kIOHandler_HTTP() = default;
