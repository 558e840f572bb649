#include "model/user_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "model/race_day.hpp"
#include "store/atomic_file.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"
#include "store/store_reader.hpp"

namespace tolven {

std::string user_field(const std::string& line, UserField field) {
    std::size_t at = static_cast<std::size_t>(field.position - 1);
    return at < line.size() ? line.substr(at, static_cast<std::size_t>(field.width))
                            : std::string();
}

std::string user_runner_text(std::string_view bracket, std::string_view horse,
                             const std::array<std::string, kUserTicks>& ticks,
                             std::string_view rank, std::string_view score) {
    std::string line = " " + std::string(bracket) + "|" + std::string(horse) + "|";
    for (const auto& tick : ticks) line += tick + "|";
    line += std::string(rank) + "|" + std::string(score) + "|";
    return line;
}

std::string user_bet_line(const BetList& bets) {
    std::string line;
    for (const Bet& bet : bets) line += "  " + bet_text(bet);
    return line;
}

void read_user_bets(const std::vector<std::string>& lines, int n, RaceBets& bets) {
    auto read = [&](std::size_t index, BetList& list) {
        const std::string& line = lines[index];
        if (trim(line).empty()) return;
        for (int k = 0; k < kBetSlots; ++k) {
            list[static_cast<std::size_t>(k)] = bet_from_text(user_field(line, user_bet_field(k)));
        }
    };
    read(user_quinella_line(n), bets.user_quinella);
    read(user_bracket_line(n), bets.user_bracket);
}

void write_user_bets(std::vector<std::string>& lines, int n, const RaceBets& bets) {
    lines[user_quinella_line(n)] = user_bet_line(bets.user_quinella);
    lines[user_bracket_line(n)] = user_bet_line(bets.user_bracket);
}

std::vector<std::string> user_file_skeleton() {
    const std::string rule(79, '-');
    std::array<std::string, kUserTicks> unticked;
    unticked.fill("0");
    std::vector<std::string> lines;
    lines.reserve(kUserFileLines);
    for (int n = 0; n < kMaxRaces; ++n) {
        char title[32];
        std::snprintf(title, sizeof title, "%2d", n + 1);
        lines.push_back(rule);
        lines.push_back(sj("【") + title + sj("R】"));
        lines.push_back(rule);
        for (int row = 1; row <= kMaxRunners; ++row) {
            char horse[16];
            std::snprintf(horse, sizeof horse, "%2d", row);
            lines.push_back(user_runner_text(" ", horse, unticked, "  ", "  0.000"));
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
        std::size_t end = find_line_break(content);
        lines.emplace_back(content.substr(0, end));
        if (end == std::string_view::npos) break;
        std::size_t next = end + 1;
        if (content[end] == '\r' && next < content.size() && content[next] == '\n') ++next;
        content.remove_prefix(next);
    }
    return lines;
}

}  // namespace

std::vector<std::string> user_lines_from(std::string_view content) {
    std::vector<std::string> lines = text_lines(content);
    if (lines.size() < static_cast<std::size_t>(kUserFileLines)) {
        std::vector<std::string> skeleton = user_file_skeleton();
        lines.insert(lines.end(), skeleton.begin() + static_cast<std::ptrdiff_t>(lines.size()),
                     skeleton.end());
    }
    lines.resize(kUserFileLines);
    return lines;
}

std::vector<std::string> read_user_file(const std::filesystem::path& file) {
    auto content = read_store_bytes(file);
    if (!content) throw_file_error("開けません", file, ENOENT);
    return user_lines_from(*content);
}

void write_user_file(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    replace_file(file, join_lines(lines));
}

namespace {

bool same_block(const std::vector<std::string>& a, const std::vector<std::string>& b, int n) {
    auto from = static_cast<std::ptrdiff_t>(n * kUserBlockLines);
    return std::equal(a.begin() + from, a.begin() + from + kUserBlockLines, b.begin() + from);
}

}  // namespace

UserFileSave save_user_lines(const std::filesystem::path& file,
                             const std::vector<std::string>& lines,
                             const std::optional<std::string>& read_bytes) {
    std::vector<std::string> read_lines =
        read_bytes ? user_lines_from(*read_bytes) : user_file_skeleton();
    if (lines == read_lines) return UserFileSave{lines, read_bytes, {}, false};

    FolderLock lock(file.parent_path());
    std::optional<std::string> disk = read_store_bytes(file);
    UserFileSave save{lines, {}, {}, true};
    if (disk != read_bytes) {
        std::vector<std::string> theirs = disk ? user_lines_from(*disk) : user_file_skeleton();
        for (int n = 0; n < kMaxRaces; ++n) {
            bool mine = !same_block(lines, read_lines, n);
            bool other = !same_block(theirs, read_lines, n);
            if (mine && other && !same_block(lines, theirs, n)) {
                throw UserFileConflict("予想ファイル " + file.string() + " の" +
                                       std::to_string(n + 1) +
                                       "Rは他のプログラムで変更されていたため、この変更は"
                                       "保存していません。保存されている予想を表示します。");
            }
            if (!mine && other) {
                auto from = static_cast<std::ptrdiff_t>(n * kUserBlockLines);
                std::copy(theirs.begin() + from, theirs.begin() + from + kUserBlockLines,
                          save.lines.begin() + from);
                save.races_taken.push_back(n);
            }
        }
    }
    save.bytes = join_lines(save.lines);
    replace_file(file, *save.bytes);
    return save;
}

}  // namespace tolven
