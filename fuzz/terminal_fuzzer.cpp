// Whatever a terminal may send, into every operation of the driver over a scripted channel.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzEntryPoints.h"
#include "interface/Library.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The driver writes rare errors into the application log.
    if (!LibraryLoad()) {
        FuzzFailure("the library could not be loaded");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    FuzzTerminal(aData, aSize);
    return 0;
}
