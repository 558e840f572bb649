#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/data_store.hpp"
#include "store/store_journal.hpp"
#include "store/store_lock.hpp"

namespace tolven {

struct StoreWriterOptions {
    // Store file content the writer keeps in memory; past it the writer writes
    // out the files it used least recently and lets go of them.
    std::size_t memory_limit = std::size_t{256} << 20;
    // Size of the redo log past which the writer writes out every change it
    // may, which ends the log.
    std::size_t redo_limit = std::size_t{512} << 20;
};

struct StoreWriterStats {
    int checkpoints = 0;         // redo log entries written
    std::size_t redo_bytes = 0;  // their size
    int commits = 0;             // write-outs that replaced at least one file
    long files_written = 0;      // store files replaced
    int memory_flushes = 0;      // write-outs to stay within the memory limit
    long files_spilled = 0;      // full contents staged on disk to free memory
    std::size_t peak_memory = 0;
    bool recovered = false;  // this writer finished what an earlier one left
};

// The writer of an import or a results refresh: the one writer of a base
// folder while it lives (StoreLock), filing records write-behind.
//
// Each record goes to an in-memory copy of its file, changed exactly as the
// record-by-record filing changes the file on disk (DataStore::store: the
// same keyed merge and slot store, in the same order), so the bytes finally
// written are the same. Files are written whole, through temporary files and
// a journal (commit_staged), at these points only:
//  - commit(): the end of a complete run; every change, in one commit;
//  - commit_safe(): the end of a cancelled or failed run: only the changes
//    that cannot make a stored record older (below);
//  - the memory limit: the files used least recently are written with their
//    safe changes and leave memory; a file with other changes leaves its
//    full content staged beside it for commit().
// checkpoint() (the end of each feed file) appends the safe changes since the
// last one to the redo log, a single entry at the end of one file instead of
// a rewrite of every file they touch, so that a kill loses at most the feed
// file being read; the next writer replays the log before it starts.
//
// Safe changes. Race, payout and horse files blank a record's data category
// and creation date, so the age of a stored line is unknown; an import that
// replays old feed files (race cards) over a complete store replaces lines
// with older ones until the later files (results) come again. Hence a line
// whose store key was in the file when this writer first read it is only
// replaced by commit(); lines with new keys, and new files, are safe. The
// runner file keeps category and creation date, and a slot is never replaced
// by a record with an older creation date (both dates eight digits), so all
// of its changes are safe.
class StoreWriter {
  public:
    // Takes the lock (StoreBusy when another writer has it), then finishes
    // what a killed or failed writer left: rolls a committed journal forward,
    // replays the redo log, removes stale temporary files. A journal or redo
    // log that cannot be checked whole is finished as far as it can be, kept,
    // and reported with StoreDamaged (the lock is then released: the next
    // writer goes on). Ignores SIGXFSZ
    // for the process, so that a file-size limit is a write error (EFBIG)
    // and not the end of the program.
    explicit StoreWriter(const DataStore& store, StoreWriterOptions options = {});
    // Without commit() or commit_safe() (an exception) nothing more is
    // written: the redo log stays for the next writer.
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    // As DataStore::store, into the in-memory copy. Throws FileError when a
    // file cannot be read (or is a symbolic link), or when a write-out for
    // the memory limit fails. The outcome is `held` when the change lasts only
    // with commit(): until then (and after commit_safe()) it is not kept.
    StoreOutcome store(StoreFile where, std::string_view record);

    // The end of one feed file: the changes that are not held are on the
    // disk (in the redo log) when it returns.
    void checkpoint();
    // The end of a complete run.
    void commit();
    // The end of a cancelled or failed run.
    void commit_safe();
    // After a commit() of a run that read everything since its from-time:
    // the records an earlier, interrupted import kept because they could not
    // be checked whole are removed, with the staged files they kept (under
    // this writer's lock, so no other writer's files are touched).
    void clear_damaged_import();

    // True after commit() or commit_safe() succeeded.
    bool ended() const { return ended_; }
    const StoreWriterStats& stats() const { return stats_; }
    std::size_t memory_in_use() const { return memory_; }

  private:
    struct Entry;
    enum class Mode { Full, Safe };

    Entry& entry_for(StoreFile where, std::string_view line);
    void load(Entry& e, bool first);
    bool put_keyed(Entry& e, const std::string& stored);
    void put_runner(Entry& e, std::size_t slot, std::string_view line);
    void note_change(Entry& e);
    void account(Entry& e);
    std::string safe_content(const Entry& e) const;
    bool unchanged_on_disk(const Entry& e, const std::string& content) const;
    // Writes the entries' full or safe contents in one commit; with
    // supersede_log the commit holds every logged change and ends the redo
    // log.
    void write_entries(const std::vector<Entry*>& entries, Mode mode, bool supersede_log);
    void write_out(Mode mode);
    void relieve_memory();
    void evict(Entry& e);
    void discard_spills();
    void recover();
    void finish();
    void check_usable() const;

    const DataStore& store_;
    StoreWriterOptions options_;
    StoreLock lock_;
    std::unique_ptr<RedoLog> redo_;
    std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
    std::vector<Entry*> to_log_;  // entries with changes since the last checkpoint
    std::vector<std::filesystem::path::string_type> folders_made_;
    std::size_t memory_ = 0;
    std::uint64_t clock_ = 0;
    bool recovering_ = false;  // replaying a redo log: every change is safe
    bool ended_ = false;
    bool broken_ = false;     // a commit failed after its commit point
    bool leftovers_ = false;  // a temporary file could not be removed
    StoreWriterStats stats_;
};

}  // namespace tolven
