#pragma once

#include <string>
#include <string_view>

#include "layouts/page_canvas.hpp"
#include "model/race_day.hpp"
#include "money/fund_allocation.hpp"

// The printouts, each drawn onto a page canvas in tenths of a millimetre.
namespace tolven {

// "YYYY年MM月DD日(曜)場名KK回NN回" from the first race (CP932).
std::string print_date_line(const RaceDay& day);
// The label, then for each of the nine slots two blanks and its text.
std::string print_bet_line(std::string_view label_cp932, const BetList& bets);
// The short track text of the bet list.
std::string short_track_text(int track_code);

// The bet list of the whole day; its preview caption.
void draw_bet_list(const RaceDay& day, PageCanvas& canvas);
std::string bet_list_caption();

// The analysis sheet of race k (1-based); its preview caption.
void draw_analysis_sheet(const RaceDay& day, int k, PageCanvas& canvas);
// The sheet's four parts, top to bottom, as draw_analysis_sheet draws them
// in turn; each leaves the font it ends with for the next. k is the race
// number 1..12, n its slot k - 1.
void draw_sheet_heading(const RaceDay& day, int k, PageCanvas& canvas);
void draw_sheet_runner_table(const RaceDay& day, int n, PageCanvas& canvas);
void draw_sheet_bets(const RaceDay& day, int n, PageCanvas& canvas);
void draw_sheet_ability_graph(const RaceDay& day, int n, PageCanvas& canvas);
std::string analysis_sheet_caption();

// The fund allocation table; day_name is the list entry (CP932).
void draw_allocation(const RaceDay& day, const FundAllocation& money, std::string_view day_name,
                     PageCanvas& canvas);
std::string allocation_caption();

}  // namespace tolven
