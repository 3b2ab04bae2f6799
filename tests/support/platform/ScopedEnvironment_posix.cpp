#include <cstdlib>

#include "support/ScopedEnvironment.h"

namespace {
void Put(const Text& aName, bool aSet, const Text& aValue) {
    if (aSet) {
        ::setenv(TextToUtf8(aName).c_str(), TextToUtf8(aValue).c_str(), 1);
    } else {
        ::unsetenv(TextToUtf8(aName).c_str());
    }
}
} // namespace

ScopedEnvironment::ScopedEnvironment(const Text& aName, const Text& aValue) : fName(aName) {
    const char* previous = std::getenv(TextToUtf8(aName).c_str());
    fHadValue = previous != nullptr;
    fPrevious = fHadValue ? Utf8ToText(previous) : Text();
    Put(fName, !aValue.empty(), aValue);
}

ScopedEnvironment::~ScopedEnvironment() {
    Put(fName, fHadValue, fPrevious);
}
