#include "store/file_layer.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolven {
namespace {

FileLayer system_layer;
FileLayer* current = &system_layer;

}  // namespace

int FileLayer::make_temporary(char* pattern) {
    return ::mkostemp(pattern, O_CLOEXEC);
}

int FileLayer::open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags | O_CLOEXEC, mode);
}

ssize_t FileLayer::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

int FileLayer::close(int fd) {
    return ::close(fd);
}

int FileLayer::rename(const char* from, const char* to) {
    return std::rename(from, to);
}

int FileLayer::unlink(const char* path) {
    return ::unlink(path);
}

int FileLayer::mkdir(const char* path, mode_t mode) {
    return ::mkdir(path, mode);
}

int FileLayer::sync(int fd) {
    int r;
    do {
        r = ::fsync(fd);
    } while (r != 0 && errno == EINTR);
    return r;
}

int FileLayer::sync_folder(const char* path) {
    int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    int r = sync(fd);
    int error = errno;
    ::close(fd);
    errno = error;
    return r;
}

FileLayer& file_layer() {
    return *current;
}

ScopedFileLayer::ScopedFileLayer(FileLayer& layer) : previous_(current) {
    current = &layer;
}

ScopedFileLayer::~ScopedFileLayer() {
    current = previous_;
}

}  // namespace tolven
