#pragma once
// The file operations of the log writers. Paths are texts; the platform file turns them into its own
// form (UTF-8 on POSIX, UTF-16 on Windows, so every path a user can type works).
#include <cstdint>
#include <string_view>

#include "base/Text.h"

// Creates aPath and every missing folder above it; true when the folder exists afterwards.
bool CreateDirectories(const Text& aPath);
// Size in bytes of the regular file aPath, or -1 when it is missing or its attributes cannot be read.
std::int64_t FileSize(const Text& aPath);
bool FileExists(const Text& aPath);
// Renames aFrom to aTo; fails (never replaces) when aTo exists.
bool MoveFileNoReplace(const Text& aFrom, const Text& aTo);
// Opens aPath for appending (creating it when missing), writes aBytes and closes it again; false on any
// failure of the three steps. Others may read, move or delete the file while it is open.
bool AppendToFile(const Text& aPath, std::string_view aBytes);
// True when aPath does not depend on the current folder ("/x" on POSIX; "\x", "/x", "C:..." on Windows).
bool IsAbsolutePath(TextView aPath);
