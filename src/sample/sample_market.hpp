#pragma once

// The betting market of the sample feed: pari-mutuel pools. The public backs
// the combinations by the chances it gives them; the pool, less the
// deduction, is shared among the tickets of the combinations the result
// pays. Only the sample feed uses it.

#include <vector>

#include "store/record.hpp"

namespace tolven::sample {

// What the pools keep back: JRA deducts 20 % of the win and place pools and
// 22.5 % of the bracket-quinella, quinella and wide pools.
inline constexpr double kWinPlaceDeduction = 0.20;
inline constexpr double kPairDeduction = 0.225;

// The win and place groups of the payout record, before the bracket quinella:
// a horse number, the payout and the popularity, three and five entries.
inline constexpr PayoutGroup kWinPayouts{102, 3, 13, 2, 2};
inline constexpr PayoutGroup kPlacePayouts{141, 5, 13, 2, 2};

// The chances of a field's results when each runner's performance is its
// rating (by horse number - 1) plus a normal error of the spread, the best
// performance winning. Each chance is an integral over one performance level
// y: for a pair, the chance that the lower of its two performances is y and
// every other runner is below it (quinella), or all but one (wide).
class FieldChances {
  public:
    FieldChances(const std::vector<double>& ratings, double spread);

    int size() const { return n_; }
    double win(int horse) const { return win_[index(horse)]; }
    // Among the places paid (the first three; the first two in a field of
    // seven or fewer).
    double place(int horse) const { return place_[index(horse)]; }
    // Horses a and b first and second, in either order.
    double quinella(int a, int b) const { return quinella_[pair(a, b)]; }
    // Horses a and b both among the first three.
    double wide(int a, int b) const { return wide_[pair(a, b)]; }
    int places_paid() const { return n_ <= 7 ? 2 : 3; }

    // Three horses (a < b < c) that fill the first three places in some
    // order, and the chance of it.
    struct Trio {
        int a, b, c;
        double chance;
    };
    const std::vector<Trio>& trios() const { return trios_; }

  private:
    std::size_t index(int horse) const { return static_cast<std::size_t>(horse - 1); }
    std::size_t pair(int a, int b) const {
        return index(a) * static_cast<std::size_t>(n_) + index(b);
    }

    int n_;
    std::vector<double> win_, place_, quinella_, wide_;
    std::vector<Trio> trios_;
};

// A result of a pool that pays several combinations at once (the three
// places, the three wide pairs), by the combinations' indices, and its
// chance.
struct PayingSet {
    std::vector<int> combinations;
    double chance = 0;
};

// The shares of a pool's combinations (adding up to 1) when the public backs
// each so that every ticket is worth the same: the pool less the deduction
// per 100 yen. With one winning combination (win, bracket quinella,
// quinella) a share is the combination's chance. Where a result pays several,
// a winning combination shares the profit with the others that pay with it
// (a long shot with likely ones, a favourite with others), so the shares are
// found by trying: each share grows or shrinks with what its tickets are
// worth at the shares so far.
std::vector<double> single_winner_shares(const std::vector<double>& chances);
std::vector<double> pool_shares(std::size_t combinations, const std::vector<PayingSet>& results,
                                double deduction);

// What one 100-yen ticket of a combination is worth, in yen, when the
// result pays `combinations_paid` combinations whose shares add up to
// `paid_shares`: the pool less the deduction gives every winning ticket its
// stake back, the rest is split evenly among the winning combinations and
// each part among that combination's tickets; never less than the stake.
double ticket_value(double share, double paid_shares, int combinations_paid, double deduction);
// The payouts of the winning combinations of a result, by their shares: the
// ticket values cut to 10 yen.
std::vector<int> pool_payouts(const std::vector<double>& winner_shares, double deduction);

// What one 100-yen ticket of a combination drawn at random (every
// combination of the pool alike) returns on average, as a part of its stake,
// at the shares given, when the results come with their chances: the
// payouts as paid (cut to 10 yen, at least the stake), or the ticket values
// before the cut.
double random_ticket_return(const std::vector<double>& shares,
                            const std::vector<PayingSet>& results, double deduction,
                            bool as_paid = true);

// The public's shares of a pool of `combinations` when the results come
// with the chances given. Each combination is backed by its chance (as
// `pool_shares` finds it) to the power of a leaning, and a combination below
// `long_shot` of an even chance (1 / combinations) as if it had that much:
// the public backs every combination, however hopeless. Money on hopeless
// combinations is money a random ticket mostly loses, so the leaning is
// chosen for the pool (by halving the range of leanings) so that a random
// ticket returns `target` of its stake before the cut to 10 yen. With a
// leaning above 1 the favourites are backed beyond their chances and the
// plausible outsiders below them (a field with hopeless runners); below 1
// the other way round (an even field).
std::vector<double> public_shares(std::size_t combinations, const std::vector<PayingSet>& results,
                                  double deduction, double long_shot, double target);

// The popularity of each combination of a pool by its share: 1 for the most
// backed; equal shares keep the order given.
std::vector<int> popularity(const std::vector<double>& shares);

}  // namespace tolven::sample
