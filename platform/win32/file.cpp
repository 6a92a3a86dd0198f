// Windows files. The last error is cleared before each call so that a call
// that succeeds leaves 0 behind, not a stale code of an earlier one.
#include "platform/file.h"

#include <windows.h>

namespace korvo::os {

namespace {
HANDLE H(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}
} // namespace

bool IsFileHandleValid(FileHandle file) {
    return file != 0 && H(file) != INVALID_HANDLE_VALUE;
}

FileHandle OpenFileForReading(const char* path, bool shareDelete) {
    DWORD share = FILE_SHARE_READ | (shareDelete ? FILE_SHARE_DELETE : 0);
    SetLastError(0);
    HANDLE h = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(h);
}

FileHandle OpenFileAlways(const char* path) {
    SetLastError(0);
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(h);
}

bool CloseFile(FileHandle file) {
    SetLastError(0);
    return CloseHandle(H(file)) != 0;
}

bool ReadFromFile(FileHandle file, void* buffer, uint32_t length, uint32_t& done) {
    DWORD n = 0;
    SetLastError(0);
    BOOL ok = ReadFile(H(file), buffer, length, &n, nullptr);
    done = n;
    return ok != 0;
}

bool WriteToFile(FileHandle file, const void* buffer, uint32_t length, uint32_t& done) {
    DWORD n = 0;
    SetLastError(0);
    BOOL ok = WriteFile(H(file), buffer, length, &n, nullptr);
    done = n;
    return ok != 0;
}

bool GetFileSize64(FileHandle file, uint64_t& size) {
    DWORD high = 0;
    SetLastError(0);
    DWORD low = GetFileSize(H(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        size = 0;
        return false;
    }
    size = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

uint32_t MoveFilePointer(FileHandle file, int32_t distance, int origin) {
    DWORD method = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
    SetLastError(0);
    return SetFilePointer(H(file), distance, nullptr, method);
}

bool FlushFile(FileHandle file) {
    SetLastError(0);
    return FlushFileBuffers(H(file)) != 0;
}

bool SetEndOfFileHere(FileHandle file) {
    SetLastError(0);
    return SetEndOfFile(H(file)) != 0;
}

uint32_t LastFileError() {
    return GetLastError();
}

void SetLastFileError(uint32_t error) {
    SetLastError(error);
}

} // namespace korvo::os
