// Windows files.
#include "platform/file.h"

#include <windows.h>

#include "platform/system_errors.h"

namespace korvo::os {

namespace {

HANDLE H(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

// 0, or the error of the call that just failed (never 0 for a failure).
uint32_t Result(BOOL ok) {
    if (ok) return 0;
    DWORD error = GetLastError();
    return error != 0 ? error : kErrorGenFailure;
}

uint32_t Open(const char* path, DWORD access, DWORD share, DWORD disposition, FileHandle& file) {
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    file = h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(h);
    return Result(h != INVALID_HANDLE_VALUE);
}

} // namespace

bool IsFileHandleValid(FileHandle file) {
    return file != 0 && H(file) != INVALID_HANDLE_VALUE;
}

uint32_t OpenFileForReading(const char* path, bool shareDelete, FileHandle& file) {
    DWORD share = FILE_SHARE_READ | (shareDelete ? FILE_SHARE_DELETE : 0);
    return Open(path, GENERIC_READ, share, OPEN_EXISTING, file);
}

uint32_t OpenFileAlways(const char* path, FileHandle& file) {
    // An existing file succeeds with 183 (already exists) left behind, which
    // is no failure.
    return Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, file);
}

uint32_t CreateNewFile(const char* path, FileHandle& file) {
    return Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, file);
}

uint32_t CloseFile(FileHandle file) {
    return Result(CloseHandle(H(file)));
}

uint32_t ReadFromFile(FileHandle file, void* buffer, uint32_t length, uint32_t& done) {
    DWORD n = 0;
    BOOL ok = ReadFile(H(file), buffer, length, &n, nullptr);
    done = n;
    return Result(ok);
}

uint32_t WriteToFile(FileHandle file, const void* buffer, uint32_t length, uint32_t& done) {
    DWORD n = 0;
    BOOL ok = WriteFile(H(file), buffer, length, &n, nullptr);
    done = n;
    return Result(ok);
}

uint32_t GetFileSize64(FileHandle file, uint64_t& size) {
    size = 0;
    DWORD high = 0;
    // All ones is also the low half of a valid size; only the error tells.
    SetLastError(0);
    DWORD low = GetFileSize(H(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return GetLastError();
    size = (static_cast<uint64_t>(high) << 32) | low;
    return 0;
}

uint32_t MoveFilePointer(FileHandle file, int32_t distance, int origin, uint32_t& position) {
    DWORD method = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
    // All ones is also a valid position; only the error tells.
    SetLastError(0);
    position = SetFilePointer(H(file), distance, nullptr, method);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return GetLastError();
    return 0;
}

uint32_t FlushFile(FileHandle file) {
    return Result(FlushFileBuffers(H(file)));
}

uint32_t SetEndOfFileHere(FileHandle file) {
    return Result(SetEndOfFile(H(file)));
}

} // namespace korvo::os
