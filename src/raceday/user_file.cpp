#include "raceday/user_file.hpp"

#include <cstdio>

#include "raceday/race_day.hpp"
#include "store/atomic_file.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"

namespace tolven {

std::vector<std::string> user_file_skeleton() {
    const std::string rule(79, '-');
    std::vector<std::string> lines;
    lines.reserve(kUserFileLines);
    for (int n = 0; n < kMaxRaces; ++n) {
        char title[32];
        std::snprintf(title, sizeof title, "%2d", n + 1);
        lines.push_back(rule);
        lines.push_back(sj("【") + title + sj("R】"));
        lines.push_back(rule);
        for (int i = 1; i <= kMaxRunners; ++i) {
            char line[64];
            std::snprintf(line, sizeof line, "  |%2d|0|0|0|0|0|0|0|0|0|  |  0.000|", i);
            lines.emplace_back(line);
        }
        lines.push_back(rule);
        lines.emplace_back();
        lines.push_back(rule);
        lines.emplace_back();
    }
    return lines;
}

std::vector<std::string> read_user_file(const std::filesystem::path& file) {
    std::vector<std::string> lines = split_lines(read_file(file));
    if (lines.size() < static_cast<std::size_t>(kUserFileLines)) {
        std::vector<std::string> skeleton = user_file_skeleton();
        lines.insert(lines.end(), skeleton.begin() + static_cast<std::ptrdiff_t>(lines.size()),
                     skeleton.end());
    }
    lines.resize(kUserFileLines);
    return lines;
}

void write_user_file(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    replace_file(file, join_lines(lines));
}

}  // namespace tolven
