#include "fuzz_support.hpp"

#include <algorithm>
#include <stdlib.h>

#include "model/race_day.hpp"
#include "store/atomic_file.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"

namespace fs = std::filesystem;

namespace tolven::fuzz {
namespace {

std::vector<std::string> entries_of(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> crlf_lines(const fs::path& file, std::string_view content) {
    check_crlf_text(file, content);
    std::vector<std::string> lines;
    while (!content.empty()) {
        std::size_t end = content.find("\r\n");
        lines.emplace_back(content.substr(0, end));
        content.remove_prefix(end + 2);
    }
    return lines;
}

// Every line a record of the kind with key fields the store files by.
void check_records(const fs::path& file, const std::vector<std::string>& lines, RecordKind kind,
                   bool blank_slots, bool pedigree) {
    for (const auto& line : lines) {
        if (line.size() != record_size(kind) - 2)
            finding("a line of the wrong length in " + file.string());
        if (blank_slots && line == std::string(line.size(), ' ')) continue;
        if (record_kind(line) != kind) finding("a record of another kind in " + file.string());
        if (auto problem = path_key_problem(line, pedigree)) {
            finding("a record with key fields no file may be named by in " + file.string() + ": " +
                    cp932::to_utf8(*problem));
        }
    }
}

void check_file(const fs::path& base, const fs::path& file) {
    fs::path relative = fs::relative(file, base);
    std::string area = relative.begin()->string();
    std::string name = file.filename().string();
    std::string extension = file.extension().string();
    std::string stem = file.stem().string();
    std::string content = read_file(file);
    if (name.rfind('.', 0) == 0) finding("a temporary file left behind: " + file.string());

    if (area == "Data" && relative.parent_path() == "Data") {
        if (auto problem = day_entry_problem(cp932::from_utf8(stem))) {
            finding("a day file not named by a day key: " + file.string());
        }
        std::vector<std::string> lines = crlf_lines(file, content);
        if (extension == ".jvRA") return check_records(file, lines, RecordKind::Race, false, false);
        if (extension == ".jvHR")
            return check_records(file, lines, RecordKind::Payout, false, false);
        if (extension == ".jvSEr") {
            if (lines.size() != static_cast<std::size_t>(kRunnerSlots)) {
                finding("a runner file without 216 slots: " + file.string());
            }
            return check_records(file, lines, RecordKind::Runner, true, false);
        }
        if (extension == ".User") {
            if (lines.size() != static_cast<std::size_t>(kUserFileLines)) {
                finding("a user file without 300 lines: " + file.string());
            }
            return;
        }
    }
    std::string folder = relative.parent_path().filename().string();
    if (area == "SEI" && extension == ".jvSEI" && relative.parent_path().parent_path() == "SEI" &&
        digits(folder) && folder.size() == 4 && pedigree_names_a_file(stem) &&
        stem.substr(0, 4) == folder) {
        return check_records(file, crlf_lines(file, content), RecordKind::Runner, false, true);
    }
    if (area == "SEIR" && extension == ".jvSERA" &&
        relative.parent_path().parent_path() == "SEIR" && digits(folder) && folder.size() == 4 &&
        stem.size() == 10 && digits(stem.substr(0, 8)) && stem.substr(0, 4) == folder) {
        return check_records(file, crlf_lines(file, content), RecordKind::Race, false, false);
    }
    if (area == "HPupload" && relative.parent_path() == "HPupload" &&
        (name == "Vevezaza.txt" || (name.rfind("TK", 0) == 0 && extension == ".txt"))) {
        crlf_lines(file, content);
        return;
    }
    finding("a file the program does not write: " + file.string());
}

}  // namespace

ScratchBase::ScratchBase() {
    fs::path temporary =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (temporary / "tolven-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) finding("cannot create a scratch folder");
    outer_ = pattern;
    base_ = outer_ / "base";
    root_entries_ = entries_of("/");
    reset();
}

ScratchBase::~ScratchBase() {
    std::error_code ignored;
    fs::remove_all(outer_, ignored);
}

void ScratchBase::reset() const {
    fs::remove_all(base_);
    DataStore(base_).create_folders();
}

void ScratchBase::check_nothing_outside() const {
    if (entries_of(outer_) != std::vector<std::string>{"base"}) {
        finding("a file was written beside the base folder " + base_.string());
    }
    if (entries_of("/") != root_entries_) finding("a file was written in /");
}

void check_written_files(const fs::path& base, const std::set<fs::path>& inputs) {
    for (const auto& e : fs::recursive_directory_iterator(base)) {
        if (e.is_regular_file() && !inputs.count(e.path())) check_file(base, e.path());
    }
}

void check_crlf_text(const fs::path& file, std::string_view content) {
    if (content.empty()) return;
    if (content.size() < 2 || content.substr(content.size() - 2) != "\r\n") {
        finding("text not ended by CR LF: " + file.string());
    }
    for (std::size_t i = 0; i < content.size(); ++i) {
        bool crlf = content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n';
        if (crlf) {
            ++i;
        } else if (content[i] == '\r' || content[i] == '\n') {
            finding("a line break that is not CR LF in " + file.string() + " at byte " +
                    std::to_string(i));
        }
    }
}

std::vector<std::string_view> split_parts(std::string_view input, std::string_view marker,
                                          std::size_t max_parts) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < max_parts) {
        std::size_t at = input.find(marker);
        if (at == std::string_view::npos) break;
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + marker.size());
    }
    parts.push_back(input);
    return parts;
}

}  // namespace tolven::fuzz
