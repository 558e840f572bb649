#include "prediction/hit_lines.hpp"

#include <cstdio>

#include "prediction/hit_check.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

struct BetType {
    const char* label;  // UTF-8
    int longshot_threshold;
    int style_threshold;
};

constexpr BetType kQuinella{"R[馬連　]：　", 5000, 10000};
constexpr BetType kWide{"R[ワイド]：　", 3000, 5000};
constexpr BetType kBracket{"R[枠連　]：　", 3000, 5000};

class Collector {
  public:
    Collector(bool longshot, DayHits& hits) : longshot_(longshot), hits_(hits) {}

    // Checks one bet of the race against every entry of a payout group and
    // lists the hits above the threshold.
    void check(const RaceDay& day, int n, const std::string& bet, const PayoutGroup& group,
               const BetType& type, bool positive_numbers) {
        if (trim(bet).empty()) return;  // an empty slot is no bet
        int threshold = longshot_ ? type.longshot_threshold : 0;
        for (int amount : hit_amounts(day.payout[n], group, bet, positive_numbers)) {
            if (amount <= threshold) continue;
            BetNumbers numbers = bet_numbers(bet);
            add(day, n, type, numbers.first, numbers.second, amount);
        }
    }

  private:
    void add(const RaceDay& day, int n, const BetType& type, int first, int second, int amount) {
        const std::string& ra = day.race[n];
        bool red = amount >= type.style_threshold;
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "%2d-%2d/", first, second);
        char pay[64];
        std::snprintf(pay, sizeof pay, " %7d", amount);
        std::string bet = std::string(numbers) + sj("配当") + pay + sj("円");
        std::string label = sj(type.label);
        hits_.html.push_back(
            std::string(red ? "<img src=\"./image/lis1.gif\">" : "<img src=\"./image/lis2.gif\">") +
            (red ? "<font color=\"red\">" : "<font color=\"blue\">") +
            racecourse_name(field_text(ra, header::course)) +
            right_aligned_number(field_text(ra, header::race_number)) + label + bet + sj("　") +
            std::string(field_text(ra, ra::short_name)) + "</font>");
        hits_.cumulative.push_back(std::string(field_text(ra, header::year)) +
                                   std::string(field_text(ra, header::month_day)) +
                                   std::string(field_text(ra, header::course)) +
                                   std::string(field_text(ra, header::race_number)) + label + bet);
    }

    bool longshot_;
    DayHits& hits_;
};

}  // namespace

DayHits day_hits(const RaceDay& day, bool longshot) {
    DayHits hits;
    Collector collect(longshot, hits);
    for (int n = 0; n < day.race_count; ++n) {
        const RaceBets& b = day.bets[n];
        for (const auto& bet : b.computer_quinella) {
            collect.check(day, n, bet, hr::quinella, kQuinella, true);
        }
        for (const auto& bet : b.computer_quinella) {
            collect.check(day, n, bet, hr::wide, kWide, false);
        }
        for (const auto& bet : b.computer_bracket) {
            collect.check(day, n, bet, hr::bracket_quinella, kBracket, false);
        }
    }
    return hits;
}

std::string hit_file_key(const RaceDay& day) {
    const std::string& first = day.race[0];
    return std::string(field_text(first, header::year)) +
           std::string(field_text(first, header::month_day)) +
           std::string(field_text(first, header::course));
}

}  // namespace tolven
