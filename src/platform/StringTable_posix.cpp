#include <algorithm>

#include "platform/StringTable.h"
#include "platform/StringTableData.h"

Text LoadOwnString(std::uint32_t aId) {
    const tZR_StringTableEntry* end = kZrStringTable + kZrStringTableSize;
    const tZR_StringTableEntry* it = std::lower_bound(
        kZrStringTable, end, aId, [](const tZR_StringTableEntry& e, std::uint32_t id) { return e.Id < id; });
    if (it == end || it->Id != aId) {
        return Text();
    }
    Text value(it->Value);
    if (value.size() > 1024) {
        value.resize(1024);
    }
    return value;
}

bool LoadOwnRawResource(const Text&, std::string&) {
    return false;
}
