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
// it (AtomicFile::stage) and not yet renamed over it.
struct StagedFile {
    std::filesystem::path target;
    std::filesystem::path staged;
};

// Replaces several store files together, so that a reader or the next writer
// sees either all of them replaced or none:
//  1. the staged files are complete beside their targets;
//  2. the journal "tolven.journal" naming them is written and renamed into
//     place: from this moment the commit counts as done;
//  3. the redo log, when the commit supersedes it, is removed;
//  4. each staged file is renamed over its target;
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
// removes the journal, and the redo log when the journal supersedes it. Entries whose paths do
// not name a store file of this base folder are ignored. Returns true when
// there was a journal.
bool roll_forward_journal(const std::filesystem::path& base);

// Removes the temporary files of store files that a killed writer left in
// Data, SEI/*, SEIR/* and the base folder (journal temporaries). Returns how
// many were removed. Only run under the store lock, after roll_forward_journal.
int remove_stale_temporaries(const std::filesystem::path& base);

// One change of the redo log: a store line (as stored, without CR LF) and the
// file kind it belongs to.
struct RedoOp {
    StoreFile where;
    std::string line;
};

// The import's redo log "tolven.redo": at the end of each feed file the
// changes that cannot roll anything back are appended to it as one entry
// (with its length and checksum), instead of rewriting every file
// they touch. The next writer replays the complete entries of a log left
// behind; an entry cut off by a kill fails its checksum and ends the replay.
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
    // The ops of the complete entries of a log, in order.
    static std::vector<RedoOp> read(const std::filesystem::path& base);

  private:
    std::filesystem::path path_;
    int fd_ = -1;
    bool present_ = false;
    bool broken_ = false;
    std::size_t size_ = 0;
};

}  // namespace tolven
