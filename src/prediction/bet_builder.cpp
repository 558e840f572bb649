#include "prediction/bet_builder.hpp"

#include <algorithm>
#include <optional>

#include "store/code_tables.hpp"

namespace tolven {
namespace {

class WorkingList {
  public:
    explicit WorkingList(int runners) : runners_(runners) {}

    // The pair of two different horses of the race, or nothing.
    std::optional<Bet> pair(int a, int b) const {
        if (a == b || a < 1 || b < 1 || a > runners_ || b > runners_) return std::nullopt;
        return pair_bet(a, b);
    }
    void append(int a, int b) {
        if (auto p = pair(a, b)) bets_.push_back(*p);
    }
    void append_new(int a, int b) {
        auto p = pair(a, b);
        if (p && std::find(bets_.begin(), bets_.end(), *p) == bets_.end()) bets_.push_back(*p);
    }
    std::vector<Bet>& bets() { return bets_; }

  private:
    int runners_;
    std::vector<Bet> bets_;
};

}  // namespace

int mirror_bracket(int bracket) {
    if (bracket >= 1 && bracket <= 4) return bracket + 4;
    if (bracket >= 5 && bracket <= 8) return bracket - 4;
    return 0;
}

std::vector<Bet> keep_last_occurrences(const std::vector<Bet>& bets) {
    std::vector<Bet> kept;
    for (std::size_t i = 0; i < bets.size(); ++i) {
        bool later = std::find(bets.begin() + static_cast<std::ptrdiff_t>(i) + 1, bets.end(),
                               bets[i]) != bets.end();
        if (!later) kept.push_back(bets[i]);
    }
    return kept;
}

Bet bracket_bet(const Bet& quinella, int runners) {
    return {bracket_number(runners, quinella.first), bracket_number(runners, quinella.second), {}};
}

std::vector<Bet> bet_working_list(const RaceDay& day, int n, BetSet set) {
    const ComputerPrediction& p = day.prediction[n];
    const RaceFigures& f = day.figures[n];
    int runners = day.runners(n);
    int k = std::min(runners, 5);
    const RankArray& rank = set == BetSet::Computer ? f.composite_rank : f.user_rank;
    auto rank_of = [&](int horse) { return horse >= 1 && horse <= kMaxRunners ? rank[horse] : 0; };

    // The ranked horses, best first.
    std::vector<int> ranked;
    for (int position = 1; position <= runners; ++position) {
        for (int h = 1; h <= runners; ++h) {
            if (rank[h] == position) ranked.push_back(h);
        }
    }

    WorkingList list(runners);
    auto flow = [&](int a, int m) {
        for (int j = 0; j < m && j < static_cast<int>(ranked.size()); ++j) {
            list.append(a, ranked[static_cast<std::size_t>(j)]);
        }
    };
    auto mirror = [&](int a) {
        if (a < 1 || a > runners) return;
        int target = mirror_bracket(day.bracket(n, a - 1));
        int found = 0;
        for (int h = 1; h <= runners && found < 3; ++h) {
            if (target != 0 && day.bracket(n, h - 1) == target) {
                list.append_new(a, h);
                ++found;
            }
        }
    };
    auto top_two = [](int r) { return r == 1 || r == 2; };

    if (p.pattern == Pattern::A || p.pattern == Pattern::B) {
        if (!p.axis_is_cross) {
            if (top_two(rank_of(p.triangle)) && !top_two(rank_of(p.chu))) {
                flow(p.triangle, k + 1);
                mirror(p.triangle);
            } else {
                flow(p.chu, set == BetSet::Computer ? k : k + 1);
                mirror(p.chu);
            }
        } else {
            if (top_two(rank_of(p.chu)) && !top_two(rank_of(p.cross))) {
                flow(p.chu, k + 1);
                mirror(p.chu);
            } else {
                flow(p.cross, k + 1);
                mirror(p.cross);
            }
        }
    } else if (p.pattern == Pattern::C) {
        int chu_composite = p.chu >= 1 && p.chu <= kMaxRunners ? f.composite_rank[p.chu] : 0;
        if (top_two(chu_composite)) {
            flow(p.chu, k + 1);
            mirror(p.chu);
        } else {
            // A box of the best six; with fewer ranked horses the pairs that
            // do not exist are left out.
            auto h = [&](std::size_t i) { return i < ranked.size() ? ranked[i] : 0; };
            list.append_new(h(0), h(1));
            list.append_new(h(0), h(2));
            list.append_new(h(1), h(2));
            list.append_new(h(0), h(3));
            list.append_new(h(0), h(4));
            if (ranked.size() > 5) list.append_new(h(0), h(5));
        }
    }
    return list.bets();
}

void build_bets(RaceDay& day, int n, BetSet set) {
    RaceBets& bets = day.bets[n];
    BetList& quinella = set == BetSet::Computer ? bets.computer_quinella : bets.user_quinella;
    BetList& bracket = set == BetSet::Computer ? bets.computer_bracket : bets.user_bracket;
    quinella.fill(Bet{});
    bracket.fill(Bet{});
    std::vector<Bet> working = bet_working_list(day, n, set);
    std::vector<Bet> kept = keep_last_occurrences(working);
    for (std::size_t i = 0; i < kept.size() && i < quinella.size(); ++i) quinella[i] = kept[i];

    int runners = day.runners(n);
    if (day.bracket_quinella_sold(n)) {
        std::vector<Bet> pairs;
        for (const Bet& q : working) pairs.push_back(bracket_bet(q, runners));
        std::vector<Bet> brackets = keep_last_occurrences(pairs);
        for (std::size_t i = 0; i < brackets.size() && i < bracket.size(); ++i) {
            bracket[i] = brackets[i];
        }
    }
}

}  // namespace tolven
