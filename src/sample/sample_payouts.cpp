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
// The part of a pool backed evenly, whatever the chances (birthdays, names,
// boxes of every combination): it keeps the longest odds within reason, as
// in a real pool, where a runner with next to no chance still pays some
// thousands to one, not millions.
constexpr double kEvenMoney = 0.003;

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

// One pool of a race: every combination it sells, with its share of the
// money (the public's chance of it, with the pool's own leanings).
template <typename Key>
class Pool {
  public:
    void sell(Key key, double chance) {
        keys_.push_back(key);
        shares_.push_back(chance);
    }
    // The money comes in, each combination getting its share of the pool
    // (adding up to 1), the public's shares with the pool's own leanings:
    // for a pool that pays one combination, its chance; for one that pays
    // several, as the results that pay them make every ticket worth alike.
    void back(Rng& rng) { lean(single_winner_shares(shares_), rng); }
    void back(const std::vector<PayingSet>& results, double deduction, Rng& rng) {
        lean(pool_shares(shares_.size(), results, deduction), rng);
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

  private:
    void lean(std::vector<double> shares, Rng& rng) {
        double total = 0;
        double even = kEvenMoney / static_cast<double>(shares.size());
        for (double& s : shares) {
            s = (s * (1.0 - kEvenMoney) + even) * std::exp(rng.normal(0, kPoolSpread));
            total += s;
        }
        for (double& s : shares) s /= total > 0 ? total : 1;
        shares_ = std::move(shares);
        popularity_ = popularity(shares_);
    }

    std::vector<Key> keys_;
    std::vector<double> shares_;  // the chances until the money comes in
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

RecordBuilder payout_record(const RaceHeader& header, const std::vector<Runner>& runners,
                            Rng& rng) {
    FieldChances chances = market_chances(runners);
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

    // The results that pay several combinations at once: the first three
    // (or two) for the place pool, their pairs for the wide pool.
    int n = static_cast<int>(runners.size());
    auto pair_index = [n](int a, int b) { return (a - 1) * (2 * n - a) / 2 + (b - a - 1); };
    std::vector<PayingSet> placings, wide_results;
    for (const auto& t : chances.trios()) {
        wide_results.push_back(
            {{pair_index(t.a, t.b), pair_index(t.a, t.c), pair_index(t.b, t.c)}, t.chance});
        if (chances.places_paid() == 3) placings.push_back({{t.a - 1, t.b - 1, t.c - 1}, t.chance});
    }
    if (chances.places_paid() == 2) {
        for (int a = 1; a <= n; ++a) {
            for (int b = a + 1; b <= n; ++b) {
                placings.push_back({{a - 1, b - 1}, chances.quinella(a, b)});
            }
        }
    }

    Pool<int> win, place;
    std::vector<int> winners, placed;
    for (const Runner& r : runners) {
        win.sell(r.number, chances.win(r.number));
        place.sell(r.number, chances.place(r.number));
        if (r.position == 1) winners.push_back(r.number);
        if (r.position <= chances.places_paid()) placed.push_back(r.number);
    }
    win.back(rng);
    place.back(placings, kWinPlaceDeduction, rng);
    fill(kWinPayouts, win.pay(winners, kWinPlaceDeduction), horse_digits);
    fill(kPlacePayouts, place.pay(placed, kWinPlaceDeduction), horse_digits);

    if (n >= 9) {
        std::map<int, std::vector<int>> brackets;  // bracket -> its horses
        for (const Runner& r : runners) brackets[r.bracket].push_back(r.number);
        Pool<std::pair<int, int>> bracket_pool;
        for (const auto& [x, xs] : brackets) {
            for (const auto& [y, ys] : brackets) {
                if (y < x || (x == y && xs.size() < 2)) continue;
                double chance = 0;
                for (int a : xs) {
                    for (int b : ys) {
                        if (x != y || a < b) chance += chances.quinella(a, b);
                    }
                }
                bracket_pool.sell({x, y}, chance);
            }
        }
        bracket_pool.back(rng);
        std::vector<std::pair<int, int>> paid(pairs.brackets.begin(), pairs.brackets.end());
        fill(hr::bracket_quinella, bracket_pool.pay(paid, kPairDeduction),
             [](std::pair<int, int> p) {
                 return std::to_string(p.first) + std::to_string(p.second);
             });
    }

    // Pairs in the order of pair_index.
    Pool<std::pair<int, int>> quinella, wide;
    for (int a = 1; a <= n; ++a) {
        for (int b = a + 1; b <= n; ++b) {
            quinella.sell({a, b}, chances.quinella(a, b));
            wide.sell({a, b}, chances.wide(a, b));
        }
    }
    quinella.back(rng);
    wide.back(wide_results, kPairDeduction, rng);
    fill(hr::quinella, quinella.pay(pairs.quinella, kPairDeduction), horse_pair);
    fill(hr::wide, wide.pay(pairs.wide, kPairDeduction), horse_pair);
    return hr;
}

}  // namespace tolven::sample
