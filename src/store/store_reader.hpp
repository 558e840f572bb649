#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/atomic_file.hpp"
#include "store/record.hpp"

namespace tolven {

// A store file that is not what the store writes: not a regular file, larger
// than any store file could be, empty, cut off, or holding a line that is not
// one record followed by CR LF. The message (UTF-8, Japanese) names the file
// and the reason; file() and reason() give them apart.
class DamagedStoreFile : public FileError {
  public:
    DamagedStoreFile(std::filesystem::path file, std::string reason);
    const std::filesystem::path& file() const { return file_; }
    const std::string& reason() const { return reason_; }

  private:
    std::filesystem::path file_;
    std::string reason_;
};

// The store was left in the middle of a commit (a journal or a redo log is
// there) and a reader could not finish it: another import is writing, or the
// folder cannot be written. The message (UTF-8, Japanese) says which and what
// to do.
class UnfinishedImport : public FileError {
  public:
    using FileError::FileError;
};

// No real store file comes near this size; a larger one is refused unread.
inline constexpr std::uintmax_t kMaxStoreFileBytes = std::uintmax_t{4} << 20;

// The bytes of a store file, or nullopt when it does not exist. Never waits
// on a FIFO or a device and never reads more than limit bytes: a path that
// is not a regular file, or a file larger than limit, is DamagedStoreFile.
std::optional<std::string> read_store_bytes(const std::filesystem::path& file,
                                            std::uintmax_t limit = kMaxStoreFileBytes);

// The records of a store file's content, each with its CR LF. Every line must
// be exactly one record of the kind without its line break, ended by CR LF;
// an empty content, a line of another length, a lone CR or LF, or a last line
// without its CR LF is DamagedStoreFile naming file.
std::vector<std::string> parse_store_records(std::string_view content, RecordKind kind,
                                             const std::filesystem::path& file);

// True while a commit is unfinished: the journal or the redo log is there.
bool commit_unfinished(const std::filesystem::path& base);

// Finishes an unfinished commit the way the next writer would (taking the
// store lock without waiting, for as long as that takes), so that a reader
// sees all of the commit. Nothing is done when there is none. Throws
// UnfinishedImport when it cannot: the lock is held by a running import or
// refresh, or the base folder cannot be written, or the commit could not be
// finished.
void settle_store(const std::filesystem::path& base);

// The records an interrupted import left that could not be checked whole are
// kept beside the store ("tolven.journal.damaged", "tolven.redo.damaged",
// with a number added when there are several) until an import runs to its
// end. While one is there the store may lack some of that import's data: the
// notice (UTF-8, Japanese) names the record and says to import again. None
// when there is no such record.
std::optional<std::string> damaged_import_notice(const std::filesystem::path& base);

// StoreWriter::clear_damaged_import removes them.

// Runs read, which reads store files of base, so that it sees no half of a
// commit: the store is settled first, and when a writer changed the store
// while read ran (a journal or redo log appeared, or the lock file changed),
// read runs again; UnfinishedImport when that keeps happening.
void read_settled(const std::filesystem::path& base, const std::function<void()>& read);

// An exclusive advisory lock on a folder for the object's lifetime, waited
// for: short read-change-write steps on one of its files (the user file) take
// it so that two programs never cross. None when the folder cannot be opened
// (nothing can be written into it then either).
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd_ = -1;
};

}  // namespace tolven
