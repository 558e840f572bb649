#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/bet.hpp"
#include "store/record.hpp"

namespace tolven {

inline constexpr int kPastRuns = 5;
inline constexpr int kUserFileLines = 300;

// Values numbered 1..N the way the system speaks of them: horse numbers
// 1..18, past runs 1..5 (1 = the latest earlier run). [k] is number k; there
// is no element 0, so an index is always such a number, never a slot.
template <typename T, int N>
struct Numbered {
    std::array<T, N> values{};

    T& operator[](int number) { return values[static_cast<std::size_t>(number - 1)]; }
    const T& operator[](int number) const {
        return values[static_cast<std::size_t>(number - 1)];
    }
    static constexpr int count() { return N; }
    // The values in number order, 1 first.
    auto begin() const { return values.begin(); }
    auto end() const { return values.end(); }
    friend bool operator==(const Numbered&, const Numbered&) = default;
};

// A figure of each past run 1..5 of a runner.
using PastFigures = Numbered<double, kPastRuns>;

// Figures of one runner.
struct RunnerFigures {
    PastFigures past_time_index{};
    PastFigures past_f3_index{};
    double time_ability = 0;
    double f3_ability = 0;
    double trend = 0;
    double composite = 0;
    double user_score = 0;
};

// Ranks by horse number 1..18; 1 is the best and 0 means not ranked.
using RankArray = Numbered<int, kMaxRunners>;

struct RaceFigures {
    std::array<RunnerFigures, kMaxRunners> runner{};
    RankArray time_rank{};
    RankArray f3_rank{};
    RankArray trend_rank{};
    RankArray composite_rank{};
    RankArray user_rank{};
};

// The pattern of a race's computer prediction; None until it is computed.
enum class Pattern { None, A, B, C };
// "A", "B", "C"; "" for None.
constexpr std::string_view pattern_letter(Pattern pattern) {
    switch (pattern) {
        case Pattern::A:
            return "A";
        case Pattern::B:
            return "B";
        case Pattern::C:
            return "C";
        case Pattern::None:
            break;
    }
    return "";
}

// The computer prediction of one race.
struct ComputerPrediction {
    int runners = 0;   // N
    double size = 0;   // race-size figure X
    double ratio = 0;  // neighbour ratio R
    bool ratio_defined = false;
    float value = 0;                       // race value V (single precision, whole after rounding)
    std::string direction;                 // "+" or "-"
    int cross = 0;                         // × horse
    int down = 0;                          // ↓ horse
    int chu = 0;                           // 注 horse
    int triangle = 0;                      // ▲ horse
    int first = 0, second = 0, third = 0;  // ratio numbers
    Pattern pattern = Pattern::None;
    int axis = 0;                          // 連軸
    bool axis_is_cross = false;            // pattern "A" around the × horse
};

struct RaceBets {
    BetList computer_quinella;
    BetList computer_bracket;
    BetList user_quinella;
    BetList user_bracket;
};

// One race day at one racecourse: the raw records of up to 12 races of up to
// 18 runners, each runner's five latest earlier runs with their races, the
// payouts, and every figure derived from them. The main window owns one and
// every view reads it; loading overwrites it in place.
class RaceDay {
  public:
    RaceDay();

    // The list entry the day was loaded from (the day key, CP932).
    std::string entry;
    // True when the entry's year is 2005 or later.
    bool from_2005 = true;
    // Race slots whose record is present.
    int race_count = 0;

    std::array<std::string, kMaxRaces> race;                             // RA
    std::array<std::array<std::string, kMaxRunners>, kMaxRaces> runner;  // SE
    // [race slot][runner slot][past run 1..5].
    using PastRecords = Numbered<std::string, kPastRuns>;
    std::array<std::array<PastRecords, kMaxRunners>, kMaxRaces> past_run;
    std::array<std::array<PastRecords, kMaxRunners>, kMaxRaces> past_race;
    std::array<std::string, kMaxRaces> payout;  // HR

    std::array<RaceFigures, kMaxRaces> figures;
    std::array<ComputerPrediction, kMaxRaces> prediction;
    std::array<RaceBets, kMaxRaces> bets;

    // The day's user file and its 300 lines (CP932).
    std::filesystem::path user_file;
    std::vector<std::string> user_lines;
    // The user file's bytes when the day was loaded or last saved (nullopt:
    // there was no file): a save writes only what changed since, and takes
    // in what another program changed meanwhile.
    std::optional<std::string> user_file_bytes;
    // Set when the user prediction changed and is not saved yet.
    bool user_changed = false;

    // Clears the computer prediction, its bets and the bet texts ("初期化").
    void reset_predictions();
    // Blanks every record slot and zeroes every derived figure.
    void blank();

    // Typed reads of the fields other parts use. n is the race slot 0..11, r
    // the runner slot 0..17, j the past slot 1..5.
    const std::string& past_run_of(int n, int r, int j) const { return past_run[n][r][j]; }
    const std::string& past_race_of(int n, int r, int j) const { return past_race[n][r][j]; }
    // Runners of race n (RA 881), bounded to the 18 slots a race has.
    int runners(int n) const;
    // Bracket quinella tickets are sold for race n: on every day before 2005,
    // and from 2005 on only in a race of more than eight runners.
    bool bracket_quinella_sold(int n) const { return !from_2005 || runners(n) > 8; }
    int race_number(int n) const { return field_int(race[n], header::race_number); }
    int distance(int n) const { return field_int(race[n], ra::distance); }
    int track(int n) const { return field_int(race[n], ra::track); }
    int bracket(int n, int r) const { return field_int(runner[n][r], se::bracket); }
    int horse_number(int n, int r) const { return field_int(runner[n][r], se::horse_number); }
    // The first 18 bytes of the horse name (cut on a character boundary).
    std::string horse_name(int n, int r) const;
    std::string_view pedigree(int n, int r) const { return field_text(runner[n][r], se::pedigree); }
};

}  // namespace tolven
