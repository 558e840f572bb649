#pragma once

#include <cstddef>
#include <sys/types.h>

namespace tolven {

// The system calls through which every store write goes: creating, writing,
// flushing, closing, renaming and removing files and making folders. Each
// behaves like the call it names (-1 and errno on failure). Tests install a
// layer that fails a chosen call, so that every failure path of the writer can
// be run, or one that forgets what was never flushed, as a power cut does.
class FileLayer {
  public:
    virtual ~FileLayer() = default;
    // mkstemp: pattern ends in "XXXXXX", which is replaced in place.
    virtual int make_temporary(char* pattern);
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
    virtual int mkdir(const char* path, mode_t mode);
    // fsync: the file's content is on the disk when it returns.
    virtual int sync(int fd);
    // fsync of a folder: the names created, renamed or removed in it are on
    // the disk when it returns.
    virtual int sync_folder(const char* path);
};

// The layer in use: the plain system calls unless a test installed another.
FileLayer& file_layer();

// Installs a layer for its own lifetime.
class ScopedFileLayer {
  public:
    explicit ScopedFileLayer(FileLayer& layer);
    ~ScopedFileLayer();
    ScopedFileLayer(const ScopedFileLayer&) = delete;
    ScopedFileLayer& operator=(const ScopedFileLayer&) = delete;

  private:
    FileLayer* previous_;
};

}  // namespace tolven
