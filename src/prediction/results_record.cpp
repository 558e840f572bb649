#include "prediction/results_record.hpp"

#include <cstdio>
#include <optional>

#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

// A payout is hit when one of the bets names its pair exactly.
bool in_list(const BetList& bets, std::string_view combination) {
    std::optional<Bet> paid = combination_bet(combination);
    if (!paid) return false;
    for (const Bet& b : bets) {
        if (b.names(paid->first, paid->second)) return true;
    }
    return false;
}

void payout_lines(const RaceDay& day, int n, const PayoutGroup& group, const BetList& bets,
                  bool hits_only, std::vector<std::string>& lines) {
    const std::string& hr = day.payout[n];
    if (day.race_number(n) <= 0) return;
    for (int k = 0; k < group.entries; ++k) {
        PayoutEntry entry = payout_entry(hr, group, k);
        if (!entry.in_use()) continue;
        std::string combination = combination_text(entry.combination);
        bool hit = in_list(bets, entry.combination);
        if (hits_only && !hit) continue;
        char amount[32];
        std::snprintf(amount, sizeof amount, "%8d", entry.payout);
        lines.push_back(right_aligned_number(field_text(day.race[n], header::race_number)) +
                        sj("R　") + sj(hit ? "的中　" : "　　　") + combination + amount +
                        sj("円　　"));
    }
}

void section(const RaceDay& day, bool user, bool hits_only, std::vector<std::string>& lines) {
    lines.push_back(sj("【馬連】"));
    for (int n = 0; n < kMaxRaces; ++n) {
        const RaceBets& b = day.bets[n];
        payout_lines(day, n, hr::quinella, user ? b.user_quinella : b.computer_quinella, hits_only,
                     lines);
    }
    lines.push_back(std::string(40, '-'));
    lines.push_back(sj("【枠連】"));
    for (int n = 0; n < kMaxRaces; ++n) {
        if (!day.bracket_quinella_sold(n)) continue;
        const RaceBets& b = day.bets[n];
        payout_lines(day, n, hr::bracket_quinella, user ? b.user_bracket : b.computer_bracket,
                     hits_only, lines);
    }
    lines.push_back(std::string(40, '-'));
    lines.push_back(sj("【ﾜｲﾄﾞ】"));
    for (int n = 0; n < kMaxRaces; ++n) {
        const RaceBets& b = day.bets[n];
        payout_lines(day, n, hr::wide, user ? b.user_quinella : b.computer_quinella, hits_only,
                     lines);
    }
}

}  // namespace

std::vector<std::string> results_record(const RaceDay& day, bool hits_only) {
    std::vector<std::string> lines;
    lines.push_back(sj("<< 的中レースリスト >>"));
    const std::string& first = day.race[0];
    std::string_view month_day = field_text(first, header::month_day);
    lines.push_back(std::string(field_text(first, header::year)) + sj("年") +
                    std::string(month_day.substr(0, 2)) + sj("月") +
                    std::string(month_day.substr(std::min<std::size_t>(2, month_day.size()), 2)) +
                    sj("日") + racecourse_name(field_text(first, header::course)) +
                    std::string(field_text(first, header::kai)) + sj("回") +
                    std::string(field_text(first, header::nichi)) + sj("日"));
    lines.emplace_back();
    lines.push_back(sj("※コンピューター予想"));
    lines.push_back(std::string(40, '='));
    section(day, false, hits_only, lines);
    lines.emplace_back();
    lines.push_back(sj("※ユーザー予想"));
    lines.push_back(std::string(40, '='));
    section(day, true, hits_only, lines);
    return lines;
}

}  // namespace tolven
