#pragma once
// Sets an environment variable of the test process for one scope and puts the old value back after.
#include "base/Text.h"

class ScopedEnvironment {
public:
    // An empty aValue removes the variable.
    ScopedEnvironment(const Text& aName, const Text& aValue);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    Text fName;
    Text fPrevious;
    bool fHadValue = false;
};
