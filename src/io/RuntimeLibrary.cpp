#include "io/RuntimeLibrary.h"

#include <utility>

#include "base/ZrError.h"
#include "io/DynamicLibrary.h"

tZR_RuntimeLibrary::tZR_RuntimeLibrary(Text aUser, Text aFileName)
    : fUser(std::move(aUser)), fFileName(std::move(aFileName)) {
    tZR_DynamicLibrary::Failure failure;
    fHandle = tZR_DynamicLibrary::Load(fFileName, failure);
    if (fHandle == nullptr) {
        throw ZrError(fUser + u" needs " + fFileName + u", which cannot be loaded: " + failure.Message);
    }
}

void* tZR_RuntimeLibrary::Require(const char* aName) const {
    const Text name = Utf8ToText(aName);
    void* address = tZR_DynamicLibrary::Address(fHandle, name);
    if (address == nullptr) {
        throw ZrError(fFileName + u" has no function " + name + u" (" + fUser + u" needs it)");
    }
    return address;
}
