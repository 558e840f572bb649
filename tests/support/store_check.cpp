#include "support/store_check.hpp"

#include <algorithm>

#include "platform/utf8_path.hpp"
#include "store/atomic_file.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"
#include "store/record.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven::testing {
namespace {

bool ends_with(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool is_temporary(const std::string& path) {
    std::string name = fs::path(path).filename().string();
    return name.size() > 8 && name.front() == '.' && name[name.size() - 7] == '.';
}

std::size_t line_length(const std::string& path) {
    if (ends_with(path, ".jvRA") || ends_with(path, ".jvSERA")) return kRaceRecordSize - 2;
    if (ends_with(path, ".jvHR")) return kPayoutRecordSize - 2;
    return kRunnerRecordSize - 2;
}

std::string key_of(const std::string& line) {
    return std::string(store_key(line));
}

}  // namespace

StoreFiles read_store(const fs::path& base) {
    StoreFiles files;
    for (const char* area : {"Data", "SEI", "SEIR"}) {
        if (!fs::exists(base / area)) continue;
        for (const auto& e : fs::recursive_directory_iterator(base / area)) {
            if (e.is_regular_file()) {
                files[generic_path_utf8(fs::relative(e.path(), base))] = read_bytes(e.path());
            }
        }
    }
    return files;
}

void write_store(const fs::path& base, const StoreFiles& files) {
    for (const char* area : {"Data", "SEI", "SEIR"}) {
        fs::remove_all(base / area);
        fs::create_directories(base / area);
    }
    for (const auto& [path, bytes] : files) write_bytes(base / utf8_path(path), bytes);
}

std::vector<std::string> temporaries(const StoreFiles& files) {
    std::vector<std::string> found;
    for (const auto& [path, bytes] : files) {
        if (is_temporary(path)) found.push_back(path);
    }
    return found;
}

std::vector<std::string> interrupted_store_problems(const StoreFiles& before,
                                                    const StoreFiles& after,
                                                    const StoreFiles& complete) {
    std::vector<std::string> problems;
    for (const auto& [path, bytes] : after) {
        if (is_temporary(path)) continue;
        // An odd file the run did not touch is not the run's doing.
        if (auto was = before.find(path); was != before.end() && was->second == bytes) continue;
        if (!bytes.empty() && !ends_with(bytes, "\r\n")) problems.push_back(path + ": torn end");
        std::vector<std::string> lines = split_lines(bytes);
        for (const auto& line : lines) {
            if (line.size() != line_length(path)) {
                problems.push_back(path + ": a line of " + std::to_string(line.size()) + " bytes");
                break;
            }
        }
        if (ends_with(path, ".jvSEr") && lines.size() != static_cast<std::size_t>(kRunnerSlots)) {
            problems.push_back(path + ": " + std::to_string(lines.size()) + " slots");
        }
    }
    for (const auto& [path, old_bytes] : before) {
        auto now = after.find(path);
        if (now == after.end()) {
            problems.push_back(path + ": missing");
            continue;
        }
        std::vector<std::string> old_lines = split_lines(old_bytes);
        std::vector<std::string> new_lines = split_lines(now->second);
        auto done = complete.find(path);
        std::vector<std::string> complete_lines =
            done == complete.end() ? std::vector<std::string>{} : split_lines(done->second);
        if (ends_with(path, ".jvSEr")) {
            for (std::size_t slot = 0; slot < old_lines.size() && slot < new_lines.size(); ++slot) {
                const std::string& was = old_lines[slot];
                const std::string& is = new_lines[slot];
                if (is_absent(was) || is == was) continue;
                if (is_absent(is)) {
                    problems.push_back(path + ": slot " + std::to_string(slot) + " emptied");
                } else if (field_text(is, header::created) < field_text(was, header::created)) {
                    problems.push_back(path + ": slot " + std::to_string(slot) + " holds " +
                                       std::string(field_text(is, header::created)) +
                                       ", created before " +
                                       std::string(field_text(was, header::created)));
                }
            }
            continue;
        }
        for (const auto& was : old_lines) {
            // A blank line is no record; the keyed merge drops it.
            if (trim(was).empty()) continue;
            std::string key = key_of(was);
            auto find = [&](const std::vector<std::string>& lines) {
                return std::find_if(lines.begin(), lines.end(),
                                    [&](const std::string& l) { return key_of(l) == key; });
            };
            auto is = find(new_lines);
            if (is == new_lines.end()) {
                problems.push_back(path + ": record " + key + " lost");
                continue;
            }
            auto final_line = find(complete_lines);
            if (*is != was && (final_line == complete_lines.end() || *is != *final_line)) {
                problems.push_back(path + ": record " + key + " neither as before nor as complete");
            }
        }
    }
    return problems;
}

}  // namespace tolven::testing
