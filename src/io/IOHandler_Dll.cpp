#include "io/IOHandler_Dll.h"

kIOHandler_Dll::kIOHandler_Dll(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler_Unavailable(aConnection, aDirectory, aFileName) {}

kIOHandler_Dll::~kIOHandler_Dll() = default;
