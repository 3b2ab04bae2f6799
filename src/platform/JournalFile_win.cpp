#include <windows.h>

#include <algorithm>

#include "platform/FileHandles_win.h"
#include "platform/JournalFile.h"

namespace {
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
}

// An open record file holding a lock over its whole range; closing it releases the lock. The handle does
// not share deletion, so no other program moves the file while a record is being appended: a rotation
// then fails and is tried again at the next operation.
class LockedFile {
public:
    LockedFile(const Text& aPath, bool aWrite, bool aExclusive) {
        // A reparse point (a symbolic link) is opened as itself and refused below.
        fHandle =
            CreateFileW(Wide(aPath), aWrite ? FILE_APPEND_DATA | FILE_READ_ATTRIBUTES : GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, aWrite ? OPEN_ALWAYS : OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (fHandle == INVALID_HANDLE_VALUE) {
            return;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        OVERLAPPED whole{};
        if (!GetFileInformationByHandle(fHandle, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
            !LockFileEx(fHandle, aExclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, MAXDWORD, MAXDWORD, &whole)) {
            Close();
        }
    }
    ~LockedFile() { Close(); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    HANDLE Handle() const { return fHandle; }
    bool Open() const { return fHandle != INVALID_HANDLE_VALUE; }

    void Close() {
        if (fHandle != INVALID_HANDLE_VALUE) {
            CloseHandle(fHandle);
            fHandle = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE fHandle = INVALID_HANDLE_VALUE;
};

bool ReadAll(HANDLE aFile, std::string& aContent) {
    aContent.clear();
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(aFile, buffer, sizeof buffer, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        aContent.append(buffer, read);
    }
}
} // namespace

bool AppendRecord(const Text& aPath, std::string_view aRecord, bool aDurable) {
    LockedFile file(aPath, true, true);
    if (!file.Open() || !WriteWhole(file.Handle(), aRecord)) {
        return false;
    }
    return !aDurable || FlushFileBuffers(file.Handle()) != 0;
}

bool ReadRecordFile(const Text& aPath, std::string& aContent, std::size_t aLastBytes) {
    LockedFile file(aPath, false, false);
    if (!file.Open()) {
        return false;
    }
    if (aLastBytes != 0) {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.Handle(), &size)) {
            return false;
        }
        LARGE_INTEGER from{};
        from.QuadPart = size.QuadPart > static_cast<LONGLONG>(aLastBytes)
                            ? size.QuadPart - static_cast<LONGLONG>(aLastBytes)
                            : 0;
        if (!SetFilePointerEx(file.Handle(), from, nullptr, FILE_BEGIN)) {
            return false;
        }
    }
    return ReadAll(file.Handle(), aContent);
}

bool RotateRecordFile(const Text& aPath, const Text& aRotatedPath,
                      const std::function<std::string(const std::string&)>& aCarry) {
    std::string content;
    {
        LockedFile file(aPath, false, false);
        if (!file.Open() || !ReadAll(file.Handle(), content)) {
            return false;
        }
    }
    // Fails while any program has the file open, so no record can be appended to the moved file. A
    // record appended between the read and the move is carried, as it is in the content read again.
    std::string again;
    if (!MoveFileExW(Wide(aPath), Wide(aRotatedPath), 0)) {
        return false;
    }
    {
        LockedFile moved(aRotatedPath, false, false);
        if (moved.Open() && ReadAll(moved.Handle(), again)) {
            content = std::move(again);
        }
    }
    LockedFile fresh(aPath, true, true);
    return fresh.Open() && WriteWhole(fresh.Handle(), aCarry(content)) &&
           FlushFileBuffers(fresh.Handle()) != 0;
}

bool CreatePrivateFolder(const Text& aPath) {
    // Under the user's own profile or beside the program; the folder inherits the access of its parent,
    // which the log folder's choice has settled.
    if (!CreateDirectoryW(Wide(aPath), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(Wide(aPath));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}
