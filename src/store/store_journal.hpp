#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_store.hpp"

namespace tolven {

// A 64-bit checksum of bytes, eight at a time: it tells a whole redo entry
// from one cut off, and a file's content from a changed one.
std::uint64_t content_hash(std::string_view bytes);

// A new content of a store file, written complete to a temporary file beside
// it (AtomicFile::stage) and not yet renamed over it, with the size and
// content_hash of what was written, which the journal records.
struct StagedFile {
    std::filesystem::path target;
    std::filesystem::path staged;
    std::size_t size = 0;
    std::uint64_t hash = 0;
};

// An interrupted import left a journal or a redo log that cannot be read
// whole (cut, changed, not this program's), or staged files that are missing
// or changed. What could be checked was finished; the rest is kept beside the
// store under a name ending in ".damaged" and the message (Japanese, UTF-8)
// names it and says that the import must be run again.
class StoreDamaged : public FileError {
  public:
    using FileError::FileError;
};

// The message of StoreDamaged: file could not be checked whole (why), it is
// kept as kept, and the import must be run again.
std::string damage_message(const std::filesystem::path& file, const std::filesystem::path& kept,
                           const std::string& why);

// Replaces several store files together, so that a reader or the next writer
// sees either all of them replaced or none:
//  1. the staged files are complete beside their targets, flushed to the
//     disk with their folders;
//  2. the journal "tolven.journal" naming them (with size and checksum) is
//     written, flushed and renamed into place, and the base folder flushed:
//     from this moment the commit counts as done;
//  3. the redo log, when the commit supersedes it, is removed;
//  4. each staged file is renamed over its target, and the folders flushed;
//  5. the journal is removed.
// A failure before step 2 removes the staged files and leaves the store as it
// was; a failure or a kill after it leaves the journal, which the next writer
// rolls forward. A single file without a redo log to supersede is simply
// renamed. Throws FileError naming the file that failed.
class RedoLog;
void commit_staged(const std::filesystem::path& base, const std::vector<StagedFile>& files,
                   RedoLog* supersedes);

// The journal of a base folder: "tolven.journal".
std::filesystem::path journal_file(const std::filesystem::path& base);

// Finishes a commit that a killed or failed writer left after its commit
// point: renames the staged files the journal names over their targets and
// removes the journal, and the redo log when the journal supersedes it.
// Returns true when there was a journal.
//
// Nothing is taken on trust: a staged file is renamed only when it has the
// size and checksum the journal gives, and a missing one counts as renamed
// only when the target has them. A journal that cannot be read whole, an
// entry that does not name a store file of this base folder, or a staged file
// that fails its check: whatever can be checked is still finished, the
// journal is kept as "tolven.journal.damaged" with the staged files, and
// StoreDamaged is thrown.
bool roll_forward_journal(const std::filesystem::path& base);

// The journals and redo logs kept as damaged in base ("tolven.journal.damaged",
// "tolven.redo.damaged", with a number added when there are several), by name.
std::vector<std::filesystem::path> damaged_records(const std::filesystem::path& base);

// Removes the temporary files of store files that a killed writer left in
// Data, SEI/*, SEIR/* and the base folder (journal temporaries). Returns how
// many were removed. Only run under the store lock, after roll_forward_journal.
// While a damaged journal is kept, its staged files stay too: nothing is
// removed.
int remove_stale_temporaries(const std::filesystem::path& base);

// One change of the redo log: a store line (as stored, without CR LF) and the
// file kind it belongs to.
struct RedoOp {
    StoreFile where;
    std::string line;
};

// The import's redo log "tolven.redo": at the end of each feed file the
// changes that cannot roll anything back are appended to it as one entry
// (with its length and checksum) and flushed to the disk, instead of
// rewriting every file they touch. The next writer replays the complete
// entries of a log left behind; an entry cut off or changed fails its check
// and ends the replay, and the log is then kept (set_aside) and reported.
class RedoLog {
  public:
    explicit RedoLog(std::filesystem::path base);
    ~RedoLog();
    RedoLog(const RedoLog&) = delete;
    RedoLog& operator=(const RedoLog&) = delete;

    static std::filesystem::path file(const std::filesystem::path& base) {
        return base / "tolven.redo";
    }
    static void add(std::string& payload, StoreFile where, std::string_view line);
    // Appends one entry; FileError when it cannot be written whole (the log
    // then takes no more entries: the run has to end).
    void append(const std::string& payload);
    // True when the log file exists (left by an earlier writer or appended to).
    bool present() const { return present_; }
    // Bytes appended by this object.
    std::size_t size() const { return size_; }
    // Removes the log file; FileError when it exists and cannot be removed.
    void remove();
    // Renames the log file to "tolven.redo.damaged" (or with a number added
    // when that exists) and returns the new name.
    std::filesystem::path set_aside();
    // The ops of the complete entries of a log, in order. An entry that
    // fails its check, bytes after the last whole entry, or a line holding
    // CR or LF end the reading; damage (when given) is then set
    // to why (Japanese, UTF-8), else cleared.
    static std::vector<RedoOp> read(const std::filesystem::path& base,
                                    std::string* damage = nullptr);

  private:
    std::filesystem::path path_;
    int fd_ = -1;
    bool present_ = false;
    bool broken_ = false;
    std::size_t size_ = 0;
};

}  // namespace tolven
