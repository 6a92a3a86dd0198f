// Plain files for the command-file program: open, read, write, size, file
// pointer, flush, truncate.
//
// Handles are opaque numbers. Every call returns 0 or a Windows error number
// on both systems (2 file not found, 3 path not found, 5 access denied,
// 87 invalid parameter, ...), so the code above is written once.
#pragma once

#include <cstdint>

namespace korvo::os {

using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// False for kNoFile and for every other value that cannot name an open file.
bool IsFileHandleValid(FileHandle file);

// Opens an existing file for reading. Others may read it meanwhile; with
// shareDelete they may also delete or rename it (a Windows share mode; POSIX
// has no such locks and ignores both). On failure file is kNoFile.
uint32_t OpenFileForReading(const char* path, bool shareDelete, FileHandle& file);

// Opens a file for reading and writing, others may read it meanwhile; a
// missing file is created, an existing one is opened at its start (both
// succeed). On failure file is kNoFile.
uint32_t OpenFileAlways(const char* path, FileHandle& file);

// Creates a file for reading and writing that must not exist yet: an
// existing one fails with 80 (file exists) and is left alone.
uint32_t CreateNewFile(const char* path, FileHandle& file);

uint32_t CloseFile(FileHandle file);

// Reads up to length bytes; fewer only at the end of the file.
uint32_t ReadFromFile(FileHandle file, void* buffer, uint32_t length, uint32_t& done);

// Writes length bytes; fewer only on failure.
uint32_t WriteToFile(FileHandle file, const void* buffer, uint32_t length, uint32_t& done);

// The whole size of the file.
uint32_t GetFileSize64(FileHandle file, uint64_t& size);

constexpr uint32_t kInvalidFilePosition = 0xFFFFFFFFu;

// Moves the file pointer by distance from the start (origin 0), the current
// position (1) or the end (2); position becomes the low 32 bits of the new
// position, or kInvalidFilePosition on failure.
uint32_t MoveFilePointer(FileHandle file, int32_t distance, int origin, uint32_t& position);

// Writes buffered data through to the device.
uint32_t FlushFile(FileHandle file);

// Cuts the file at the current position.
uint32_t SetEndOfFileHere(FileHandle file);

} // namespace korvo::os
