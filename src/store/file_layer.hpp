#pragma once

#include <cstddef>

#include "platform/files.hpp"

namespace tolven {

using platform::PathChar;

// The system calls through which every store write goes: creating, writing,
// flushing, closing, renaming and removing files and making folders. Each
// behaves like the call it names (-1 and errno on failure); paths are native
// (path.c_str()), open flags those of platform::OpenFlags. Tests install a
// layer that fails a chosen call, so that every failure path of the writer can
// be run, or one that forgets what was never flushed, as a power cut does.
class FileLayer {
  public:
    virtual ~FileLayer() = default;
    // mkstemp: pattern ends in "XXXXXX", which is replaced in place.
    virtual int make_temporary(PathChar* pattern);
    virtual int open(const PathChar* path, int flags, mode_t mode);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int close(int fd);
    // Replaces an existing target in one step (rename).
    virtual int rename(const PathChar* from, const PathChar* to);
    virtual int unlink(const PathChar* path);
    virtual int mkdir(const PathChar* path, mode_t mode);
    // fsync of a file, and of a folder's entries (nothing to do on Windows).
    virtual int sync(int fd);
    virtual int sync_folder(const PathChar* path);
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
