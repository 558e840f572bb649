#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/race_day.hpp"

namespace tolven {

inline constexpr int kAllocationColumns = 13;

// Stake unit rounding: whole hundreds of yen, never below 100.
int stake_unit(int yen);

// The confidence grade ("勝負度") of race n: "Ⅰ".."Ⅵ" (CP932) or "" for none.
std::string confidence_grade(const RaceDay& day, int n);

// One investment field of the investment dialog: armed (white, enabled) or
// disarmed (grey, disabled, empty), with the text typed.
struct InvestmentField {
    bool armed = false;
    std::string text;
};

// The fund allocation table of the loaded day: a confidence grade per race,
// the race's computer quinella bets, an investment per race, and the stakes
// split over the bets by grade. Cell texts are CP932, laid out as the grid
// shows them: row 0 is the empty header; race i (1-based) has its upper row
// 2i-1 and lower row 2i.
class FundAllocation {
  public:
    // Rebuilds the grid from the day, arms the field of every graded race with
    // "10000", and runs the stake split.
    void recompute(RaceDay& day);
    // The stake split of the investment fields as they stand (the OK of the
    // investment dialog).
    void split(RaceDay& day);

    std::array<InvestmentField, kMaxRaces>& fields() { return fields_; }
    const std::array<InvestmentField, kMaxRaces>& fields() const { return fields_; }

    // Counts the recomputations: the investment dialog shows the fields as
    // a recomputation armed them, and keeps what was typed in between.
    int recomputations() const { return recomputations_; }

    int races() const { return races_; }
    const std::vector<std::array<std::string, kAllocationColumns>>& grid() const { return grid_; }
    const std::string& cell(int row, int column) const {
        return grid_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }
    bool graded(int race) const { return !cell(2 * race - 1, 1).empty(); }
    // Race i's figures (1-based): investment, bet count, stakes, total.
    int investment(int race) const;
    int bet_count(int race) const;
    std::vector<int> stakes(int race) const;
    int race_total(int race) const;

    int total_bets() const { return total_bets_; }
    int total_stake() const { return total_stake_; }
    // "%5d点" and "%7d" as the displays below the grid show them ("" before
    // the first split).
    const std::string& total_bets_text() const { return total_bets_text_; }
    const std::string& total_stake_text() const { return total_stake_text_; }

  private:
    std::string& at(int row, int column) {
        return grid_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }

    int races_ = 0;
    int recomputations_ = 0;
    std::vector<std::array<std::string, kAllocationColumns>> grid_;
    std::array<InvestmentField, kMaxRaces> fields_{};
    int total_bets_ = 0;
    int total_stake_ = 0;
    std::string total_bets_text_;
    std::string total_stake_text_;
};

}  // namespace tolven
