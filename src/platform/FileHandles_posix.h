#pragma once
// What the platform's file code shares on POSIX systems.
#include <string_view>

// Writes all of aBytes to aFd, again after a short write or an interrupted one; false on a failure.
bool WriteWhole(int aFd, std::string_view aBytes);
