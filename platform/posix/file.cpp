// POSIX files with Windows error numbers. Share modes have no counterpart
// here; what the callers rely on (a missing file is created, an existing one
// reports 183, a directory cannot be opened as a file) is reproduced.
#include "platform/file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/errno_map.h"
#include "platform/system_errors.h"

namespace korvo::os {

namespace {

thread_local uint32_t t_lastError = 0;

uint32_t MapErrno(int e) {
    // Windows refuses to open a folder as a file with "access denied".
    if (e == EISDIR) return kErrorAccessDenied;
    return SystemErrorFromErrno(e);
}

// Windows tells a missing file (2) from a missing folder on the way to it
// (3); open() says ENOENT for both.
uint32_t OpenError(const char* path, int e) {
    if (e != ENOENT) return MapErrno(e);
    if (!*path) return kErrorPathNotFound;
    const char* slash = std::strrchr(path, '/');
    if (!slash || slash == path) return kErrorFileNotFound;
    std::string folder(path, static_cast<size_t>(slash - path));
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrorPathNotFound;
    return kErrorFileNotFound;
}

int Fd(FileHandle file) {
    return static_cast<int>(file);
}

bool Fail(int e) {
    t_lastError = MapErrno(e);
    return false;
}

bool Succeed() {
    t_lastError = 0;
    return true;
}

// A folder opens fine for reading here, but never as a file on Windows.
FileHandle RefuseFolder(int fd) {
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        t_lastError = kErrorAccessDenied;
        return kNoFile;
    }
    return fd;
}

} // namespace

bool IsFileHandleValid(FileHandle file) {
    return file >= 0 && file <= INT32_MAX;
}

FileHandle OpenFileForReading(const char* path, bool /*shareDelete*/) {
    if (!path) {
        t_lastError = kErrorInvalidParameter;
        return kNoFile;
    }
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        t_lastError = OpenError(path, errno);
        return kNoFile;
    }
    if (RefuseFolder(fd) == kNoFile) return kNoFile;
    t_lastError = 0;
    return fd;
}

FileHandle OpenFileAlways(const char* path) {
    if (!path) {
        t_lastError = kErrorInvalidParameter;
        return kNoFile;
    }
    // Open an existing file first, so that its existence can be reported the
    // way Windows does; create it exclusively otherwise, and start over when
    // someone else created it in between.
    for (;;) {
        int fd = open(path, O_RDWR | O_CLOEXEC | O_NOCTTY);
        if (fd >= 0) {
            t_lastError = kErrorAlreadyExists;
            return fd;
        }
        if (errno == EINTR) continue;
        if (errno != ENOENT) {
            t_lastError = OpenError(path, errno);
            return kNoFile;
        }
        fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            t_lastError = 0;
            return fd;
        }
        if (errno == EEXIST || errno == EINTR) continue;
        t_lastError = OpenError(path, errno);
        return kNoFile;
    }
}

bool CloseFile(FileHandle file) {
    if (!IsFileHandleValid(file)) return Fail(EBADF);
    // The descriptor is gone after close() even when it reports EINTR.
    if (close(Fd(file)) != 0 && errno != EINTR) return Fail(errno);
    return Succeed();
}

bool ReadFromFile(FileHandle file, void* buffer, uint32_t length, uint32_t& done) {
    done = 0;
    if (!IsFileHandleValid(file)) return Fail(EBADF);
    char* p = static_cast<char*>(buffer);
    while (done < length) {
        ssize_t n = read(Fd(file), p + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    return Succeed();
}

bool WriteToFile(FileHandle file, const void* buffer, uint32_t length, uint32_t& done) {
    done = 0;
    if (!IsFileHandleValid(file)) return Fail(EBADF);
    const char* p = static_cast<const char*>(buffer);
    while (done < length) {
        ssize_t n = write(Fd(file), p + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            // An open descriptor that refuses writing was opened for reading.
            return Fail(errno == EBADF ? EACCES : errno);
        }
        done += static_cast<uint32_t>(n);
    }
    return Succeed();
}

bool GetFileSize64(FileHandle file, uint64_t& size) {
    size = 0;
    if (!IsFileHandleValid(file)) return Fail(EBADF);
    struct stat st {};
    if (fstat(Fd(file), &st) != 0) return Fail(errno);
    size = static_cast<uint64_t>(st.st_size);
    return Succeed();
}

uint32_t MoveFilePointer(FileHandle file, int32_t distance, int origin) {
    if (!IsFileHandleValid(file)) {
        Fail(EBADF);
        return kInvalidFilePosition;
    }
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    off_t pos = lseek(Fd(file), static_cast<off_t>(distance), whence);
    if (pos < 0) {
        t_lastError = errno == EINVAL ? kErrorNegativeSeek : MapErrno(errno);
        return kInvalidFilePosition;
    }
    t_lastError = 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(pos) & 0xFFFFFFFFu);
}

bool FlushFile(FileHandle file) {
    if (!IsFileHandleValid(file)) return Fail(EBADF);
    // Windows refuses to flush a handle that cannot write.
    int mode = fcntl(Fd(file), F_GETFL);
    if (mode < 0) return Fail(errno);
    if ((mode & O_ACCMODE) == O_RDONLY) return Fail(EACCES);
    if (fsync(Fd(file)) != 0) return Fail(errno);
    return Succeed();
}

bool SetEndOfFileHere(FileHandle file) {
    if (!IsFileHandleValid(file)) return Fail(EBADF);
    off_t pos = lseek(Fd(file), 0, SEEK_CUR);
    if (pos < 0) return Fail(errno);
    int r;
    do {
        r = ftruncate(Fd(file), pos);
    } while (r != 0 && errno == EINTR);
    if (r != 0) return Fail(errno == EBADF || errno == EINVAL ? EACCES : errno);
    return Succeed();
}

uint32_t LastFileError() {
    return t_lastError;
}

void SetLastFileError(uint32_t error) {
    t_lastError = error;
}

} // namespace korvo::os
