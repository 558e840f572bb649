#include "model/user_file.hpp"

#include <cstdio>

#include "model/race_day.hpp"
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

namespace {

// Lines ended by CR LF, LF or a lone CR. A file edited by hand may hold any
// of them, and a CR kept inside a line would be written back as a line break
// that is not CR LF.
std::vector<std::string> text_lines(std::string_view content) {
    std::vector<std::string> lines;
    while (!content.empty()) {
        std::size_t end = content.find_first_of("\r\n");
        lines.emplace_back(content.substr(0, end));
        if (end == std::string_view::npos) break;
        std::size_t next = end + 1;
        if (content[end] == '\r' && next < content.size() && content[next] == '\n') ++next;
        content.remove_prefix(next);
    }
    return lines;
}

}  // namespace

std::vector<std::string> read_user_file(const std::filesystem::path& file) {
    std::vector<std::string> lines = text_lines(read_file(file));
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
