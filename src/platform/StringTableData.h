#pragma once
// The string table compiled into non-Windows builds (generated from resources/VersionHistory.txt).
#include <cstddef>
#include <cstdint>

struct tZR_StringTableEntry {
    std::uint32_t Id;
    const char16_t* Value;
};

extern const tZR_StringTableEntry kZrStringTable[];
extern const std::size_t kZrStringTableSize;
