#pragma once
// The file operations of the log writers. Paths are texts; the platform file turns them into its own
// form (UTF-8 on POSIX, UTF-16 on Windows, so every path a user can type works). Nothing here writes
// through a link: a log must never become a way to write into a file someone else chose.
#include <cstdint>
#include <string_view>

#include "base/Text.h"

// Creates aPath and every missing folder above it; true when aPath is a folder afterwards. POSIX: each
// folder made is 0700 whatever the umask, and aPath itself, when it exists already, is ours and others may
// write into it, is narrowed to 0700. Windows: folders inherit their parent's permissions.
bool CreateDirectories(const Text& aPath);
// Size in bytes of the regular file aPath (a link is not followed), or -1 when it is missing, a link or
// its attributes cannot be read.
std::int64_t FileSize(const Text& aPath);
bool FileExists(const Text& aPath);
// True when aPath is a folder itself, not a link (a reparse point on Windows) to one.
bool FolderExists(const Text& aPath);
// Renames aFrom to aTo; fails (never replaces) when aTo exists.
bool MoveFileNoReplace(const Text& aFrom, const Text& aTo);

// What an append came to.
enum class tZR_AppendResult : std::uint8_t {
    ar_Written, // every byte is in the file
    ar_Failed,  // the file could not be opened or written: no folder, no right, disk full
    ar_Refused, // the file or its folder is a link (a reparse point on Windows) or no plain file: nothing
                // was written
};
// Opens aPath for appending (creating it when missing), writes aBytes and closes it again. Never follows
// a link at the file's name or at its folder's own name, and never writes into a file with a second name
// (a hard link) or into anything but a plain file. POSIX: the file is created 0600 whatever the umask, and
// an existing file of ours is narrowed to 0600. Others may read, move or delete the file while it is open.
tZR_AppendResult AppendToFile(const Text& aPath, std::string_view aBytes);
// True when aPath does not depend on the current folder ("/x" on POSIX; "\x", "/x", "C:..." on Windows).
bool IsAbsolutePath(TextView aPath);

// The names of the plain files (no links, no folders) directly in aFolder that were last written more than
// aAgeSeconds ago; at most aLimit of them, in no particular order. Empty when the folder cannot be read.
TextList PlainFilesOlderThan(const Text& aFolder, std::int64_t aAgeSeconds, std::size_t aLimit);
// Deletes the plain file aPath; a link, a folder or a missing file is left alone (false).
bool DeletePlainFile(const Text& aPath);
