#include "prediction/hit_lines.hpp"

#include <cstdio>

#include "prediction/hit_check.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

// How the hit list shows the hits of one kind of bet.
struct BetType {
    const char* label;  // UTF-8
    int longshot_threshold;
    int style_threshold;
};

const BetType& bet_type(BetKind kind) {
    static constexpr BetType kQuinella{"R[馬連　]：　", 5000, 10000};
    static constexpr BetType kWide{"R[ワイド]：　", 3000, 5000};
    static constexpr BetType kBracket{"R[枠連　]：　", 3000, 5000};
    switch (kind) {
        case BetKind::Quinella:
            return kQuinella;
        case BetKind::Bracket:
            return kBracket;
        case BetKind::Wide:
            break;
    }
    return kWide;
}

class Collector {
  public:
    Collector(bool longshot, DayHits& hits) : longshot_(longshot), hits_(hits) {}

    // Checks one bet of the race against every entry of a payout group and
    // lists the hits above the threshold.
    void check(const RaceDay& day, int n, const Bet& bet, BetKind kind) {
        if (bet.empty()) return;  // an empty slot is no bet
        const BetType& type = bet_type(kind);
        int threshold = longshot_ ? type.longshot_threshold : 0;
        // Only the quinella needs both numbers above 0.
        for (int amount : hit_amounts(day.payout[n], payout_group(kind), bet,
                                      kind == BetKind::Quinella)) {
            if (amount <= threshold) continue;
            add(day, n, type, Bet{bet.first, bet.second, {}}, amount);
        }
    }

  private:
    void add(const RaceDay& day, int n, const BetType& type, const Bet& hit, int amount) {
        const std::string& ra = day.race[n];
        bool red = amount >= type.style_threshold;
        char pay[64];
        std::snprintf(pay, sizeof pay, " %7d", amount);
        std::string bet = bet_text(hit) + "/" + sj("配当") + pay + sj("円");
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
        for (const Bet& bet : b.computer_quinella) collect.check(day, n, bet, BetKind::Quinella);
        for (const Bet& bet : b.computer_quinella) collect.check(day, n, bet, BetKind::Wide);
        for (const Bet& bet : b.computer_bracket) collect.check(day, n, bet, BetKind::Bracket);
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
