#include "prediction/user_prediction.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "model/user_file.hpp"
#include "prediction/bet_builder.hpp"
#include "store/code_tables.hpp"
#include "store/store_reader.hpp"

namespace tolven {
namespace {

// The check item of a grid column, or nullptr for any other column.
const CheckItem* item_at(int column) {
    for (const auto& item : check_items()) {
        if (item.column == column) return &item;
    }
    return nullptr;
}

}  // namespace

const std::array<CheckItem, 9>& check_items() {
    static const std::array<CheckItem, 9> items = {{
        {3, "厩◎", 15, user_tick_field(0)},
        {4, "厩○", 12, user_tick_field(1)},
        {6, "パ◎", 5, user_tick_field(2)},
        {7, "パ×", -10, user_tick_field(3)},
        {9, "重◎", 15, user_tick_field(4)},
        {10, "重×", -10, user_tick_field(5)},
        {12, "本命", 15, user_tick_field(6)},
        {13, "対抗", 12, user_tick_field(7)},
        {14, "穴", 8, user_tick_field(8)},
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
                                      ? day.user_lines[user_runner_line(n, row)]
                                      : std::string();
        for (const auto& item : check_items()) {
            cells[static_cast<std::size_t>(item.column)] = user_field(line, item.tick);
        }
        cells[15] = user_field(line, kUserRankField);
        cells[16] = user_field(line, kUserScoreField);
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
        std::array<std::string, kUserTicks> ticks;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            ticks[i] = cells[static_cast<std::size_t>(check_items()[i].column)];
        }
        day.user_lines[user_runner_line(n, row)] =
            user_runner_text(cells[0], cells[1], ticks, rank, score);
    }
}

void toggle_check_item(RaceDay& day, int n, int row, int column) {
    if (day.user_lines.size() != kUserFileLines) return;
    int runners = day.runners(n);
    const CheckItem* item = item_at(column);
    if (row >= 1 && row <= runners && item != nullptr) {
        std::string& line = day.user_lines[user_runner_line(n, row)];
        std::size_t at = static_cast<std::size_t>(item->tick.position - 1);
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

void save_user_file(RaceDay& day, int n) {
    if (day.user_lines.size() != kUserFileLines || day.user_file.empty()) return;
    write_user_bets(day.user_lines, n, day.bets[n]);
    auto take_bets = [&](int race) {
        RaceBets& bets = day.bets[race];
        bets.user_quinella = {};
        bets.user_bracket = {};
        read_user_bets(day.user_lines, race, bets);
    };
    UserFileSave saved;
    try {
        saved = save_user_lines(day.user_file, day.user_lines, day.user_file_bytes);
    } catch (const UserFileConflict&) {
        // The other program's save stands: the day takes the file as it is
        // now and the change that met it is dropped (the message says so),
        // so that the next save or day switch is not refused again.
        day.user_file_bytes = read_store_bytes(day.user_file);
        day.user_lines =
            day.user_file_bytes ? user_lines_from(*day.user_file_bytes) : user_file_skeleton();
        for (int race = 0; race < kMaxRaces; ++race) take_bets(race);
        day.user_changed = false;
        throw;
    }
    day.user_lines = std::move(saved.lines);
    day.user_file_bytes = std::move(saved.bytes);
    // Races another program saved meanwhile come in with their bets.
    for (int race : saved.races_taken) take_bets(race);
    day.user_changed = false;
}

}  // namespace tolven
