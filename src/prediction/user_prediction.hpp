#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/race_day.hpp"
#include "model/user_file.hpp"

namespace tolven {

inline constexpr int kUserGridColumns = 17;

// The check items: grid column, title (UTF-8), points when ticked, and the
// tick's place in a runner line of the user file.
struct CheckItem {
    int column;
    const char* title;
    int points;
    UserField tick;
};
const std::array<CheckItem, 9>& check_items();

// Column titles of the user grid (UTF-8; "" for the separators).
const std::array<const char*, kUserGridColumns>& user_grid_titles();

// One runner row of the user grid (CP932 cell texts): bracket, horse number,
// name, the nine ticks ("1"/"0") at columns 3, 4, 6, 7, 9, 10, 12, 13, 14,
// separators empty, rank "%2d" and score "%7.3f" as the user file holds them.
using UserGridRow = std::array<std::string, kUserGridColumns>;

// The runner rows of race n (0-based), read from the day's user lines.
std::vector<UserGridRow> user_grid(const RaceDay& day, int n);

// Computes the user scores and ranks of race n from its ticks and writes the
// runner lines of the user file.
void compute_user_prediction(RaceDay& day, int n);

// A click on the user grid of race n at runner row `row` (1..runners) and
// `column`: a tick column flips between "0" and "1", anything else stays;
// then the race is computed, its user bets rebuilt, and the user file saved
// (the changed flag is set; the save clears it).
void toggle_check_item(RaceDay& day, int n, int row, int column);

// Writes race n's bet lines into the user lines and saves them to the user
// file (save_user_lines): only when something changed since the file was
// read, merged race by race with what another program saved meanwhile.
// When both changed one race, nothing is written, the day takes the file as
// it stands and UserFileConflict says so. Clears the changed flag.
void save_user_file(RaceDay& day, int n);

}  // namespace tolven
