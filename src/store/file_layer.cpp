#include "store/file_layer.hpp"

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
