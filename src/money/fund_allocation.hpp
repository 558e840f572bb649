#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/race_day.hpp"

namespace tolven {

inline constexpr int kAllocationColumns = 13;

// Stake unit rounding: whole hundreds of yen, never below 100.
int stake_unit(int yen);

// The confidence grade ("勝負度") of a race; None for a race without one.
enum class ConfidenceGrade { None, I, II, III, IV, V, VI };
inline constexpr ConfidenceGrade kConfidenceGrades[] = {
    ConfidenceGrade::I,  ConfidenceGrade::II, ConfidenceGrade::III,
    ConfidenceGrade::IV, ConfidenceGrade::V,  ConfidenceGrade::VI};
// "Ⅰ".."Ⅵ" (CP932); "" for None.
std::string confidence_grade_text(ConfidenceGrade grade);

// The confidence grade of race n.
ConfidenceGrade confidence_grade(const RaceDay& day, int n);

// The stakes of a graded race with r bets and an investment of m yen, one
// per bet in bet order; none for a race without a grade.
std::vector<int> stakes_for(ConfidenceGrade grade, int r, long long m);

// One investment field of the investment dialog: armed (white, enabled) or
// disarmed (grey, disabled, empty), with the text typed.
struct InvestmentField {
    bool armed = false;
    std::string text;
};

// One race of the fund allocation as values: its grade and bets, and what
// the stake split made of its investment field.
struct RaceStake {
    int race = 0;  // race number 1..12
    ConfidenceGrade grade = ConfidenceGrade::None;
    BetList bets;  // the computer quinella bets
    // Set when the field held an investment of 100 or more and it was split
    // over the bets; the figures below are 0 and empty otherwise.
    bool split = false;
    int investment = 0;       // the amount split, at most 9999999
    int bet_count = 0;        // the filled bet slots
    std::vector<int> stakes;  // one per bet for a graded race
    int total = 0;            // the sum of the stakes
};

// The 13-column grid of the allocation window and printout, made from the
// races: row 0 is the empty header; race i (1-based) has its upper row 2i-1
// ("%2dR", grade, -, nine bets, "N点") and lower row 2i (-, -, investment
// "%7d", nine stakes "%7d", total "%7d"). Cell texts are CP932.
using AllocationRow = std::array<std::string, kAllocationColumns>;
std::vector<AllocationRow> allocation_grid(const std::vector<RaceStake>& races);

// The fund allocation table of the loaded day: a confidence grade per race,
// the race's computer quinella bets, an investment per race, and the stakes
// split over the bets by grade.
class FundAllocation {
  public:
    // Rebuilds the races from the day, arms the field of every graded race
    // with "10000", and runs the stake split.
    void recompute(RaceDay& day);
    // The stake split of the investment fields as they stand (the OK of the
    // investment dialog). The investments live only in this table: the
    // split changes nothing the day's user file holds.
    void split(RaceDay& day);

    std::array<InvestmentField, kMaxRaces>& fields() { return fields_; }
    const std::array<InvestmentField, kMaxRaces>& fields() const { return fields_; }

    // Counts the recomputations: the investment dialog shows the fields as
    // a recomputation armed them, and keeps what was typed in between.
    int recomputations() const { return recomputations_; }

    int races() const { return static_cast<int>(races_.size()); }
    // Race i (1-based).
    const RaceStake& race(int i) const { return races_[static_cast<std::size_t>(i - 1)]; }
    // The grid the window shows and the printout draws (allocation_grid of
    // the races as they stand).
    const std::vector<AllocationRow>& grid() const { return grid_; }
    const std::string& cell(int row, int column) const {
        return grid_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }
    bool graded(int i) const { return race(i).grade != ConfidenceGrade::None; }
    // Race i's figures (1-based): the armed field's investment, bet count,
    // stakes, total.
    int investment(int i) const;
    int bet_count(int i) const { return race(i).bet_count; }
    const std::vector<int>& stakes(int i) const { return race(i).stakes; }
    int race_total(int i) const { return race(i).total; }

    int total_bets() const { return total_bets_; }
    int total_stake() const { return total_stake_; }
    // "%5d点" and "%7d" as the displays below the grid show them ("" before
    // the first split).
    const std::string& total_bets_text() const { return total_bets_text_; }
    const std::string& total_stake_text() const { return total_stake_text_; }

  private:
    int recomputations_ = 0;
    std::vector<RaceStake> races_;
    std::vector<AllocationRow> grid_;
    std::array<InvestmentField, kMaxRaces> fields_{};
    int total_bets_ = 0;
    int total_stake_ = 0;
    std::string total_bets_text_;
    std::string total_stake_text_;
};

}  // namespace tolven
