#include "store/store_journal.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "store/atomic_file.hpp"
#include "store/error_text.hpp"
#include "store/file_layer.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

constexpr std::string_view kJournalHeader = "tolven journal 1";
constexpr std::string_view kRedoMagic = "TRD1";

bool file_exists(const fs::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
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
    for (const auto& part : relative) parts.push_back(part.string());
    auto plain = [](const std::string& s) {
        return !s.empty() && s != "." && s != ".." && s.front() != '.' &&
               s.find('/') == std::string::npos;
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

std::string journal_text(const fs::path& base, const std::vector<StagedFile>& files,
                         bool supersedes_redo) {
    std::string text(kJournalHeader);
    text += "\n" + std::to_string(files.size()) + "\n";
    for (const auto& f : files) {
        text += f.target.lexically_relative(base).string();
        text += '\t';
        text += f.staged.filename().string();
        text += '\n';
    }
    text += supersedes_redo ? "end redo\n" : "end\n";
    return text;
}

struct Journal {
    std::vector<std::pair<fs::path, std::string>> entries;  // target, staged name
    bool supersedes_redo = false;
};

// The journal, or nothing when it is not one this program wrote whole.
std::optional<Journal> parse_journal(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;  // every line ends in LF
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    if (lines.size() < 3 || lines.front() != kJournalHeader ||
        (lines.back() != "end" && lines.back() != "end redo")) {
        return std::nullopt;
    }
    if (std::to_string(lines.size() - 3) != lines[1]) return std::nullopt;
    Journal journal;
    journal.supersedes_redo = lines.back() == "end redo";
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        std::size_t tab = lines[i].find('\t');
        if (tab == std::string_view::npos) return std::nullopt;
        journal.entries.emplace_back(fs::path(std::string(lines[i].substr(0, tab))),
                                     std::string(lines[i].substr(tab + 1)));
    }
    return journal;
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
        return;
    }
    if (files.empty()) {
        if (redo) supersedes->remove();
        return;
    }
    try {
        replace_file(journal_file(base), journal_text(base, files, redo));
    } catch (...) {
        for (const auto& f : files) file_layer().unlink(f.staged.c_str());
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
    remove_file(journal_file(base));
}

bool roll_forward_journal(const fs::path& base) {
    fs::path journal = journal_file(base);
    std::optional<std::string> text = read_file_if_exists(journal);
    if (!text) return false;
    if (auto parsed = parse_journal(*text)) {
        for (const auto& [target, staged] : parsed->entries) {
            if (!is_store_path(target) || !is_temporary_of(staged, target.filename().string())) {
                continue;
            }
            fs::path from = base / target.parent_path() / staged;
            if (!file_exists(from)) continue;  // renamed before the writer stopped
            if (file_layer().rename(from.c_str(), (base / target).c_str()) != 0) {
                throw_file_error("置き換えられません", base / target, errno);
            }
        }
        if (parsed->supersedes_redo) remove_file(RedoLog::file(base));
    }
    // A journal this program did not write whole was never committed: its
    // staged files are leftovers like any other.
    remove_file(journal);
    return true;
}

int remove_stale_temporaries(const fs::path& base) {
    int removed = 0;
    auto sweep = [&](const fs::path& folder, std::initializer_list<std::string_view> extensions) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
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
    std::size_t i = 0;
    while (i < line.size()) {
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
        std::size_t end = i + std::max<std::size_t>(run, 1);
        while (end < line.size() && line[end] != kRunMarker &&
               !(line[end] == ' ' && line.substr(end, 4) == "    ")) {
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
        fd_ = file_layer().open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd_ < 0) throw_file_error("開けません", path_, errno);
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
        size_ += head.size() + payload.size() + tail.size();
    } catch (...) {
        broken_ = true;
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

std::vector<RedoOp> RedoLog::read(const fs::path& base) {
    std::vector<RedoOp> ops;
    std::optional<std::string> content = read_file_if_exists(file(base));
    if (!content) return ops;
    std::string_view rest = *content;
    while (rest.size() >= 4 + 8 && rest.substr(0, 4) == kRedoMagic) {
        std::uint64_t size = get_number(rest.substr(4), 8);
        if (size > rest.size() - 12 || rest.size() - 12 - size < 8) break;
        std::string_view payload = rest.substr(12, size);
        if (get_number(rest.substr(12 + size), 8) != content_hash(payload)) break;
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
            if (!line) {
                whole = false;
                break;
            }
            entry.push_back(RedoOp{static_cast<StoreFile>(where), std::move(*line)});
            payload.remove_prefix(3 + length);
        }
        if (!whole) break;
        ops.insert(ops.end(), std::make_move_iterator(entry.begin()),
                   std::make_move_iterator(entry.end()));
        rest.remove_prefix(12 + size + 8);
    }
    return ops;
}

}  // namespace tolven
