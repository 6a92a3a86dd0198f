// A small wrapper over one operating-system file, as korvoprog reads its
// command and configuration files and writes its response file.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace korvo {

class CMyFile {
public:
    CMyFile() = default;
    virtual ~CMyFile();

    CMyFile(const CMyFile&) = delete;
    CMyFile& operator=(const CMyFile&) = delete;

    // readOnly: an existing file, shared with readers and deleters.
    // Otherwise the file is opened for reading and writing and created when
    // it is missing; that it existed is not an error.
    virtual bool Open(const char* fileName, bool readOnly);
    virtual bool IsOpen() const;
    // True when a file was open and is now closed.
    virtual bool Close();
    // origin: 1 from the current position, 2 from the end, anything else from
    // the start.
    virtual bool Seek(int32_t distance, int origin);
    // Returns the number of bytes read or written.
    virtual uint32_t Read(void* buffer, uint32_t length);
    virtual uint32_t Write(const void* buffer, uint32_t length);
    // The file size; 0xFFFFFFFF when it does not fit 32 bits, so that a huge
    // file never passes for a small one.
    virtual uint32_t GetSize() const;
    // Low 32 bits of the current position; 0 when not open.
    virtual uint32_t GetPosition();
    virtual bool Flush();
    // Cuts the file at the current position, after flushing.
    virtual bool SetEnd();

    // The operating system's error number after the last operation.
    uint32_t LastError() const { return lastError; }
    bool IsReadOnly() const { return readOnly; }

private:
    os::FileHandle fileHandle = os::kNoFile;
    bool readOnly = false;
    uint32_t lastError = 0;
};

} // namespace korvo
