#include "store/file_layer.hpp"

namespace tolven {
namespace {

FileLayer system_layer;
FileLayer* current = &system_layer;

}  // namespace

int FileLayer::make_temporary(PathChar* pattern) {
    return platform::make_temporary(pattern);
}

int FileLayer::open(const PathChar* path, int flags, mode_t mode) {
    return platform::open_file(path, flags, mode);
}

ssize_t FileLayer::write(int fd, const void* data, std::size_t size) {
    return platform::write_file(fd, data, size);
}

int FileLayer::close(int fd) {
    return platform::close_file(fd);
}

int FileLayer::rename(const PathChar* from, const PathChar* to) {
    return platform::replace_file(from, to);
}

int FileLayer::unlink(const PathChar* path) {
    return platform::remove_file(path);
}

int FileLayer::mkdir(const PathChar* path, mode_t mode) {
    return platform::make_folder(path, mode);
}

int FileLayer::sync(int fd) {
    return platform::sync_file(fd);
}

int FileLayer::sync_folder(const PathChar* path) {
    return platform::sync_folder(path);
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
