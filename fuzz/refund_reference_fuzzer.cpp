// Refund references as a host hands them back for a void.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzEntryPoints.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    FuzzRefundReference(aData, aSize);
    return 0;
}
