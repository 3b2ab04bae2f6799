#include "io/IOHandler_Com.h"
kIOHandler_Com::kIOHandler_Com(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName) {}

kIOHandler_Com::~kIOHandler_Com() = default;

bool kIOHandler_Com::Write(const Text&) {
    return false;
}
