#include "io/IOHandler_Serial.h"

kIOHandler_Serial::kIOHandler_Serial(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler_Unavailable(aConnection, aDirectory, aFileName) {}

kIOHandler_Serial::~kIOHandler_Serial() = default;
