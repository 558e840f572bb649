#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "model/race_day.hpp"
#include "prediction/bet_builder.hpp"

// The texts of the analysis windows' grids and graphs, composed from the race
// day, so that the windows only lay them out and paint them. Texts are CP932.
namespace tolven {

// Bracket colours of every runner grid (RGB): 1 white, 2 grey, 3 red, 4 blue,
// 5 yellow, 6 green, 7 orange, 8 magenta; 0 for anything else.
unsigned bracket_colour(int bracket);
// The colour of the text on a bracket cell (RGB): white on grey, red, blue and
// magenta, black on white, yellow, green and orange, whichever reads better.
unsigned bracket_text_colour(int bracket);

// The computer page of the prediction window: bracket, horse number, mark,
// name, composite rank "%2d", composite score "%7.3f".
std::vector<std::array<std::string, 6>> computer_prediction_rows(const RaceDay& day, int n);

// A bet list as the prediction window lists it: all nine slots in order, each
// prefixed by two blanks. The bracket list is shown only where bracket
// quinella tickets are sold (RaceDay::bracket_quinella_sold).
std::vector<std::string> bet_list_lines(const BetList& bets);
// The filled slots only, as the user page lists them.
std::vector<std::string> filled_bet_list_lines(const BetList& bets);

// The calculation table: running-time page (12 columns) and three-furlong
// page (10 columns); figures only when above 0, ranks only when above 0.
std::vector<std::array<std::string, 12>> calc_time_rows(const RaceDay& day, int n);
std::vector<std::array<std::string, 10>> calc_f3_rows(const RaceDay& day, int n);
// Their column headings, short enough for the columns: "枠", "番", "馬名",
// "前5走" .. "前1走", "平均", "順位" (and "推移", "順位" on the time page).
std::array<std::string, 12> calc_time_headings();
std::array<std::string, 10> calc_f3_headings();

// The headings over the fund allocation grid's 13 columns, and the legend
// under it that says what its upper and lower rows of a race hold.
std::array<std::string, 13> allocation_headings();
std::string allocation_legend();

// The race contents window: its title line ("%2dR　" and the race name) and
// its rows (age from the record's age field).
std::string contents_title(const RaceDay& day, int n);
std::vector<std::array<std::string, 8>> contents_rows(const RaceDay& day, int n);

// The time graphs.
struct GraphPoint {
    double value = 0;
    std::string label;
    unsigned colour = 0;
};
// The composite score of a runner without any usable past run: both
// abilities at their default of 90, trend 98.
inline constexpr double kNoHistoryComposite = 278;

// One runner in the order of the ability graphs. Its key is "%7.3f-%2d" of
// score and horse number ("0000000-%2d" for a score of 0); the runners are
// sorted by key, largest first, so equal scores put the higher number first.
struct AbilityOrderEntry {
    std::string key;

    // The bar's value: the first seven characters read as a number.
    double value() const;
    // The bar's label: characters 9-10, the horse number.
    std::string label() const;
    // The score prints as kNoHistoryComposite exactly ("278.000"): the
    // graph window greys the bar.
    bool without_history() const;
    // The score prints with the whole part of kNoHistoryComposite ("278"
    // first): the printed graph leaves the bar hollow.
    bool near_no_history() const;
};
std::vector<AbilityOrderEntry> ability_order(const RaceDay& day, int n);
// Page 1: the runners by composite score, best first.
std::vector<GraphPoint> ability_order_bars(const RaceDay& day, int n);
// Page 2: composite score by horse number.
std::vector<GraphPoint> composite_bars(const RaceDay& day, int n);
// Page 3: one runner's past runs 1..5: time line, three-furlong line and the
// finishing-position points.
struct RunnerTrend {
    std::vector<GraphPoint> time;
    std::vector<GraphPoint> f3;
    std::vector<GraphPoint> position;
};
RunnerTrend runner_trend(const RaceDay& day, int n, int r);
// Page 4: all runners for past run `run` (1..5) or their averages (run 0).
struct ComparisonBars {
    std::vector<GraphPoint> time;
    std::vector<GraphPoint> f3;
};
ComparisonBars comparison_bars(const RaceDay& day, int n, int run);

// A number in the graphs' axis format "#,##0.0": one decimal, thousands
// separated by ",".
std::string axis_number(double value);
// The points of a graph as one line of text, for those who cannot see the
// graph: each point's label followed by label_suffix, a blank and its value
// in the axis format, separated by "、" (CP932).
std::string graph_values_text(const std::vector<GraphPoint>& points, std::string_view label_suffix);
// The finishing positions of page 3 as text: "前1走 10着、前2走 なし、…".
std::string positions_text(const RunnerTrend& trend);

inline constexpr unsigned kRed = 0xFF0000, kGreenDark = 0x008000, kLime = 0x00FF00,
                          kMagenta = 0xFF00FF, kYellow = 0xFFFF00, kGrey = 0x808080;

}  // namespace tolven
