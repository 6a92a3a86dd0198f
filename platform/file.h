// Plain files for the command-file program: open, read, write, size, file
// pointer, flush, truncate.
//
// Handles are opaque numbers and failures come back as Windows error numbers
// on both systems (2 file not found, 3 path not found, 5 access denied,
// 87 invalid parameter, 183 already exists, ...), through a per-thread last
// error, so the code above is written once. Every call sets the last error:
// 0 on success unless noted.
#pragma once

#include <cstdint>

namespace korvo::os {

using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// False for kNoFile and for every other value that cannot name an open file.
bool IsFileHandleValid(FileHandle file);

// Opens an existing file for reading. Others may read it meanwhile; with
// shareDelete they may also delete or rename it (a Windows share mode; POSIX
// has no such locks and ignores both).
FileHandle OpenFileForReading(const char* path, bool shareDelete);

// Opens a file for reading and writing, others may read it meanwhile; a
// missing file is created. Sets the last error to 183 when the file existed.
FileHandle OpenFileAlways(const char* path);

bool CloseFile(FileHandle file);

// Reads up to length bytes; fewer only at the end of the file.
bool ReadFromFile(FileHandle file, void* buffer, uint32_t length, uint32_t& done);

// Writes length bytes; fewer only on failure.
bool WriteToFile(FileHandle file, const void* buffer, uint32_t length, uint32_t& done);

// The whole size of the file.
bool GetFileSize64(FileHandle file, uint64_t& size);

constexpr uint32_t kInvalidFilePosition = 0xFFFFFFFFu;

// Moves the file pointer by distance from the start (origin 0), the current
// position (1) or the end (2); returns the low 32 bits of the new position.
// kInvalidFilePosition with a nonzero last error on failure.
uint32_t MoveFilePointer(FileHandle file, int32_t distance, int origin);

// Writes buffered data through to the device.
bool FlushFile(FileHandle file);

// Cuts the file at the current position.
bool SetEndOfFileHere(FileHandle file);

uint32_t LastFileError();
void SetLastFileError(uint32_t error);

} // namespace korvo::os
