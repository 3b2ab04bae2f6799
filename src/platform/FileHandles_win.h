#pragma once
// What the platform's file code shares on Windows.
#include <windows.h>

#include <string_view>

// Writes all of aBytes to aFile, in pieces of at most 1 GiB (WriteFile's count is 32 bits); false on a
// failure.
bool WriteWhole(HANDLE aFile, std::string_view aBytes);
