#pragma once
// The library's own resources: the version-history string table and raw-data resources. Windows reads
// them from the module that holds this code (the DLL, not the host); elsewhere the table is compiled in.
#include <cstdint>
#include <string>

#include "base/Text.h"

// String aId of the table, at most 1024 characters of it; empty when there is no such string.
Text LoadOwnString(std::uint32_t aId);
// A raw-data resource of the library by name; false when there is none (always, outside Windows).
bool LoadOwnRawResource(const Text& aName, std::string& aBytes);
