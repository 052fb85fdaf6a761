// The engine's files on POSIX systems: descriptors, positioned I/O, per-open-file record locks.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/error.h"
#include "jet/file.h"
#include "jet/path_text.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

// The lock's byte range: past any page a Jet file can have (2 GiB at most).
constexpr off_t kLockOffset = off_t(1) << 40;

[[noreturn]] void throwIo(const fs::path& path, const char* what) {
    throw Error(ErrorCode::Io,
                "'" + utf8FromPath(path) + "': " + what + ": " + std::strerror(errno));
}

int fdOf(intptr_t handle) {
    return int(handle);
}

}  // namespace

File::operator bool() const {
    return handle_ >= 0;
}

void File::close() {
    if (handle_ >= 0) ::close(fdOf(handle_));
    handle_ = -1;
}

File File::open(const fs::path& path, FileMode mode, OpenFailure& failure, std::string& message) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case FileMode::Read:
            flags |= O_RDONLY;
            break;
        case FileMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case FileMode::CreateNew:
            flags |= O_RDWR | O_CREAT | O_EXCL;
            break;
        case FileMode::OpenAlways:
            flags |= O_RDWR | O_CREAT;
            break;
    }
    File file;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        switch (errno) {
            case ENOENT:
                failure = OpenFailure::NotFound;
                break;
            case EEXIST:
                failure = OpenFailure::Exists;
                break;
            case EACCES:
            case EPERM:
            case EROFS:
                failure = OpenFailure::Denied;
                break;
            case EISDIR:
                failure = OpenFailure::Folder;
                break;
            default:
                failure = OpenFailure::Other;
                break;
        }
        message = std::strerror(errno);
        return file;
    }
    file.path_ = path;
    file.handle_ = fd;
    return file;
}

void File::fail(const char* what) const {
    throwIo(path_, what);
}

void File::readAt(uint8_t* out, size_t size, uint64_t offset) const {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fdOf(handle_), out + done, size - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot read");
        }
        if (n == 0) {
            throw Error(ErrorCode::Corrupt,
                        "'" + utf8FromPath(path_) + "': the file ends in the middle of a page");
        }
        done += size_t(n);
    }
}

void File::writeAt(const uint8_t* data, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(fdOf(handle_), data + done, size - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write");
        }
        done += size_t(n);
    }
}

void File::writeAt(const std::vector<const uint8_t*>& blocks, size_t blockSize, uint64_t offset) {
    std::vector<iovec> parts(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i)
        parts[i] = iovec{const_cast<uint8_t*>(blocks[i]), blockSize};
    ssize_t n;
    do {
        n = ::pwritev(fdOf(handle_), parts.data(), int(parts.size()), off_t(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0) fail("cannot write");
    // A short write is finished block by block.
    size_t done = size_t(n);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const size_t start = i * blockSize;
        if (done >= start + blockSize) continue;
        const size_t skip = done > start ? done - start : 0;
        writeAt(blocks[i] + skip, blockSize - skip, offset + start + skip);
    }
}

void File::sync() {
    if (::fsync(fdOf(handle_)) != 0) fail("cannot sync");
}

void File::syncData() {
    if (::fdatasync(fdOf(handle_)) != 0) fail("cannot sync");
}

void File::truncate(uint64_t size) {
    if (::ftruncate(fdOf(handle_), off_t(size)) != 0) fail("cannot set the file's length");
}

uint64_t File::size() const {
    struct stat st;
    if (::fstat(fdOf(handle_), &st) != 0) fail("cannot examine");
    return uint64_t(st.st_size);
}

bool File::isFolder() const {
    struct stat st;
    if (::fstat(fdOf(handle_), &st) != 0) fail("cannot examine");
    return S_ISDIR(st.st_mode);
}

// Open-file-description locks where the system has them: reading the file through another
// descriptor of this process cannot drop them.
bool File::tryLock() {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockOffset;
    fl.l_len = 1;
#ifdef F_OFD_SETLK
    if (::fcntl(fdOf(handle_), F_OFD_SETLK, &fl) == 0) return true;
#else
    if (::fcntl(fdOf(handle_), F_SETLK, &fl) == 0) return true;
#endif
    if (errno == EAGAIN || errno == EACCES) return false;
    fail("cannot lock");
}

FileId File::identity() const {
    struct stat st;
    if (::fstat(fdOf(handle_), &st) != 0) fail("cannot examine");
    return FileId{uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

void File::removeWhileOpen() {
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) fail("cannot remove");
}

std::optional<FileId> identityOfPath(const fs::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

void removeFile(const fs::path& path, const char* what) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throwIo(path, what);
}

void syncFolder(const fs::path& file) {
    fs::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // some file systems refuse; the file's own sync still happened
    ::fsync(fd);
    ::close(fd);
}

bool markedReadOnly(const fs::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    bool writeBit = st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH);
    return !writeBit || ::access(path.c_str(), W_OK) != 0;
}

uint64_t currentProcessId() {
    return uint64_t(::getpid());
}

std::string computerName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

}  // namespace jet
