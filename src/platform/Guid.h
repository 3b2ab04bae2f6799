#pragma once
// Random (version 4) GUIDs, in the layout of the Windows GUID record.
#include <cstdint>

#include "base/Text.h"

struct ZrGuid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
};

ZrGuid NewGuid();
// The registry form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal digits.
Text GuidToText(const ZrGuid& aGuid);
