#include "store/store_writer.hpp"

#include <algorithm>
#include <cerrno>

#include "platform/utf8_path.hpp"
#include "platform/files.hpp"
#include "store/atomic_file.hpp"
#include "store/code_tables.hpp"
#include "store/file_layer.hpp"
#include "store/lenient.hpp"
#include "store/record.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

constexpr std::size_t kKeySize = 16;
constexpr std::size_t kLineOverhead = sizeof(std::string) + 16;

bool drops_blank_first(StoreFile where) {
    return where == StoreFile::DayRaces;
}

// A store key padded to 16 bytes (a short line has a shorter one).
std::string padded_key(std::string_view line) {
    std::string key(store_key(line));
    key.resize(kKeySize, '\0');
    return key;
}

// The file a record goes to, as a short text of what names it: the day key
// for day files (racecourse codes without a name share one), the pedigree
// number, the meeting's date and racecourse code.
std::string cache_key(StoreFile where, std::string_view line) {
    static constexpr char kPrefix[] = {'A', 'R', 'H', 'S', 'M'};
    std::string key(1, kPrefix[static_cast<int>(where)]);
    switch (where) {
        case StoreFile::DayRaces:
        case StoreFile::DayRunners:
        case StoreFile::DayPayouts:
            // What the day key is made of.
            key += field_text(line, header::year);
            key += field_text(line, header::month_day);
            key += racecourse_name(field_text(line, header::course));
            break;
        case StoreFile::HorseRuns:
            key += field_text(line, se::pedigree);
            break;
        case StoreFile::MeetingRaces:
            key += field_text(line, header::year);
            key += field_text(line, header::month_day);
            key += field_text(line, header::course);
            break;
    }
    return key;
}

bool eight_digits(std::string_view s) {
    return s.size() == 8 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// True when a runner record was created before the one stored in its slot.
// A blank slot, or a date that is not eight digits, gives no age to compare.
bool created_before(std::string_view record, std::string_view stored) {
    std::string_view mine = field_text(record, header::created);
    std::string_view theirs = field_text(stored, header::created);
    return eight_digits(mine) && eight_digits(theirs) && mine < theirs;
}

bool sorted_and_clean(const std::vector<std::string>& lines, bool drop_blank) {
    if (!std::is_sorted(lines.begin(), lines.end())) return false;
    return !(drop_blank && !lines.empty() && trim(lines.front()).empty());
}

}  // namespace

struct StoreWriter::Entry {
    StoreFile where = StoreFile::DayRaces;
    fs::path path;
    bool loaded = false;
    // The file on disk: whether it exists, and its size and hash.
    bool on_disk = false;
    std::size_t disk_size = 0;
    std::uint64_t disk_hash = 0;
    // Keyed files: the current lines.
    std::vector<std::string> lines;
    bool normalized = true;  // sorted, no blank first line where one is dropped
    // Runner file: the current content.
    std::string bytes;
    bool regular = false;
    // Changed since written or loaded.
    bool dirty = false;
    // A line whose key was in the file at the start of the run was replaced;
    // held keeps those lines as they were then.
    bool protected_changed = false;
    std::vector<std::string> held;
    // Store keys of the lines when this writer first read the file, 16 bytes
    // each, sorted.
    std::string protected_keys;
    // Changes since the last checkpoint: keys (keyed files) or slots.
    std::vector<std::string> logged_keys;
    std::vector<std::size_t> logged_slots;
    bool in_log = false;
    // The full content staged beside the file while it is out of memory.
    fs::path spilled;
    std::size_t spilled_size = 0;
    std::uint64_t spilled_hash = 0;
    std::uint64_t last_use = 0;
    std::size_t memory = 0;

    bool keyed() const { return where != StoreFile::DayRunners; }

    bool is_protected(std::string_view key) const {
        std::size_t n = protected_keys.size() / kKeySize;
        std::size_t lo = 0, hi = n;
        std::string_view all = protected_keys;
        while (lo < hi) {
            std::size_t mid = (lo + hi) / 2;
            if (all.substr(mid * kKeySize, kKeySize) < key) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        return lo < n && all.substr(lo * kKeySize, kKeySize) == key;
    }

    std::vector<std::string> protected_lines(const std::vector<std::string>& from) const {
        std::vector<std::string> result;
        for (const auto& line : from) {
            if (is_protected(padded_key(line))) result.push_back(line);
        }
        return result;
    }

    std::string content() const { return keyed() ? join_lines(lines) : bytes; }

    std::string slot_line(std::size_t slot) const {
        if (regular) return bytes.substr(slot * kRunnerRecordSize, kRunnerRecordSize - 2);
        std::vector<std::string> all = split_lines(bytes);
        return slot < all.size() ? all[slot] : std::string();
    }
};

StoreWriter::StoreWriter(const DataStore& store, StoreWriterOptions options)
    : store_(store), options_(options), lock_(store.base()) {
    platform::ignore_file_size_signal();
    bool unfinished = lock_.previous_writer_unfinished();
    lock_.set_unfinished(true);
    bool recovered = roll_forward_journal(store_.base());
    redo_ = std::make_unique<RedoLog>(store_.base());
    if (redo_->present()) {
        recover();
        recovered = true;
    }
    if (unfinished) remove_stale_temporaries(store_.base());
    stats_ = StoreWriterStats{};
    stats_.recovered = recovered;
}

void StoreWriter::clear_damaged_import() {
    std::vector<fs::path> records = damaged_records(store_.base());
    if (records.empty()) return;
    // A record that cannot be removed stays, and so does its notice.
    for (const fs::path& record : records) {
        std::error_code ignored;
        fs::remove(record, ignored);
    }
    remove_stale_temporaries(store_.base());
}

StoreWriter::~StoreWriter() {
    if (ended_) return;
    discard_spills();
    // A writer that never filed anything left nothing behind.
    if (entries_.empty() && redo_ && !redo_->present()) {
        try {
            lock_.set_unfinished(false);
        } catch (const FileError&) {
            // The next writer looks for leftovers; there are none.
        }
    }
}

void StoreWriter::recover() {
    // The logged changes were safe when logged and still are: replayed in
    // order, each key and slot ends at its last logged line. The log stays
    // until all of it is in the files, so a replay cut short by a kill is
    // simply done again.
    recovering_ = true;
    std::string damage;
    for (const RedoOp& op : RedoLog::read(store_.base(), &damage)) {
        store(op.where, op.line + "\r\n");
    }
    write_out(Mode::Full);
    if (!damage.empty()) {
        // What could be checked is in the files; the rest stays for a person
        // to see, and the import has to be run again.
        fs::path log = RedoLog::file(store_.base());
        fs::path kept = redo_->set_aside();
        throw StoreDamaged(damage_message(log, kept, damage));
    }
    redo_->remove();
    recovering_ = false;
    entries_.clear();
    to_log_.clear();
    memory_ = 0;
}

void StoreWriter::check_usable() const {
    if (ended_) throw FileError("the store writer of " + path_utf8(store_.base()) + " has ended");
}

StoreOutcome StoreWriter::store(StoreFile where, std::string_view record) {
    check_usable();
    if (auto problem = store_problem(where, record)) return *problem;
    std::string_view line = without_line_break(record);
    Entry& e = entry_for(where, line);
    bool held = false;
    if (where == StoreFile::DayRunners) {
        put_runner(e, runner_slot(line), line);
    } else {
        held = put_keyed(e, with_zeroed_stamp(line));
    }
    e.last_use = ++clock_;
    account(e);
    StoreOutcome outcome{StoreOutcome::Status::Stored, e.path, {}};
    outcome.held = held;
    if (memory_ > options_.memory_limit) relieve_memory();
    return outcome;
}

StoreWriter::Entry& StoreWriter::entry_for(StoreFile where, std::string_view line) {
    auto [it, inserted] = entries_.try_emplace(cache_key(where, line));
    if (inserted) {
        it->second = std::make_unique<Entry>();
        Entry& e = *it->second;
        e.where = where;
        e.path = store_.file_for(where, line);
    }
    Entry& e = *it->second;
    if (!e.loaded) load(e, inserted);
    return e;
}

void StoreWriter::load(Entry& e, bool first) {
    std::optional<std::string> content = read_own_file_if_exists(e.path);
    e.on_disk = content.has_value();
    std::string disk = std::move(content).value_or("");
    e.disk_size = disk.size();
    e.disk_hash = content_hash(disk);
    if (!e.keyed()) {
        e.bytes = std::move(disk);
        e.regular = runner_file_is_regular(e.bytes);
    } else {
        std::vector<std::string> lines = split_lines(disk);
        if (first && !recovering_) {
            std::vector<std::string> keys;
            keys.reserve(lines.size());
            for (const auto& line : lines) keys.push_back(padded_key(line));
            std::sort(keys.begin(), keys.end());
            for (const auto& key : keys) e.protected_keys += key;
        }
        if (!e.spilled.empty()) {
            // The full content waits beside the file; the file holds what was
            // safe to write, and so the replaced lines as they were.
            e.held = e.protected_lines(lines);
            e.lines = split_lines(read_file(e.spilled));
            if (file_layer().unlink(e.spilled.c_str()) != 0) leftovers_ = true;
            e.spilled.clear();
            e.dirty = true;
        } else {
            e.lines = std::move(lines);
        }
        e.normalized = sorted_and_clean(e.lines, drops_blank_first(e.where));
    }
    e.loaded = true;
    e.memory = 0;
    account(e);
}

void StoreWriter::account(Entry& e) {
    std::size_t size = 0;
    if (e.keyed()) {
        size = (e.lines.capacity() + e.held.capacity()) * sizeof(std::string);
        for (const auto& line : e.lines) size += line.capacity() + kLineOverhead;
        for (const auto& line : e.held) size += line.capacity() + kLineOverhead;
    } else {
        size = e.bytes.capacity();
    }
    memory_ = memory_ - e.memory + size;
    e.memory = size;
    stats_.peak_memory = std::max(stats_.peak_memory, memory_);
}

void StoreWriter::note_change(Entry& e) {
    e.dirty = true;
    // A replay of the log is not logged again.
    if (!e.in_log && !recovering_) {
        e.in_log = true;
        to_log_.push_back(&e);
    }
}

bool StoreWriter::put_keyed(Entry& e, const std::string& stored) {
    std::string_view key = store_key(stored);
    auto same = std::find_if(e.lines.begin(), e.lines.end(),
                             [&](const std::string& l) { return store_key(l) == key; });
    // Replacing a line by itself in a sorted file changes nothing.
    if (same != e.lines.end() && *same == stored && e.normalized) return false;
    bool is_protected = e.is_protected(key);
    if (same != e.lines.end() && *same != stored && is_protected && !e.protected_changed) {
        // Until now every line of a key the file had at the start is as it
        // was then.
        e.held = e.protected_lines(e.lines);
        e.protected_changed = true;
    }
    bool drop_blank = drops_blank_first(e.where);
    if (e.normalized && stored.find('\n') == std::string::npos) {
        // The keyed merge of a sorted file: the line replaced or added, in
        // its sorted place.
        if (same != e.lines.end()) e.lines.erase(same);
        e.lines.insert(std::upper_bound(e.lines.begin(), e.lines.end(), stored), stored);
    } else {
        merge_line(e.lines, stored, drop_blank);
        // On disk the file would be read back split at every LF.
        if (stored.find('\n') != std::string::npos) e.lines = split_lines(join_lines(e.lines));
        e.normalized = sorted_and_clean(e.lines, drop_blank);
    }
    e.dirty = true;
    if (!is_protected && !recovering_) {
        e.logged_keys.emplace_back(key);
        note_change(e);
    }
    return is_protected && !recovering_;
}

void StoreWriter::put_runner(Entry& e, std::size_t slot, std::string_view line) {
    if (e.regular) {
        std::string_view stored =
            std::string_view(e.bytes).substr(slot * kRunnerRecordSize, kRunnerRecordSize - 2);
        if (stored == line || created_before(line, stored)) return;
        e.bytes.replace(slot * kRunnerRecordSize, kRunnerRecordSize - 2, line);
    } else {
        if (created_before(line, e.slot_line(slot))) return;
        e.bytes = rebuilt_runner_file(e.bytes, slot, line);
        e.regular = runner_file_is_regular(e.bytes);
    }
    if (!recovering_) e.logged_slots.push_back(slot);
    note_change(e);
}

void StoreWriter::checkpoint() {
    check_usable();
    if (to_log_.empty()) return;
    std::string payload;
    for (Entry* e : to_log_) {
        if (e->keyed()) {
            auto& keys = e->logged_keys;
            std::sort(keys.begin(), keys.end());
            keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
            for (const auto& key : keys) {
                auto line = std::find_if(e->lines.begin(), e->lines.end(),
                                         [&](const std::string& l) { return store_key(l) == key; });
                if (line != e->lines.end()) RedoLog::add(payload, e->where, *line);
            }
            keys.clear();
        } else {
            auto& slots = e->logged_slots;
            std::sort(slots.begin(), slots.end());
            slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
            for (std::size_t slot : slots) RedoLog::add(payload, e->where, e->slot_line(slot));
            slots.clear();
        }
        e->in_log = false;
    }
    to_log_.clear();
    if (payload.empty()) return;
    lock_.check_held();
    redo_->append(payload);
    ++stats_.checkpoints;
    stats_.redo_bytes += payload.size();
}

std::string StoreWriter::safe_content(const Entry& e) const {
    if (!e.protected_changed) return e.content();
    // The lines the file had at the start, as they were, and every other line
    // as it is now.
    std::vector<std::string> safe = e.held;
    bool drop_blank = drops_blank_first(e.where);
    for (const auto& line : e.lines) {
        if (!e.is_protected(padded_key(line))) merge_line(safe, line, drop_blank);
    }
    return join_lines(safe);
}

bool StoreWriter::unchanged_on_disk(const Entry& e, const std::string& content) const {
    if (!e.on_disk || content.size() != e.disk_size || content_hash(content) != e.disk_hash) {
        return false;
    }
    // Same size and hash: compare the bytes themselves before skipping.
    std::optional<std::string> disk = read_own_file_if_exists(e.path);
    return disk && *disk == content;
}

void StoreWriter::write_entries(const std::vector<Entry*>& entries, Mode mode, bool supersede_log) {
    struct Written {
        Entry* entry;
        std::size_t size;
        std::uint64_t hash;
    };
    std::vector<StagedFile> staged;
    std::vector<Written> written;
    try {
        for (Entry* e : entries) {
            if (!e->loaded) {
                if (mode == Mode::Full && !e->spilled.empty()) {
                    staged.push_back(
                        StagedFile{e->path, e->spilled, e->spilled_size, e->spilled_hash});
                    written.push_back(Written{e, 0, 0});
                }
                continue;
            }
            if (!e->dirty) continue;
            std::string content = mode == Mode::Full ? e->content() : safe_content(*e);
            if (unchanged_on_disk(*e, content)) {
                if (mode == Mode::Full || !e->protected_changed) e->dirty = false;
                continue;
            }
            fs::path folder = e->path.parent_path();
            if (std::find(folders_made_.begin(), folders_made_.end(), folder.native()) ==
                folders_made_.end()) {
                create_folders(folder);
                folders_made_.push_back(folder.native());
            }
            AtomicFile file(e->path);
            file.write(content);
            std::uint64_t hash = content_hash(content);
            staged.push_back(StagedFile{e->path, file.stage(), content.size(), hash});
            written.push_back(Written{e, content.size(), hash});
        }
        // A writer whose lock file was taken from it commits nothing.
        if (!staged.empty()) lock_.check_held();
    } catch (...) {
        for (const auto& f : staged) file_layer().unlink(f.staged.c_str());
        throw;
    }
    try {
        commit_staged(store_.base(), staged, supersede_log && !recovering_ ? redo_.get() : nullptr);
    } catch (...) {
        // Past its commit point the journal stays for the next writer, and
        // this one must not write over it. The spilled files it names are its
        // own now: they must outlive this writer, whose end would otherwise
        // remove them as unused spills and leave the journal naming files
        // that are gone.
        if (platform::file_kind(journal_file(store_.base()).c_str()) !=
            platform::FileKind::missing) {
            broken_ = true;
            for (const Written& w : written) {
                if (!w.entry->loaded) w.entry->spilled.clear();
            }
        }
        throw;
    }
    if (!staged.empty()) ++stats_.commits;
    stats_.files_written += static_cast<long>(staged.size());
    for (const Written& w : written) {
        Entry* e = w.entry;
        if (!e->loaded) {
            e->spilled.clear();  // renamed into place
            continue;
        }
        e->on_disk = true;
        e->disk_size = w.size;
        e->disk_hash = w.hash;
        e->dirty = mode == Mode::Safe && e->protected_changed;
    }
    if (supersede_log) {
        // What the log held is in the files now.
        for (Entry* e : to_log_) {
            e->logged_keys.clear();
            e->logged_slots.clear();
            e->in_log = false;
        }
        to_log_.clear();
    }
}

void StoreWriter::write_out(Mode mode) {
    std::vector<Entry*> all;
    all.reserve(entries_.size());
    for (auto& [key, entry] : entries_) all.push_back(entry.get());
    write_entries(all, mode, true);
}

void StoreWriter::relieve_memory() {
    // The changes not yet logged go to the log first, so that files can
    // leave memory without a change being lost to a kill.
    if (!recovering_) checkpoint();
    std::size_t target = options_.memory_limit / 2;
    std::vector<Entry*> loaded;
    for (auto& [key, entry] : entries_) {
        if (entry->loaded) loaded.push_back(entry.get());
    }
    std::sort(loaded.begin(), loaded.end(),
              [](const Entry* a, const Entry* b) { return a->last_use < b->last_use; });
    // The files used least recently leave memory: those changed are written
    // first (what is safe; the log keeps holding the changes of the others).
    std::vector<Entry*> leaving;
    std::size_t left = memory_;
    for (Entry* e : loaded) {
        if (left <= target) break;
        leaving.push_back(e);
        left -= e->memory;
    }
    write_entries(leaving, Mode::Safe, false);
    ++stats_.memory_flushes;
    for (Entry* e : leaving) {
        if (e->dirty) {
            // Replaced lines wait beside the file for commit().
            AtomicFile file(e->path);
            std::string content = e->content();
            file.write(content);
            e->spilled_size = content.size();
            e->spilled_hash = content_hash(content);
            e->spilled = file.stage();
            ++stats_.files_spilled;
        }
        evict(*e);
    }
    // A runner file has nothing to remember once out of memory; a keyed file
    // keeps the keys it had at the start of the run.
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (!it->second->loaded && !it->second->keyed()) {
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
    // A long log is ended by writing out every safe change.
    if (redo_->size() > options_.redo_limit) write_out(Mode::Safe);
}

void StoreWriter::evict(Entry& e) {
    memory_ -= e.memory;
    e.memory = 0;
    e.loaded = false;
    e.dirty = false;
    std::vector<std::string>().swap(e.lines);
    std::vector<std::string>().swap(e.held);
    std::string().swap(e.bytes);
}

void StoreWriter::discard_spills() {
    for (auto& [key, entry] : entries_) {
        if (!entry->spilled.empty()) {
            if (file_layer().unlink(entry->spilled.c_str()) != 0 && errno != ENOENT) {
                leftovers_ = true;
            }
            entry->spilled.clear();
        }
    }
}

void StoreWriter::finish() {
    ended_ = true;
    // A temporary file that could not be removed is left for the next writer.
    lock_.set_unfinished(leftovers_);
}

void StoreWriter::commit() {
    check_usable();
    if (broken_) return;
    write_out(Mode::Full);
    finish();
}

void StoreWriter::commit_safe() {
    check_usable();
    if (broken_) return;
    write_out(Mode::Safe);
    discard_spills();
    finish();
}

}  // namespace tolven
