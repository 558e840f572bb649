#include "prediction/user_prediction.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "model/user_file.hpp"
#include "prediction/bet_builder.hpp"
#include "store/code_tables.hpp"

namespace tolven {
namespace {

// 1-based character position of each tick column in a runner line.
int tick_position(int column) {
    switch (column) {
        case 3:
            return 7;
        case 4:
            return 9;
        case 6:
            return 11;
        case 7:
            return 13;
        case 9:
            return 15;
        case 10:
            return 17;
        case 12:
            return 19;
        case 13:
            return 21;
        case 14:
            return 23;
        default:
            return 0;
    }
}

// Characters [from, from+count) of a line (1-based), short lines giving less.
std::string characters(const std::string& line, int from, int count) {
    std::size_t at = static_cast<std::size_t>(from - 1);
    return at < line.size() ? line.substr(at, static_cast<std::size_t>(count)) : std::string();
}

std::size_t runner_line(int n, int row) {
    return static_cast<std::size_t>(25 * n + 2 + row);
}

}  // namespace

const std::array<CheckItem, 9>& check_items() {
    static const std::array<CheckItem, 9> items = {{
        {3, "厩◎", 15},
        {4, "厩○", 12},
        {6, "パ◎", 5},
        {7, "パ×", -10},
        {9, "重◎", 15},
        {10, "重×", -10},
        {12, "本命", 15},
        {13, "対抗", 12},
        {14, "穴", 8},
    }};
    return items;
}

const std::array<const char*, kUserGridColumns>& user_grid_titles() {
    static const std::array<const char*, kUserGridColumns> titles = {
        "枠",  "馬",  "馬名", "厩◎",  "厩○",  "",   "パ◎",  "パ×",   "",
        "重◎", "重×", "",     "本命", "対抗", "穴", "順位", "総得点"};
    return titles;
}

std::vector<UserGridRow> user_grid(const RaceDay& day, int n) {
    std::vector<UserGridRow> rows;
    int runners = day.runners(n);
    for (int row = 1; row <= runners; ++row) {
        int r = row - 1;
        UserGridRow cells;
        cells[0] = std::string(field_text(day.runner[n][r], se::bracket));
        cells[1] = right_aligned_number(field_text(day.runner[n][r], se::horse_number));
        cells[2] = day.horse_name(n, r);
        const std::string& line = day.user_lines.size() == kUserFileLines
                                      ? day.user_lines[runner_line(n, row)]
                                      : std::string();
        for (const auto& item : check_items()) {
            cells[static_cast<std::size_t>(item.column)] =
                characters(line, tick_position(item.column), 1);
        }
        cells[15] = characters(line, 25, 2);
        cells[16] = characters(line, 28, 7);
        rows.push_back(std::move(cells));
    }
    return rows;
}

void compute_user_prediction(RaceDay& day, int n) {
    if (day.user_lines.size() != kUserFileLines) return;
    std::vector<UserGridRow> rows = user_grid(day, n);
    int runners = static_cast<int>(rows.size());
    RaceFigures& f = day.figures[n];
    for (int row = 1; row <= runners; ++row) {
        double points = 0;
        for (const auto& item : check_items()) {
            if (rows[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(item.column)] ==
                "1") {
                points += static_cast<double>(item.points) / runners;
            }
        }
        f.runner[row - 1].user_score = points + f.runner[row - 1].composite;
    }
    // Rank by the score to four decimals, then by row: among equal scores the
    // higher horse number ranks better. Every runner is ranked.
    std::vector<std::pair<double, int>> keys;
    for (int row = 1; row <= runners; ++row) {
        char text[64];
        std::snprintf(text, sizeof text, "%.4f", f.runner[row - 1].user_score);
        keys.emplace_back(std::strtod(text, nullptr), row);
    }
    std::sort(keys.begin(), keys.end());
    f.user_rank = {};
    for (int p = 0; p < runners; ++p)
        f.user_rank[keys[static_cast<std::size_t>(p)].second] = runners - p;

    for (int row = 1; row <= runners; ++row) {
        UserGridRow& cells = rows[static_cast<std::size_t>(row - 1)];
        char rank[32], score[64];
        std::snprintf(rank, sizeof rank, "%2d", f.user_rank[row]);
        std::snprintf(score, sizeof score, "%7.3f", f.runner[row - 1].user_score);
        std::string line = " " + cells[0] + "|" + cells[1] + "|";
        for (const auto& item : check_items()) {
            line += cells[static_cast<std::size_t>(item.column)] + "|";
        }
        line += std::string(rank) + "|" + score + "|";
        day.user_lines[runner_line(n, row)] = line;
    }
}

void toggle_check_item(RaceDay& day, int n, int row, int column) {
    if (day.user_lines.size() != kUserFileLines) return;
    int runners = day.runners(n);
    if (row >= 1 && row <= runners && tick_position(column) > 0) {
        std::string& line = day.user_lines[runner_line(n, row)];
        std::size_t at = static_cast<std::size_t>(tick_position(column) - 1);
        if (at < line.size()) {
            if (line[at] == '0') {
                line[at] = '1';
            } else if (line[at] == '1') {
                line[at] = '0';
            }
        }
    }
    day.user_changed = true;
    compute_user_prediction(day, n);
    build_user_bets(day, n);
    save_user_file(day, n);
}

std::string user_bet_line(const BetList& bets) {
    std::string line;
    for (const Bet& bet : bets) line += "  " + bet_text(bet);
    return line;
}

void save_user_file(RaceDay& day, int n) {
    if (day.user_lines.size() != kUserFileLines || day.user_file.empty()) return;
    day.user_lines[static_cast<std::size_t>(25 * n + 22)] =
        user_bet_line(day.bets[n].user_quinella);
    day.user_lines[static_cast<std::size_t>(25 * n + 24)] = user_bet_line(day.bets[n].user_bracket);
    write_user_file(day.user_file, day.user_lines);
    day.user_changed = false;
}

}  // namespace tolven
