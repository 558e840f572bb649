#include "store/store_journal.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/files.hpp"
#include "platform/utf8_path.hpp"
#include "store/atomic_file.hpp"
#include "store/error_text.hpp"
#include "store/file_layer.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

constexpr std::string_view kJournalHeader = "tolven journal 2";
constexpr std::string_view kRedoMagic = "TRD1";

bool file_exists(const fs::path& path) {
    return platform::file_kind(path.c_str()) != platform::FileKind::missing;
}

void remove_file(const fs::path& path) {
    if (file_layer().unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw_file_error("削除できません", path, errno);
    }
}

// The store files a journal may name, relative to the base folder:
// Data/<name>, SEI/<folder>/<name>, SEIR/<folder>/<name>, with the
// extension of the area. Nothing else can be renamed by a journal, whatever
// it says.
bool is_store_path(const fs::path& relative) {
    std::vector<std::string> parts;
    for (const auto& part : relative) parts.push_back(path_utf8(part));
    auto plain = [](const std::string& s) {
        return !s.empty() && s != "." && s != ".." && s.front() != '.' &&
               s.find_first_of("/\\:") == std::string::npos;
    };
    for (const auto& part : parts) {
        if (!plain(part)) return false;
    }
    auto ends_with = [](const std::string& s, std::string_view suffix) {
        return s.size() > suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(),
                                                     suffix.data(), suffix.size()) == 0;
    };
    if (parts.size() == 2 && parts[0] == "Data") {
        return ends_with(parts[1], ".jvRA") || ends_with(parts[1], ".jvSEr") ||
               ends_with(parts[1], ".jvHR");
    }
    if (parts.size() == 3 && parts[0] == "SEI") return ends_with(parts[2], ".jvSEI");
    if (parts.size() == 3 && parts[0] == "SEIR") return ends_with(parts[2], ".jvSERA");
    return false;
}

std::string hex(std::uint64_t n) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(n));
    return text;
}

std::optional<std::uint64_t> parse_number(std::string_view text, int base, std::size_t digits) {
    if (text.empty() || text.size() > digits) return std::nullopt;
    std::uint64_t n = 0;
    for (char c : text) {
        int d = c >= '0' && c <= '9'                   ? c - '0'
                : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                       : -1;
        if (d < 0) return std::nullopt;
        n = n * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    return n;
}

// The journal: a header, the count, one line per file (target, staged name,
// size, checksum, separated by tabs), and a last line that says whether the
// commit supersedes the redo log and holds the checksum of everything before
// it. Every line ends in LF.
std::string journal_text(const fs::path& base, const std::vector<StagedFile>& files,
                         bool supersedes_redo) {
    std::string text(kJournalHeader);
    text += "\n" + std::to_string(files.size()) + "\n";
    for (const auto& f : files) {
        text += generic_path_utf8(f.target.lexically_relative(base));
        text += '\t';
        text += path_utf8(f.staged.filename());
        text += '\t' + std::to_string(f.size) + '\t' + hex(f.hash) + '\n';
    }
    std::string sum = hex(content_hash(text));
    text += supersedes_redo ? "end redo\t" : "end\t";
    text += sum + "\n";
    return text;
}

struct JournalEntry {
    fs::path target;
    std::string staged;
    std::size_t size = 0;
    std::uint64_t hash = 0;
};

struct Journal {
    std::vector<JournalEntry> entries;
    bool supersedes_redo = false;
    // Why it cannot be read whole (Japanese); entries then holds the lines
    // that could be read before the damage, which are still checked one by
    // one against their staged files.
    std::string damage;
};

Journal parse_journal(std::string_view text) {
    Journal journal;
    if (text.empty()) {
        journal.damage = "空です";
        return journal;
    }
    std::vector<std::string_view> lines;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) {
            journal.damage = "最後の行が途中で切れています";
            break;
        }
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    if (lines.empty() || lines.front() != kJournalHeader) {
        journal.damage = "この版の取込みが書いたものではありません";
        return journal;
    }
    for (std::size_t i = 2; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.rfind("end", 0) == 0) break;
        std::vector<std::string_view> fields;
        for (std::size_t from = 0;;) {
            std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
            if (tab == std::string_view::npos) break;
            from = tab + 1;
        }
        auto size = fields.size() == 4 ? parse_number(fields[2], 10, 19) : std::nullopt;
        auto hash = fields.size() == 4 ? parse_number(fields[3], 16, 16) : std::nullopt;
        if (!size || !hash || fields[3].size() != 16) {
            if (journal.damage.empty())
                journal.damage = "行の形式が不正です（" + std::to_string(i + 1) + "行目）";
            break;
        }
        journal.entries.push_back(JournalEntry{utf8_path(fields[0]),
                                               std::string(fields[1]),
                                               static_cast<std::size_t>(*size), *hash});
    }
    if (!journal.damage.empty()) return journal;
    std::string_view last = lines.back();
    std::size_t tab = last.find('\t');
    std::string_view end_word = last.substr(0, tab);
    if (lines.size() < 3 || tab == std::string_view::npos ||
        (end_word != "end" && end_word != "end redo")) {
        journal.damage = "終わりの行がありません";
        return journal;
    }
    std::size_t body = text.size() - last.size() - 1;
    if (last.substr(tab + 1) != hex(content_hash(text.substr(0, body)))) {
        journal.damage = "チェックサムが合いません";
        return journal;
    }
    if (lines[1] != std::to_string(lines.size() - 3) ||
        journal.entries.size() != lines.size() - 3) {
        journal.damage = "件数が合いません";
        return journal;
    }
    journal.supersedes_redo = end_word == "end redo";
    return journal;
}

// A free name beside path for a damaged file that is kept: path + ".damaged",
// with a number added when that exists.
fs::path damaged_name(const fs::path& path) {
    fs::path kept = path;
    kept += ".damaged";
    for (int n = 2; file_exists(kept); ++n) {
        kept = path;
        kept += ".damaged." + std::to_string(n);
    }
    return kept;
}

fs::path set_aside_file(const fs::path& path) {
    fs::path kept = damaged_name(path);
    if (file_layer().rename(path.c_str(), kept.c_str()) != 0) {
        throw_file_error("名前を変えられません", path, errno);
    }
    sync_folder(path.parent_path());
    return kept;
}

}  // namespace

std::string damage_message(const fs::path& file, const fs::path& kept, const std::string& why) {
    return "中断された取込みの記録「" + path_utf8(file) + "」を最後まで確かめられません（" + why +
           "）。確かめられた分だけ反映し、残りは「" + path_utf8(kept) +
           "」として残しました。データが一部欠けている可能性があります。データ取込みをやり直してく"
           "ださい。";
}

namespace {

// The folders of files, each once.
std::vector<fs::path> folders_of(const std::vector<StagedFile>& files) {
    std::vector<fs::path> folders;
    for (const auto& f : files) {
        fs::path folder = f.target.parent_path();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    }
    return folders;
}

}  // namespace

std::uint64_t content_hash(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ULL ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = (h ^ word) * 0x100000001B3ULL;
        h ^= h >> 29;
    }
    for (; i < bytes.size(); ++i) {
        h = (h ^ static_cast<unsigned char>(bytes[i])) * 0x100000001B3ULL;
    }
    return h;
}

namespace {

void put_number(std::string& out, std::uint64_t n, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
}

std::uint64_t get_number(std::string_view in, int bytes) {
    std::uint64_t n = 0;
    for (int i = 0; i < bytes; ++i) {
        n |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[static_cast<std::size_t>(i)]))
             << (8 * i);
    }
    return n;
}

}  // namespace

fs::path journal_file(const fs::path& base) {
    return base / "tolven.journal";
}

void commit_staged(const fs::path& base, const std::vector<StagedFile>& files,
                   RedoLog* supersedes) {
    bool redo = supersedes != nullptr && supersedes->present();
    if (files.size() == 1 && !redo) {
        if (file_layer().rename(files[0].staged.c_str(), files[0].target.c_str()) != 0) {
            int error = errno;
            file_layer().unlink(files[0].staged.c_str());
            throw_file_error("置き換えられません", files[0].target, error);
        }
        sync_folder(files[0].target.parent_path());
        return;
    }
    if (files.empty()) {
        if (redo) supersedes->remove();
        return;
    }
    std::vector<fs::path> folders = folders_of(files);
    try {
        // The staged files' names are on the disk before a journal names them.
        for (const auto& folder : folders) sync_folder(folder);
        replace_file(journal_file(base), journal_text(base, files, redo));
    } catch (...) {
        // A journal renamed into place (its folder's flush failed after) may
        // count: its staged files stay for the next writer, which checks them.
        if (!file_exists(journal_file(base))) {
            for (const auto& f : files) file_layer().unlink(f.staged.c_str());
        }
        throw;
    }
    // Committed. Whatever fails from here on, the journal stays for the next
    // writer to finish; the renames still go on as far as they can.
    std::optional<FileError> first;
    if (redo) {
        try {
            supersedes->remove();
        } catch (const FileError& e) {
            first = e;
        }
    }
    for (const auto& f : files) {
        if (file_layer().rename(f.staged.c_str(), f.target.c_str()) != 0 && !first) {
            first = FileError(file_error_text("置き換えられません", f.target, errno));
        }
    }
    if (first) throw *first;
    // The renames (and the removed log) are on the disk before the journal
    // goes.
    for (const auto& folder : folders) sync_folder(folder);
    if (redo) sync_folder(base);
    remove_file(journal_file(base));
}

bool roll_forward_journal(const fs::path& base) {
    fs::path journal = journal_file(base);
    std::optional<std::string> text;
    std::string damage;
    try {
        text = read_own_file_if_exists(journal);
    } catch (const FileError& e) {
        // A link or a folder where the journal should be: kept as it is.
        throw StoreDamaged(e.what());
    }
    if (!text) return false;
    Journal parsed = parse_journal(*text);
    damage = parsed.damage;
    std::vector<StagedFile> renamed;
    for (const auto& entry : parsed.entries) {
        const fs::path& target = entry.target;
        if (!is_store_path(target) || !is_temporary_of(entry.staged, path_utf8(target.filename()))) {
            if (damage.empty())
                damage = "ストアのファイルではない名前があります: " + path_utf8(target);
            continue;
        }
        fs::path to = base / target;
        fs::path from = to.parent_path() / utf8_path(entry.staged);
        auto holds_entry = [&](const fs::path& path) {
            try {
                std::optional<std::string> content = read_own_file_if_exists(path);
                return content && content->size() == entry.size &&
                       content_hash(*content) == entry.hash;
            } catch (const FileError&) {
                return false;
            }
        };
        if (!file_exists(from)) {
            // Renamed before the writer stopped, if the target is what was
            // staged.
            if (!holds_entry(to) && damage.empty()) {
                damage = "一時ファイルがなく、内容も一致しません: " + path_utf8(to);
            }
            continue;
        }
        if (!holds_entry(from)) {
            if (damage.empty())
                damage = "一時ファイルの大きさかチェックサムが合いません: " + path_utf8(from);
            continue;
        }
        if (file_layer().rename(from.c_str(), to.c_str()) != 0) {
            throw_file_error("置き換えられません", to, errno);
        }
        renamed.push_back(StagedFile{to, from, entry.size, entry.hash});
    }
    for (const auto& folder : folders_of(renamed)) sync_folder(folder);
    if (!damage.empty()) {
        fs::path kept = set_aside_file(journal);
        throw StoreDamaged(damage_message(journal, kept, damage));
    }
    if (parsed.supersedes_redo) {
        remove_file(RedoLog::file(base));
        sync_folder(base);
    }
    remove_file(journal);
    return true;
}

std::vector<fs::path> damaged_records(const fs::path& base) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = path_utf8(it->path().filename());
        if (name.starts_with("tolven.journal.damaged") || name.starts_with("tolven.redo.damaged")) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

int remove_stale_temporaries(const fs::path& base) {
    int removed = 0;
    // The staged files of a damaged journal stay with it.
    if (file_exists(base / "tolven.journal.damaged")) {
        return 0;
    }
    auto sweep = [&](const fs::path& folder, std::initializer_list<std::string_view> extensions) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = path_utf8(it->path().filename());
            // ".<name>.<ext>.XXXXXX"
            if (name.size() < 9 || name.front() != '.' || name[name.size() - 7] != '.') continue;
            std::string target = name.substr(1, name.size() - 8);
            bool ours = false;
            for (std::string_view ext : extensions) {
                ours = ours || (target.size() > ext.size() &&
                                target.compare(target.size() - ext.size(), ext.size(), ext.data(),
                                               ext.size()) == 0);
            }
            if (!ours || !it->is_regular_file(ec)) continue;
            if (file_layer().unlink(it->path().c_str()) == 0) ++removed;
        }
    };
    sweep(base, {"tolven.journal"});
    sweep(base / "Data", {".jvRA", ".jvSEr", ".jvHR"});
    for (const char* area : {"SEI", "SEIR"}) {
        std::error_code ec;
        for (fs::directory_iterator it(base / area, ec), end; !ec && it != end; it.increment(ec)) {
            if (it->is_directory(ec)) {
                sweep(it->path(), {std::string_view(area) == "SEI" ? ".jvSEI" : ".jvSERA"});
            }
        }
    }
    return removed;
}

RedoLog::RedoLog(fs::path base) : path_(file(base)), present_(file_exists(path_)) {}

RedoLog::~RedoLog() {
    if (fd_ >= 0) file_layer().close(fd_);
}

namespace {

// Records are padded with blanks; the log keeps each run of four or more as
// a marker and its length. The marker byte itself is written as the marker
// and a length of 0.
constexpr char kRunMarker = '\xFF';

void pack(std::string& out, std::string_view line) {
    const std::size_t n = line.size();
    std::size_t i = 0;
    while (i < n) {
        if (line[i] == kRunMarker) {
            out += kRunMarker;
            out += '\0';
            ++i;
            continue;
        }
        std::size_t run = 0;
        while (i + run < line.size() && line[i + run] == ' ' && run < 255) ++run;
        if (run >= 4) {
            out += kRunMarker;
            out += static_cast<char>(run);
            i += run;
            continue;
        }
        // Up to the next marker byte or run of four blanks, byte by byte
        // without a substring per blank (every record of an import passes
        // here).
        std::size_t end = i + std::max<std::size_t>(run, 1);
        while (end < n) {
            char c = line[end];
            if (c == kRunMarker) break;
            if (c == ' ' && end + 4 <= n && line[end + 1] == ' ' && line[end + 2] == ' ' &&
                line[end + 3] == ' ') {
                break;
            }
            ++end;
        }
        out.append(line.substr(i, end - i));
        i = end;
    }
}

std::optional<std::string> unpack(std::string_view packed) {
    std::string line;
    for (std::size_t i = 0; i < packed.size(); ++i) {
        if (packed[i] != kRunMarker) {
            line += packed[i];
            continue;
        }
        if (++i == packed.size()) return std::nullopt;
        auto run = static_cast<unsigned char>(packed[i]);
        if (run == 0) {
            line += kRunMarker;
        } else {
            line.append(run, ' ');
        }
    }
    return line;
}

}  // namespace

void RedoLog::add(std::string& payload, StoreFile where, std::string_view line) {
    payload += static_cast<char>(where);
    std::size_t size_at = payload.size();
    put_number(payload, 0, 2);
    pack(payload, line);
    std::size_t packed = payload.size() - size_at - 2;
    payload[size_at] = static_cast<char>(packed & 0xFF);
    payload[size_at + 1] = static_cast<char>((packed >> 8) & 0xFF);
}

void RedoLog::append(const std::string& payload) {
    if (broken_) throw_file_error("書き込めません", path_, EIO);
    if (fd_ < 0) {
        fd_ = file_layer().open(path_.c_str(), platform::open_write | platform::open_create | platform::open_append |
                                             platform::open_no_follow, 0644);
        if (fd_ < 0) {
            if (errno == ELOOP) refuse_link(path_);
            throw_file_error("開けません", path_, errno);
        }
        present_ = true;
    }
    std::string head(kRedoMagic);
    put_number(head, payload.size(), 8);
    std::string tail;
    put_number(tail, content_hash(payload), 8);
    try {
        // An entry cut off by a kill between these writes fails its checksum.
        write_all(fd_, head, path_);
        write_all(fd_, payload, path_);
        write_all(fd_, tail, path_);
        // The entry counts once it is on the disk, with the log's name.
        if (file_layer().sync(fd_) != 0) throw_file_error("書き込めません", path_, errno);
        if (size_ == 0) sync_folder(path_.parent_path());
        size_ += head.size() + payload.size() + tail.size();
    } catch (...) {
        broken_ = true;
        // The part of the entry that was written goes again, so that the log
        // stays whole for the next writer (which reports a log cut off).
        if (platform::truncate_file(fd_, size_) != 0) {
            // Left cut off: the next writer keeps it and reports it.
        }
        throw;
    }
}

void RedoLog::remove() {
    if (fd_ >= 0) {
        file_layer().close(fd_);
        fd_ = -1;
    }
    if (present_) remove_file(path_);
    present_ = false;
    broken_ = false;
    size_ = 0;
}

fs::path RedoLog::set_aside() {
    if (fd_ >= 0) {
        file_layer().close(fd_);
        fd_ = -1;
    }
    fs::path kept = set_aside_file(path_);
    present_ = false;
    size_ = 0;
    return kept;
}

std::vector<RedoOp> RedoLog::read(const fs::path& base, std::string* damage) {
    std::vector<RedoOp> ops;
    std::string why;
    std::optional<std::string> content;
    try {
        content = read_own_file_if_exists(file(base));
    } catch (const FileError& e) {
        if (!damage) throw;
        *damage = e.what();
        return ops;
    }
    if (damage) damage->clear();
    // An empty log (created, and the first entry's write failed) holds
    // nothing to lose.
    if (!content) return ops;
    std::string_view rest = *content;
    while (!rest.empty()) {
        if (rest.size() < 4 + 8 || rest.substr(0, 4) != kRedoMagic) {
            why = "記録の見出しが不正か途中で切れています";
            break;
        }
        std::uint64_t size = get_number(rest.substr(4), 8);
        if (size > rest.size() - 12 || rest.size() - 12 - size < 8) {
            why = "記録が途中で切れているか大きさが不正です";
            break;
        }
        std::string_view payload = rest.substr(12, size);
        if (get_number(rest.substr(12 + size), 8) != content_hash(payload)) {
            why = "チェックサムが合いません";
            break;
        }
        std::vector<RedoOp> entry;
        bool whole = true;
        while (!payload.empty()) {
            if (payload.size() < 3) {
                whole = false;
                break;
            }
            auto where = static_cast<unsigned char>(payload[0]);
            std::size_t length = get_number(payload.substr(1), 2);
            if (where > static_cast<unsigned char>(StoreFile::MeetingRaces) ||
                payload.size() - 3 < length) {
                whole = false;
                break;
            }
            std::optional<std::string> line = unpack(payload.substr(3, length));
            // A line break inside would split the line in the store file, as
            // in a record delivered by the link.
            if (!line || line->find_first_of("\r\n") != std::string::npos) {
                whole = false;
                break;
            }
            entry.push_back(RedoOp{static_cast<StoreFile>(where), std::move(*line)});
            payload.remove_prefix(3 + length);
        }
        if (!whole) {
            why = "記録の中身が不正です（改行文字を含む行、不正な種類か長さ）";
            break;
        }
        ops.insert(ops.end(), std::make_move_iterator(entry.begin()),
                   std::make_move_iterator(entry.end()));
        rest.remove_prefix(12 + size + 8);
    }
    if (damage) *damage = why;
    return ops;
}

}  // namespace tolven
