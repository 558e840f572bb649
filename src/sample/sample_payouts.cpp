#include "sample/sample_payouts.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "sample/sample_market.hpp"

namespace tolven::sample {

namespace {

// How much each pool's public differs from the others' on a combination (a
// quinella and the same bracket quinella do not pay alike).
constexpr double kPoolSpread = 0.1;
// Combinations the public gives less than this part of an even chance it
// backs as if they had that much: the longest odds stay within reason, as
// in a real pool, where a runner with next to no chance still pays some
// hundreds to one, not millions.
constexpr double kLongShot = 0.3;
// What a ticket bought at random is worth in every pool, as a part of its
// stake, before the cut to 10 yen: JRA's pools give back 77.5 % (pairs) to
// 80 % (win and place); each pool's own noise adds about a point and a half
// to a random ticket, so that it returns about 77.5 % as paid.
constexpr double kRandomTicketWorth = 0.76;

std::string pair_digits(int x, int y) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d", x, y);
    return text;
}

// The public's view of a field, by horse number - 1: each runner's strength,
// off by the part of its error the public keeps.
std::vector<double> public_view(const std::vector<Runner>& runners) {
    std::vector<double> view;
    for (const Runner& r : runners) {
        view.push_back(r.strength + (r.expected - r.strength) * kPublicError);
    }
    return view;
}

// The market's chances of a field's results: each runner runs to the
// public's view of it with the day's error, widened by the error of the view.
FieldChances market_chances(const std::vector<Runner>& runners) {
    return FieldChances(public_view(runners), std::hypot(kFormSpread, kMarketError * kPublicError));
}

// The combinations the result pays, in horse-number order.
struct PayingPairs {
    std::vector<std::pair<int, int>> quinella;  // two of the first two home
    std::vector<std::pair<int, int>> wide;      // two of the first three
    std::set<std::pair<int, int>> brackets;     // the brackets of the quinella pairs
};

// Two sharing second place make no quinella, two sharing third no wide.
PayingPairs paying_pairs(const std::vector<Runner>& runners) {
    PayingPairs pairs;
    for (const Runner& a : runners) {
        for (const Runner& b : runners) {
            if (a.number >= b.number) continue;
            if (a.position <= 2 && b.position <= 2 && !(a.position == 2 && b.position == 2)) {
                pairs.quinella.emplace_back(a.number, b.number);
                pairs.brackets.emplace(std::min(a.bracket, b.bracket),
                                       std::max(a.bracket, b.bracket));
            }
            if (a.position <= 3 && b.position <= 3 && !(a.position == 3 && b.position == 3)) {
                pairs.wide.emplace_back(a.number, b.number);
            }
        }
    }
    return pairs;
}

// The results of a race's pools by the index of the combinations they pay,
// with their chances: win (horses), place (the first three, or two in a
// small field), bracket quinella (in the order of bracket_keys), quinella
// and wide (pairs a < b in order).
struct PoolResults {
    std::vector<PayingSet> win, place, bracket, quinella, wide;
    std::vector<std::pair<int, int>> bracket_keys;
};

PoolResults pool_results(const FieldChances& f, const std::map<int, std::vector<int>>& brackets) {
    PoolResults out;
    const int n = f.size();
    auto pair_index = [n](int a, int b) { return (a - 1) * (2 * n - a) / 2 + (b - a - 1); };
    for (int a = 1; a <= n; ++a) {
        out.win.push_back({{a - 1}, f.win(a)});
        for (int b = a + 1; b <= n; ++b) {
            out.quinella.push_back({{pair_index(a, b)}, f.quinella(a, b)});
            if (f.places_paid() == 2) out.place.push_back({{a - 1, b - 1}, f.quinella(a, b)});
        }
    }
    for (const auto& t : f.trios()) {
        out.wide.push_back(
            {{pair_index(t.a, t.b), pair_index(t.a, t.c), pair_index(t.b, t.c)}, t.chance});
        if (f.places_paid() == 3) out.place.push_back({{t.a - 1, t.b - 1, t.c - 1}, t.chance});
    }
    for (const auto& [x, xs] : brackets) {
        for (const auto& [y, ys] : brackets) {
            if (y < x || (x == y && xs.size() < 2)) continue;
            double chance = 0;
            for (int a : xs) {
                for (int b : ys) {
                    if (x != y || a < b) chance += f.quinella(a, b);
                }
            }
            out.bracket.push_back({{static_cast<int>(out.bracket_keys.size())}, chance});
            out.bracket_keys.emplace_back(x, y);
        }
    }
    return out;
}

// One pool of a race: every combination it sells, with its share of the
// money (the public's chance of it, with the pool's own leanings).
template <typename Key>
class Pool {
  public:
    void sell(Key key) { keys_.push_back(key); }
    // The money comes in, each combination getting its share of the pool
    // (adding up to 1), the public's shares with the pool's own leanings:
    // for a pool that pays one combination, its chance; for one that pays
    // several, as the results that pay them make every ticket worth alike.
    // The money comes in, each combination getting its share of the pool
    // (adding up to 1): the public's shares of the results given (by the
    // combinations' indices), with each pool's own leanings.
    void back(const std::vector<PayingSet>& results, double deduction, Rng& rng) {
        std::vector<double> shares =
            public_shares(keys_.size(), results, deduction, kLongShot, kRandomTicketWorth);
        double total = 0;
        for (double& share : shares) {
            share *= std::exp(rng.normal(0, kPoolSpread));
            total += share;
        }
        for (double& share : shares) share /= total > 0 ? total : 1;
        shares_ = std::move(shares);
        popularity_ = popularity(shares_);
    }
    // What the winning combinations pay and how popular they were, in the
    // order given.
    struct Paid {
        Key key;
        int payout;
        int popularity;
    };
    std::vector<Paid> pay(const std::vector<Key>& winners, double deduction) const {
        std::vector<double> shares;
        std::vector<std::size_t> at;
        for (const Key& w : winners) {
            auto i =
                static_cast<std::size_t>(std::find(keys_.begin(), keys_.end(), w) - keys_.begin());
            at.push_back(i);
            shares.push_back(i < keys_.size() ? shares_[i] : 0.0);
        }
        std::vector<int> amounts = pool_payouts(shares, deduction);
        std::vector<Paid> paid;
        for (std::size_t k = 0; k < winners.size(); ++k) {
            paid.push_back({winners[k], amounts[k], at[k] < keys_.size() ? popularity_[at[k]] : 0});
        }
        return paid;
    }

    // What one 100-yen ticket of a combination drawn at random returns on
    // average, as a part of its stake, when the results come with the
    // chances given (by the combinations' indices).
    double expected_return(const std::vector<PayingSet>& results, double deduction) const {
        return random_ticket_return(shares_, results, deduction);
    }
    std::size_t size() const { return keys_.size(); }

  private:
    std::vector<Key> keys_;
    std::vector<double> shares_;
    std::vector<int> popularity_;
};

// Entry k of a payout group: combination, payout and the popularity after it.
void put_payout(RecordBuilder& hr, const PayoutGroup& group, int k, const std::string& combination,
                int payout, int popularity) {
    hr.payout(group, k, combination, payout);
    std::size_t at =
        group.offset + static_cast<std::size_t>(k) * group.entry_width + group.payout_offset + 9;
    hr.number(Field{at, group.entry_width - group.payout_offset - 9}, popularity);
}

}  // namespace

RecordBuilder payout_record(const RaceHeader& header, const std::vector<Runner>& runners, Rng& rng,
                            RandomTicketReturns* returns) {
    const int n = static_cast<int>(runners.size());
    std::map<int, std::vector<int>> brackets;  // bracket -> its horses
    for (const Runner& r : runners) brackets[r.bracket].push_back(r.number);
    FieldChances chances = market_chances(runners);
    PoolResults market = pool_results(chances, brackets);
    PayingPairs pairs = paying_pairs(runners);
    RecordBuilder hr = header.builder(RecordKind::Payout);
    auto fill = [&](const PayoutGroup& group, const auto& paid, auto combination) {
        int k = 0;
        for (const auto& p : paid) {
            if (k >= group.entries) break;
            put_payout(hr, group, k++, combination(p.key), p.payout, p.popularity);
        }
    };
    auto horse_digits = [](int horse) { return pair_digits(horse, 0).substr(0, 2); };
    auto horse_pair = [](std::pair<int, int> p) { return pair_digits(p.first, p.second); };

    Pool<int> win, place;
    std::vector<int> winners, placed;
    for (const Runner& r : runners) {
        win.sell(r.number);
        place.sell(r.number);
        if (r.position == 1) winners.push_back(r.number);
        if (r.position <= chances.places_paid()) placed.push_back(r.number);
    }
    win.back(market.win, kWinPlaceDeduction, rng);
    place.back(market.place, kWinPlaceDeduction, rng);
    auto win_paid = win.pay(winners, kWinPlaceDeduction);
    auto place_paid = place.pay(placed, kWinPlaceDeduction);
    fill(kWinPayouts, win_paid, horse_digits);
    fill(kPlacePayouts, place_paid, horse_digits);

    Pool<std::pair<int, int>> bracket_pool;
    std::vector<Pool<std::pair<int, int>>::Paid> bracket_paid;
    if (n >= 9) {
        for (const auto& r : market.bracket) {
            bracket_pool.sell(market.bracket_keys[static_cast<std::size_t>(r.combinations[0])]);
        }
        bracket_pool.back(market.bracket, kPairDeduction, rng);
        std::vector<std::pair<int, int>> paid(pairs.brackets.begin(), pairs.brackets.end());
        bracket_paid = bracket_pool.pay(paid, kPairDeduction);
        fill(hr::bracket_quinella, bracket_paid, [](std::pair<int, int> p) {
            return std::to_string(p.first) + std::to_string(p.second);
        });
    }

    // Pairs in the order of pair_index.
    Pool<std::pair<int, int>> quinella, wide;
    for (int a = 1; a <= n; ++a) {
        for (int b = a + 1; b <= n; ++b) {
            quinella.sell({a, b});
            wide.sell({a, b});
        }
    }
    quinella.back(market.quinella, kPairDeduction, rng);
    wide.back(market.wide, kPairDeduction, rng);
    auto quinella_paid = quinella.pay(pairs.quinella, kPairDeduction);
    auto wide_paid = wide.pay(pairs.wide, kPairDeduction);
    fill(hr::quinella, quinella_paid, horse_pair);
    fill(hr::wide, wide_paid, horse_pair);

    if (returns != nullptr) {
        // What one random ticket of each pool returns: expected over the
        // results the race model gives, and on the result the race had.
        std::vector<double> strengths;
        for (const Runner& r : runners) strengths.push_back(r.strength);
        PoolResults truth = pool_results(FieldChances(strengths, kFormSpread), brackets);
        auto note = [&](TicketKind kind, const auto& pool, const std::vector<PayingSet>& results,
                        const auto& paid, double deduction) {
            auto k = static_cast<std::size_t>(kind);
            returns->sold[k] = true;
            returns->expected[k] = pool.expected_return(results, deduction);
            double sum = 0;
            for (const auto& p : paid) sum += p.payout;
            returns->realized[k] = sum / 100.0 / static_cast<double>(pool.size());
        };
        note(TicketKind::Win, win, truth.win, win_paid, kWinPlaceDeduction);
        note(TicketKind::Place, place, truth.place, place_paid, kWinPlaceDeduction);
        if (n >= 9)
            note(TicketKind::Bracket, bracket_pool, truth.bracket, bracket_paid, kPairDeduction);
        note(TicketKind::Quinella, quinella, truth.quinella, quinella_paid, kPairDeduction);
        note(TicketKind::Wide, wide, truth.wide, wide_paid, kPairDeduction);
    }
    return hr;
}

}  // namespace tolven::sample
