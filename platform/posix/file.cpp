// POSIX files with Windows error numbers. Share modes have no counterpart
// here; what the callers rely on (a missing file is created, a directory
// cannot be opened as a file) is reproduced.
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

// A folder opens fine for reading here, but never as a file on Windows.
bool IsFolder(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool IsFileHandleValid(FileHandle file) {
    return file >= 0 && file <= INT32_MAX;
}

uint32_t OpenFileForReading(const char* path, bool /*shareDelete*/, FileHandle& file) {
    file = kNoFile;
    if (!path) return kErrorInvalidParameter;
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return OpenError(path, errno);
    if (IsFolder(fd)) {
        close(fd);
        return kErrorAccessDenied;
    }
    file = fd;
    return 0;
}

uint32_t OpenFileAlways(const char* path, FileHandle& file) {
    file = kNoFile;
    if (!path) return kErrorInvalidParameter;
    // Open an existing file first; create it exclusively otherwise, and start
    // over when someone else created it in between.
    for (;;) {
        int fd = open(path, O_RDWR | O_CLOEXEC | O_NOCTTY);
        if (fd >= 0) {
            file = fd;
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno != ENOENT) return OpenError(path, errno);
        fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            file = fd;
            return 0;
        }
        if (errno == EEXIST || errno == EINTR) continue;
        return OpenError(path, errno);
    }
}

uint32_t CreateNewFile(const char* path, FileHandle& file) {
    file = kNoFile;
    if (!path) return kErrorInvalidParameter;
    for (;;) {
        int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            file = fd;
            return 0;
        }
        if (errno == EINTR) continue;
        return errno == EEXIST ? kErrorFileExists : OpenError(path, errno);
    }
}

uint32_t CloseFile(FileHandle file) {
    if (!IsFileHandleValid(file)) return MapErrno(EBADF);
    // The descriptor is gone after close() even when it reports EINTR.
    if (close(Fd(file)) != 0 && errno != EINTR) return MapErrno(errno);
    return 0;
}

uint32_t ReadFromFile(FileHandle file, void* buffer, uint32_t length, uint32_t& done) {
    done = 0;
    if (!IsFileHandleValid(file)) return MapErrno(EBADF);
    char* p = static_cast<char*>(buffer);
    while (done < length) {
        ssize_t n = read(Fd(file), p + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return MapErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    return 0;
}

uint32_t WriteToFile(FileHandle file, const void* buffer, uint32_t length, uint32_t& done) {
    done = 0;
    if (!IsFileHandleValid(file)) return MapErrno(EBADF);
    const char* p = static_cast<const char*>(buffer);
    while (done < length) {
        ssize_t n = write(Fd(file), p + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            // An open descriptor that refuses writing was opened for reading.
            return MapErrno(errno == EBADF ? EACCES : errno);
        }
        done += static_cast<uint32_t>(n);
    }
    return 0;
}

uint32_t GetFileSize64(FileHandle file, uint64_t& size) {
    size = 0;
    if (!IsFileHandleValid(file)) return MapErrno(EBADF);
    struct stat st {};
    if (fstat(Fd(file), &st) != 0) return MapErrno(errno);
    size = static_cast<uint64_t>(st.st_size);
    return 0;
}

uint32_t MoveFilePointer(FileHandle file, int32_t distance, int origin, uint32_t& position) {
    position = kInvalidFilePosition;
    if (!IsFileHandleValid(file)) return MapErrno(EBADF);
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    off_t pos = lseek(Fd(file), static_cast<off_t>(distance), whence);
    if (pos < 0) return errno == EINVAL ? kErrorNegativeSeek : MapErrno(errno);
    position = static_cast<uint32_t>(static_cast<uint64_t>(pos) & 0xFFFFFFFFu);
    return 0;
}

uint32_t FlushFile(FileHandle file) {
    if (!IsFileHandleValid(file)) return MapErrno(EBADF);
    // Windows refuses to flush a handle that cannot write.
    int mode = fcntl(Fd(file), F_GETFL);
    if (mode < 0) return MapErrno(errno);
    if ((mode & O_ACCMODE) == O_RDONLY) return MapErrno(EACCES);
    if (fsync(Fd(file)) != 0) return MapErrno(errno);
    return 0;
}

uint32_t SetEndOfFileHere(FileHandle file) {
    if (!IsFileHandleValid(file)) return MapErrno(EBADF);
    off_t pos = lseek(Fd(file), 0, SEEK_CUR);
    if (pos < 0) return MapErrno(errno);
    int r;
    do {
        r = ftruncate(Fd(file), pos);
    } while (r != 0 && errno == EINTR);
    if (r != 0) return MapErrno(errno == EBADF || errno == EINVAL ? EACCES : errno);
    return 0;
}

} // namespace korvo::os
