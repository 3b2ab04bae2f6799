#include "io/IOHandler_Com.h"

#include "base/ZrError.h"

kIOHandler_Com::kIOHandler_Com(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName) {}

kIOHandler_Com::~kIOHandler_Com() = default;

bool kIOHandler_Com::Write(const Text&) {
    return false;
}

Text kIOHandler_Com::ReadUpTo(const std::vector<std::uint8_t>&) {
    return Text();
}

Text kIOHandler_Com::ReadChars(std::int32_t) {
    return Text();
}

Text kIOHandler_Com::ReadAll() {
    throw ZrError(u"ReadAll Unsupported");
}

Text kIOHandler_Com::DecodeError(std::int32_t) {
    return Text();
}

bool kIOHandler_Com::InputBufferContainsData() {
    throw ZrError(u"InputBufferContainsData Unsupported");
}

void kIOHandler_Com::SetParameter(const Text&, const Text&) {}
