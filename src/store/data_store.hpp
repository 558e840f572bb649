#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/atomic_file.hpp"
#include "store/record.hpp"

namespace tolven {

// The store files a record can be filed into.
enum class StoreFile {
    DayRaces,      // Data/<day key>.jvRA, keyed merge, record rewritten
    DayRunners,    // Data/<day key>.jvSEr, slot store, record as delivered
    DayPayouts,    // Data/<day key>.jvHR, keyed merge, record rewritten
    HorseRuns,     // SEI/<YYYY>/<pedigree>.jvSEI, keyed merge, record rewritten
    MeetingRaces,  // SEIR/<YYYY>/<YYYYMMDDcc>.jvSERA, keyed merge, record rewritten
};

struct StoreOutcome {
    enum class Status {
        Stored,
        Skipped,   // the file has no place for it (a runner slot out of range)
        Rejected,  // a key field or the record itself is malformed; nothing written
    };
    Status status = Status::Stored;
    std::filesystem::path file;  // the file written (Stored)
    std::string reason;          // why it was skipped or rejected
    // Stored by the import's writer as a change that lasts only with the end
    // of a complete run (it replaces a line the file had when the run began).
    bool held = false;
    bool stored() const { return status == Status::Stored; }
};

// Lines of a store file: one record each, without its CR LF.
inline constexpr int kRunnerSlots = kMaxRaces * kMaxRunners;

// The record as the store keeps it: its stamp (data category and creation
// date) zeroed.
std::string with_zeroed_stamp(std::string_view record);

// Day key of a record: "YYYY年MM月DD日" and the 4-byte racecourse name, CP932.
std::string day_key(std::string_view record);

// Why a record's key fields may not become part of a path, or nullopt when
// they may: year, month-day, kai, nichi and race number must be ASCII digits,
// the racecourse code two characters of 0-9A-Z, and with check_pedigree the
// pedigree number ten ASCII digits.
std::optional<std::string> path_key_problem(std::string_view record, bool check_pedigree);

// Why a race-day list entry (CP932) cannot name a day's files, or nullopt when
// it can: it must be a day key as the store names them, "YYYY年MM月DD日" with
// ASCII digits followed by a racecourse name of the code table.
std::optional<std::string> day_entry_problem(std::string_view entry);

// True when a pedigree number can name a per-horse file: ten ASCII digits, as
// the store requires before it writes one.
bool pedigree_names_a_file(std::string_view pedigree);

// A file name formed from record or list text that would lead out of its
// folder. The program never forms one from data it stored itself; a tampered
// store file or a hand-typed name can.
class UnsafePathError : public FileError {
  public:
    using FileError::FileError;
};

// folder / name for a name (UTF-8) that must be one plain file name: not
// empty, not "." or "..", without "/", "\\", ":" or NUL. Throws UnsafePathError
// otherwise, so a path built from stored or fed text stays in its folder.
std::filesystem::path file_in(const std::filesystem::path& folder, std::string_view name);

// Keyed merge of one line into the lines of a store file: replace the first
// line with the same store key, or append; sort by bytes; with
// drop_blank_first drop a first line that is blank after sorting.
void merge_line(std::vector<std::string>& lines, std::string_view line, bool drop_blank_first);

// The record kind a store file holds.
RecordKind store_file_kind(StoreFile where);

// Why a record cannot be stored into a file of kind where: a Rejected outcome
// (wrong kind, wrong length, a key field that may not become part of a path)
// or, for the runner file, a Skipped one (no slot for its numbers); nullopt
// when it can. Nothing of the record has been used to form a path yet.
std::optional<StoreOutcome> store_problem(StoreFile where, std::string_view record);

// The runner file's slot of a runner line (its race and horse numbers are
// 1..12 and 1..18: store_problem checked them).
std::size_t runner_slot(std::string_view line);

// True when a runner file has the regular layout: 216 lines of 553 bytes,
// each ended by CR LF. One slot of such a file is replaced in place.
bool runner_file_is_regular(std::string_view content);

// A runner file that is not regular (missing, cut short, hand-edited) made
// regular: its lines filled up with empty slots so that no record is lost,
// then the one slot replaced.
std::string rebuilt_runner_file(std::string_view content, std::size_t slot, std::string_view line);

// Splits file content into lines (CR LF or LF); the last line break is
// optional.
std::vector<std::string> split_lines(std::string_view content);
// Joins lines, each ended by CR LF.
std::string join_lines(const std::vector<std::string>& lines);

// The two ways DataStore::store writes a record (without its CR LF) into its
// file. A runner goes to its slot of the day's runner file: in place when the
// file has the regular layout, else the file is rebuilt around it. Any other
// record, its stamp zeroed, replaces the line of the same store key or joins
// the lines, which stay in byte order; drop_blank_first (the day's race file)
// drops a blank first line.
void store_runner_slot(const std::filesystem::path& file, std::string_view line);
void store_keyed_line(const std::filesystem::path& file, std::string_view line,
                      bool drop_blank_first);

// The race-data store under a base folder: day files in Data, per-horse files
// in SEI, per-meeting files in SEIR. It and the import's StoreWriter are the
// only code that writes them.
class DataStore {
  public:
    explicit DataStore(std::filesystem::path base);

    const std::filesystem::path& base() const { return base_; }
    std::filesystem::path data_folder() const { return base_ / "Data"; }

    // Creates Data, SEI and SEIR when missing.
    void create_folders() const;

    // Paths on disk (UTF-8 names). day_key is CP932 as day_key() builds it.
    std::filesystem::path day_file(std::string_view day_key_cp932,
                                   std::string_view extension) const;
    std::filesystem::path horse_file(std::string_view pedigree) const;
    std::filesystem::path meeting_file(std::string_view year, std::string_view month_day,
                                       std::string_view course) const;
    // The file a record (without its CR LF) of the kind goes to.
    std::filesystem::path file_for(StoreFile where, std::string_view line) const;

    // Files one record (with or without its CR LF) into one store file, record
    // by record: the file is read, changed and written back at once. The
    // record's kind must fit the file and its length must be its kind's; key
    // fields are checked before anything is written. Throws FileError when a
    // file cannot be read or written. The import and the results refresh file
    // through StoreWriter instead; this direct path builds stores in tests and
    // tools and is the reference the writer's bytes are checked against.
    StoreOutcome store(StoreFile where, std::string_view record) const;

    // A store file read back as fixed-size records (each with its CR LF).
    // nullopt when the file does not exist. A file that is not a regular
    // file, too large, empty, or holds a line that is not one record ended by
    // CR LF is DamagedStoreFile (store_reader.hpp), never read as fewer or
    // shifted records.
    static std::optional<std::vector<std::string>> read_records(const std::filesystem::path& file,
                                                                RecordKind kind);

  private:
    std::filesystem::path base_;
};

}  // namespace tolven
