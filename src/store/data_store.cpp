#include "store/data_store.hpp"

#include <algorithm>
#include <system_error>

#include "platform/utf8_path.hpp"
#include "store/atomic_file.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"
#include "store/store_reader.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

bool all_digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool course_code_ok(std::string_view s) {
    return s.size() == 2 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
           });
}

std::vector<std::string> load_lines(const fs::path& file) {
    auto content = read_file_if_exists(file);
    return content ? split_lines(*content) : std::vector<std::string>{};
}

constexpr std::size_t kRunnerLine = kRunnerRecordSize - 2;

StoreOutcome rejected(std::string reason) {
    return StoreOutcome{StoreOutcome::Status::Rejected, {}, std::move(reason)};
}

}  // namespace

RecordKind store_file_kind(StoreFile where) {
    switch (where) {
        case StoreFile::DayRaces:
        case StoreFile::MeetingRaces:
            return RecordKind::Race;
        case StoreFile::DayRunners:
        case StoreFile::HorseRuns:
            return RecordKind::Runner;
        case StoreFile::DayPayouts:
            return RecordKind::Payout;
    }
    return RecordKind::Other;
}

bool runner_file_is_regular(std::string_view content) {
    if (content.size() != kRunnerSlots * kRunnerRecordSize) return false;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(kRunnerSlots); ++i) {
        if (content.substr(i * kRunnerRecordSize - 2, 2) != "\r\n") return false;
    }
    return true;
}

std::string rebuilt_runner_file(std::string_view content, std::size_t slot, std::string_view line) {
    std::vector<std::string> lines = split_lines(content);
    if (lines.size() < static_cast<std::size_t>(kRunnerSlots)) {
        lines.resize(kRunnerSlots, std::string(kRunnerLine, ' '));
    }
    lines[slot] = line;
    return join_lines(lines);
}

std::size_t runner_slot(std::string_view line) {
    int race = field_int(line, header::race_number);
    int horse = field_int(line, se::horse_number);
    return static_cast<std::size_t>((race - 1) * kMaxRunners + (horse - 1));
}

std::optional<StoreOutcome> store_problem(StoreFile where, std::string_view record) {
    RecordKind kind = store_file_kind(where);
    if (record_kind(record) != kind) {
        return rejected(sj(std::string(record_kind_code(kind)) + "レコードではありません"));
    }
    std::string_view line = without_line_break(record);
    if (line.size() != record_size(kind) - 2) {
        return rejected(sj("レコード長が不正です(") + std::to_string(line.size() + 2) + "/" +
                        std::to_string(record_size(kind)) + sj("バイト)"));
    }
    if (auto problem = path_key_problem(line, where == StoreFile::HorseRuns)) {
        return rejected(*problem);
    }
    if (where == StoreFile::DayRunners) {
        int race = field_int(line, header::race_number);
        int horse = field_int(line, se::horse_number);
        if (race < 1 || race > kMaxRaces || horse < 1 || horse > kMaxRunners) {
            return StoreOutcome{StoreOutcome::Status::Skipped,
                                {},
                                sj("枠のない番号です:") + std::to_string(race) + "R/" +
                                    std::to_string(horse) + sj("番")};
        }
    }
    return std::nullopt;
}

std::string with_zeroed_stamp(std::string_view record) {
    return overwrite(record, std::string(header::stamp.width, '0'), header::stamp.offset + 1);
}

std::string day_key(std::string_view record) {
    std::string_view month_day = field_text(record, header::month_day);
    std::string key(field_text(record, header::year));
    key += sj("年");
    key += month_day.substr(0, 2);
    key += sj("月");
    key += month_day.substr(std::min<std::size_t>(2, month_day.size()));
    key += sj("日");
    key += racecourse_name(field_text(record, header::course));
    return key;
}

std::optional<std::string> path_key_problem(std::string_view record, bool check_pedigree) {
    struct Check {
        const char* name;
        Field field;
    };
    static constexpr Check digit_fields[] = {
        {"開催年", header::year}, {"月日", header::month_day},         {"回", header::kai},
        {"日目", header::nichi},  {"レース番号", header::race_number},
    };
    for (const auto& check : digit_fields) {
        std::string_view text = field_text(record, check.field);
        if (text.size() != check.field.width || !all_digits(text)) {
            return sj(std::string(check.name) + "が数字ではありません:\"") + std::string(text) +
                   "\"";
        }
    }
    std::string_view course = field_text(record, header::course);
    if (!course_code_ok(course)) {
        return sj("競馬場コードが不正です:\"") + std::string(course) + "\"";
    }
    if (check_pedigree) {
        std::string_view pedigree = field_text(record, se::pedigree);
        if (!pedigree_names_a_file(pedigree)) {
            return sj("血統登録番号が数字ではありません:\"") + std::string(pedigree) + "\"";
        }
    }
    return std::nullopt;
}

std::optional<std::string> day_entry_problem(std::string_view entry) {
    auto is_digits = [&](std::size_t at, std::size_t n) {
        return entry.size() >= at + n && all_digits(entry.substr(at, n));
    };
    const std::string year = sj("年"), month = sj("月"), day = sj("日");
    bool ok = entry.size() == 18 && is_digits(0, 4) && entry.substr(4, 2) == year &&
              is_digits(6, 2) && entry.substr(8, 2) == month && is_digits(10, 2) &&
              entry.substr(12, 2) == day && is_racecourse_name(entry.substr(14));
    if (ok) return std::nullopt;
    return sj("レース日の指定が不正です:\"") + std::string(entry) + "\"";
}

bool pedigree_names_a_file(std::string_view pedigree) {
    return pedigree.size() == se::pedigree.width && all_digits(pedigree);
}

fs::path file_in(const fs::path& folder, std::string_view name) {
    // Besides "/", Windows takes "\\" as a separator and ":" as a drive or a
    // stream name ("C:x", "file:stream"); a name with one is refused everywhere,
    // so that a store reads the same on every system.
    bool plain = !name.empty() && name != "." && name != ".." &&
                 name.find_first_of(std::string_view("/\\:\0", 4)) == std::string_view::npos;
    if (!plain) {
        throw UnsafePathError("refusing a file name that leaves its folder " + path_utf8(folder) +
                              ": \"" + std::string(name) + "\"");
    }
    return folder / utf8_path(name);
}

std::vector<std::string> split_lines(std::string_view content) {
    std::vector<std::string> lines;
    while (!content.empty()) {
        std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    return lines;
}

std::string join_lines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string content;
    content.reserve(size);
    for (const auto& line : lines) {
        content += line;
        content += "\r\n";
    }
    return content;
}

void merge_line(std::vector<std::string>& lines, std::string_view line, bool drop_blank_first) {
    std::string_view key = store_key(line);
    auto same = std::find_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return store_key(l) == key; });
    if (same != lines.end()) {
        *same = line;
    } else {
        lines.emplace_back(line);
    }
    // std::string compares as unsigned bytes, which is the CP932 byte order.
    std::sort(lines.begin(), lines.end());
    if (drop_blank_first && !lines.empty() && trim(lines.front()).empty()) {
        lines.erase(lines.begin());
    }
}

DataStore::DataStore(fs::path base) : base_(std::move(base)) {}

void DataStore::create_folders() const {
    for (const char* name : {"Data", "SEI", "SEIR"}) fs::create_directories(base_ / name);
}

fs::path DataStore::day_file(std::string_view day_key_cp932, std::string_view extension) const {
    return file_in(data_folder(), cp932::to_utf8(day_key_cp932) + std::string(extension));
}

fs::path DataStore::horse_file(std::string_view pedigree) const {
    return file_in(file_in(base_ / "SEI", pedigree.substr(0, 4)), std::string(pedigree) + ".jvSEI");
}

fs::path DataStore::meeting_file(std::string_view year, std::string_view month_day,
                                 std::string_view course) const {
    return file_in(file_in(base_ / "SEIR", year),
                   std::string(year) + std::string(month_day) + std::string(course) + ".jvSERA");
}

fs::path DataStore::file_for(StoreFile where, std::string_view line) const {
    switch (where) {
        case StoreFile::DayRaces:
            return day_file(day_key(line), ".jvRA");
        case StoreFile::DayRunners:
            return day_file(day_key(line), ".jvSEr");
        case StoreFile::DayPayouts:
            return day_file(day_key(line), ".jvHR");
        case StoreFile::HorseRuns:
            return horse_file(field_text(line, se::pedigree));
        case StoreFile::MeetingRaces:
            return meeting_file(field_text(line, header::year), field_text(line, header::month_day),
                                field_text(line, header::course));
    }
    return {};
}

void store_runner_slot(const fs::path& file, std::string_view line) {
    fs::create_directories(file.parent_path());
    std::size_t slot = runner_slot(line);
    std::optional<std::string> content = read_file_if_exists(file);
    if (content && runner_file_is_regular(*content)) {
        // One slot of a regular file is written in place with a single
        // write: it lands whole or not at all, and the import avoids
        // creating and deleting a 120 KB file for every runner.
        write_in_place(file, slot * kRunnerRecordSize, line);
    } else {
        replace_file(file, rebuilt_runner_file(content.value_or(""), slot, line));
    }
}

void store_keyed_line(const fs::path& file, std::string_view line, bool drop_blank_first) {
    std::string stored = with_zeroed_stamp(line);
    fs::create_directories(file.parent_path());
    std::vector<std::string> lines = load_lines(file);
    merge_line(lines, stored, drop_blank_first);
    replace_file(file, join_lines(lines));
}

StoreOutcome DataStore::store(StoreFile where, std::string_view record) const {
    if (auto problem = store_problem(where, record)) return *problem;
    std::string_view line = without_line_break(record);
    fs::path file = file_for(where, line);
    if (where == StoreFile::DayRunners) {
        store_runner_slot(file, line);
    } else {
        store_keyed_line(file, line, where == StoreFile::DayRaces);
    }
    return StoreOutcome{StoreOutcome::Status::Stored, file, {}};
}

std::optional<std::vector<std::string>> DataStore::read_records(const fs::path& file,
                                                                RecordKind kind) {
    auto content = read_store_bytes(file);
    if (!content) return std::nullopt;
    return parse_store_records(*content, kind, file);
}

}  // namespace tolven
