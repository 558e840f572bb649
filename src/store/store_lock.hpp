#pragma once

#include <filesystem>
#include <string>

#include "store/atomic_file.hpp"

namespace tolven {

// The store of a base folder is being written by another import or results
// refresh (in this process or another). The message (Japanese, UTF-8) names
// the folder and the holder the lock file names.
class StoreBusy : public FileError {
  public:
    using FileError::FileError;
};

// One writer per base folder: an advisory lock (flock; LockFileEx on Windows) on the file
// "tolven.lock" in the base folder, held for the object's lifetime. The
// operating system releases it when the process ends, however it ends.
// Readers never take it.
//
// The lock file's first byte records whether the last writer finished cleanly
// ("0") or may have left work behind ("1": killed, or ended by an error), so
// the next writer knows when to look for leftovers. The lines after it name
// the holder: process id, host, start time and program, which the busy
// message shows, so that nobody takes a held lock for a stale one.
class StoreLock {
  public:
    // Throws StoreBusy when another writer holds the lock, FileError when the
    // lock file cannot be opened or is a symbolic link.
    explicit StoreLock(const std::filesystem::path& base);
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    // What the lock file said when the lock was taken: true unless the last
    // writer finished cleanly (a new or unreadable lock file counts as not).
    bool previous_writer_unfinished() const { return previous_unfinished_; }
    // Records the state for the next writer.
    void set_unfinished(bool unfinished);
    // Throws FileError when the lock file is no longer the file this object
    // locked (removed or replaced by hand): another writer may then be
    // running, and nothing may be committed.
    void check_held() const;

    static std::filesystem::path file(const std::filesystem::path& base) {
        return base / "tolven.lock";
    }
    // The program named as holder (default: the executable's name).
    static void set_program_name(std::string name);

  private:
    std::filesystem::path path_;
    int fd_ = -1;
    bool previous_unfinished_ = true;
    bool unfinished_ = false;
    std::string holder_;
};

}  // namespace tolven
