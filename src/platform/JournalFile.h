#pragma once
// Files of records that must outlive the program and the machine: each record is appended in one write
// under an exclusive lock of the file, so two programs that share a file never interleave or lose
// records, and it can be forced through the operating system's caches to the disk. The files are
// created for their owner only and never through a symbolic link (the records name payments).
#include <functional>
#include <string>
#include <string_view>

#include "base/Text.h"

// Appends aRecord (whole lines) to aPath, creating the file when it is missing. With aDurable the bytes
// are on stable storage when it returns (fdatasync, FlushFileBuffers). A file moved away by
// RotateRecordFile while this waited for the lock is left alone: the record goes to the new file at
// aPath. False on any failure; nothing is then half written that a reader would take for a record.
bool AppendRecord(const Text& aPath, std::string_view aRecord, bool aDurable);

// The whole content of aPath, read under a shared lock so that no record being appended is seen half;
// with aLastBytes, only that many bytes from its end (the first line may then be a part of one). False
// when the file is missing or cannot be read.
bool ReadRecordFile(const Text& aPath, std::string& aContent, std::size_t aLastBytes = 0);

// Under the exclusive lock of aPath: moves it to aRotatedPath (never replacing a file there) and starts
// aPath again with aCarry(old content), written durably. False, with aPath untouched, when the file
// cannot be locked or moved.
bool RotateRecordFile(const Text& aPath, const Text& aRotatedPath,
                      const std::function<std::string(const std::string&)>& aCarry);

// Creates the folder aPath (its parent must exist) with access for its owner only, or finds it; a
// symbolic link there is not taken for the folder. True when the folder exists afterwards.
bool CreatePrivateFolder(const Text& aPath);
