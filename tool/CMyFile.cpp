#include "tool/CMyFile.h"

#include "platform/system_errors.h"

namespace korvo {

CMyFile::~CMyFile() {
    Close();
}

bool CMyFile::Open(const char* fileName, bool readOnlyMode) {
    Close();
    if (readOnlyMode) {
        fileHandle = os::OpenFileForReading(fileName, true);
        lastError = os::LastFileError();
        // Some file systems refuse the delete share mode.
        if (!os::IsFileHandleValid(fileHandle) && lastError == os::kErrorInvalidParameter) {
            fileHandle = os::OpenFileForReading(fileName, false);
            lastError = os::LastFileError();
        }
    } else {
        fileHandle = os::OpenFileAlways(fileName);
        lastError = os::LastFileError();
        if (IsOpen() && lastError == os::kErrorAlreadyExists) {
            lastError = 0;
            os::SetLastFileError(0);
        }
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
    uint32_t pos = os::MoveFilePointer(fileHandle, distance, origin);
    lastError = os::LastFileError();
    return !(pos == os::kInvalidFilePosition && lastError != 0);
}

uint32_t CMyFile::Read(void* buffer, uint32_t length) {
    uint32_t done = 0;
    os::ReadFromFile(fileHandle, buffer, length, done);
    lastError = os::LastFileError();
    return done;
}

uint32_t CMyFile::Write(const void* buffer, uint32_t length) {
    uint32_t done = 0;
    os::WriteToFile(fileHandle, buffer, length, done);
    lastError = os::LastFileError();
    return done;
}

uint32_t CMyFile::GetSize() const {
    uint64_t size = 0;
    if (!os::GetFileSize64(fileHandle, size)) return 0;
    return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

uint32_t CMyFile::GetPosition() {
    if (!IsOpen()) return 0;
    uint32_t pos = os::MoveFilePointer(fileHandle, 0, 1);
    lastError = os::LastFileError();
    return pos;
}

bool CMyFile::Flush() {
    if (!IsOpen()) return false;
    bool ok = os::FlushFile(fileHandle);
    lastError = os::LastFileError();
    return ok && lastError == 0;
}

bool CMyFile::SetEnd() {
    if (!IsOpen()) return false;
    Flush();
    bool ok = os::SetEndOfFileHere(fileHandle);
    lastError = os::LastFileError();
    return ok && lastError == 0;
}

} // namespace korvo
