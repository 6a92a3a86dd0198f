#include "tool/CMyFile.h"

#include "platform/system_errors.h"

namespace korvo {

CMyFile::~CMyFile() {
    Close();
}

bool CMyFile::Open(const char* fileName, bool readOnlyMode) {
    Close();
    if (readOnlyMode) {
        lastError = os::OpenFileForReading(fileName, true, fileHandle);
        // Some file systems refuse the delete share mode.
        if (lastError == os::kErrorInvalidParameter)
            lastError = os::OpenFileForReading(fileName, false, fileHandle);
    } else {
        lastError = os::OpenFileAlways(fileName, fileHandle);
    }
    readOnly = readOnlyMode;
    return IsOpen();
}

bool CMyFile::IsOpen() const {
    return os::IsFileHandleValid(fileHandle);
}

bool CMyFile::Close() {
    bool wasOpen = IsOpen();
    if (wasOpen) os::CloseFile(fileHandle);
    fileHandle = os::kNoFile;
    readOnly = false;
    lastError = 0;
    return wasOpen;
}

bool CMyFile::Seek(int32_t distance, int origin) {
    if (!IsOpen()) return false;
    uint32_t pos = 0;
    lastError = os::MoveFilePointer(fileHandle, distance, origin, pos);
    return lastError == 0;
}

uint32_t CMyFile::Read(void* buffer, uint32_t length) {
    uint32_t done = 0;
    lastError = os::ReadFromFile(fileHandle, buffer, length, done);
    return done;
}

uint32_t CMyFile::Write(const void* buffer, uint32_t length) {
    uint32_t done = 0;
    lastError = os::WriteToFile(fileHandle, buffer, length, done);
    return done;
}

uint32_t CMyFile::GetSize() const {
    uint64_t size = 0;
    if (os::GetFileSize64(fileHandle, size) != 0) return 0;
    return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

uint32_t CMyFile::GetPosition() {
    if (!IsOpen()) return 0;
    uint32_t pos = 0;
    lastError = os::MoveFilePointer(fileHandle, 0, 1, pos);
    return pos;
}

bool CMyFile::Flush() {
    if (!IsOpen()) return false;
    lastError = os::FlushFile(fileHandle);
    return lastError == 0;
}

bool CMyFile::SetEnd() {
    if (!IsOpen()) return false;
    Flush();
    lastError = os::SetEndOfFileHere(fileHandle);
    return lastError == 0;
}

} // namespace korvo
