#include "platform/files.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolven::platform {

int open_file(const PathChar* path, int flags, mode_t mode) {
    int os = O_CLOEXEC;
    if ((flags & open_read) && (flags & open_write)) {
        os |= O_RDWR;
    } else if (flags & open_write) {
        os |= O_WRONLY;
    } else {
        os |= O_RDONLY;
    }
    if (flags & open_create) os |= O_CREAT;
    if (flags & open_truncate) os |= O_TRUNC;
    if (flags & open_append) os |= O_APPEND;
    if (flags & open_exclusive) os |= O_EXCL;
    if (flags & open_no_follow) os |= O_NOFOLLOW;
    if (flags & open_non_blocking) os |= O_NONBLOCK;
    return ::open(path, os, mode);
}

int make_temporary(PathChar* pattern) {
    int fd = ::mkostemp(pattern, O_CLOEXEC);
    // mkstemp creates the file 0600; store files are ordinary user files.
    if (fd >= 0) ::fchmod(fd, 0644);
    return fd;
}

ssize_t write_file(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

ssize_t read_file(int fd, void* data, std::size_t size) {
    return ::read(fd, data, size);
}

ssize_t read_at(int fd, void* data, std::size_t size, std::uint64_t offset) {
    return ::pread(fd, data, size, static_cast<off_t>(offset));
}

ssize_t write_at(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    return ::pwrite(fd, data, size, static_cast<off_t>(offset));
}

int close_file(int fd) {
    return ::close(fd);
}

int replace_file(const PathChar* from, const PathChar* to) {
    return ::rename(from, to);
}

int remove_file(const PathChar* path) {
    return ::unlink(path);
}

int make_folder(const PathChar* path, mode_t mode) {
    return ::mkdir(path, mode);
}

int sync_file(int fd) {
    int r;
    do {
        r = ::fsync(fd);
    } while (r != 0 && errno == EINTR);
    return r;
}

int sync_folder(const PathChar* path) {
    int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    int r = sync_file(fd);
    int error = errno;
    ::close(fd);
    errno = error;
    return r;
}

bool modified_time(const PathChar* path, std::int64_t& out) {
    struct stat st {};
    if (::stat(path, &st) != 0) return false;
    out = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

FileKind file_kind(const PathChar* path) {
    struct stat info {};
    if (::lstat(path, &info) != 0) return FileKind::missing;
    if (S_ISREG(info.st_mode)) return FileKind::regular;
    if (S_ISDIR(info.st_mode)) return FileKind::folder;
    if (S_ISLNK(info.st_mode)) return FileKind::link;
    return FileKind::other;
}

std::int64_t file_size(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

bool is_regular_file(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

bool file_id(int fd, FileId& out) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    out = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return true;
}

bool file_id(const PathChar* path, FileId& out) {
    struct stat info {};
    if (::lstat(path, &info) != 0) return false;
    out = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return true;
}

int truncate_file(int fd, std::uint64_t size) {
    int r;
    do {
        r = ::ftruncate(fd, static_cast<off_t>(size));
    } while (r != 0 && errno == EINTR);
    return r;
}

bool folder_writable(const PathChar* path) {
    return ::access(path, W_OK) == 0;
}

int try_lock_exclusive(int fd) {
    int r;
    do {
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r == 0) return 0;
    return errno == EWOULDBLOCK ? 1 : -1;
}

int lock_folder(const PathChar* path) {
    int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool local_time(std::time_t t, std::tm& out) {
    return ::localtime_r(&t, &out) != nullptr;
}

void ignore_file_size_signal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

std::string error_text(int error) {
    return std::strerror(error);
}

}  // namespace tolven::platform
