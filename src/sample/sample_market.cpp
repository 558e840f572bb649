#include "sample/sample_market.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace tolven::sample {

FieldChances::FieldChances(const std::vector<double>& ratings, double spread)
    : n_(static_cast<int>(ratings.size())) {
    std::size_t n = ratings.size();
    win_.assign(n, 0.0);
    place_.assign(n, 0.0);
    quinella_.assign(n * n, 0.0);
    wide_.assign(n * n, 0.0);
    if (n == 0) return;
    std::vector<double> trio(n * n * n, 0.0);
    // The levels: from far below the best rating, where no result of the
    // first three is left, to far above it, in fifths of the spread.
    double top = *std::max_element(ratings.begin(), ratings.end());
    double step = spread / 5.0;
    std::vector<double> F(n), f(n), r(n);  // at the level: below it, density, above / below
    for (double y = top - 9.0 * spread; y <= top + 7.0 * spread; y += step) {
        double all_below = 1.0;  // every runner below y
        double e1 = 0, e2 = 0;   // sums of one and of two odds r of being above
        for (std::size_t k = 0; k < n; ++k) {
            double x = (y - ratings[k]) / spread;
            F[k] = std::max(1e-300, 0.5 * std::erfc(-x / std::sqrt(2.0)));
            f[k] = std::exp(-0.5 * x * x) / (spread * std::sqrt(2.0 * std::numbers::pi)) * step;
            r[k] = (1.0 - F[k]) / F[k];
            all_below *= F[k];
            e2 += e1 * r[k];
            e1 += r[k];
        }
        if (all_below == 0.0) continue;
        for (std::size_t i = 0; i < n; ++i) {
            // Runner i at y, the others below; or at most two of them above.
            double others_below = all_below / F[i];
            double e1_i = e1 - r[i];
            double e2_i = e2 - r[i] * e1_i;
            win_[i] += f[i] * others_below;
            place_[i] += f[i] * others_below * (1.0 + e1_i + (n <= 7 ? 0.0 : e2_i));
            for (std::size_t j = i + 1; j < n; ++j) {
                // The lower of i and j at y, the higher above it.
                double lower_at_y = f[i] * (1.0 - F[j]) + f[j] * (1.0 - F[i]);
                double rest_below = others_below / F[j] * lower_at_y;
                double q = rest_below;
                double w = rest_below * (1.0 + e1_i - r[j]);
                quinella_[i * n + j] += q;
                quinella_[j * n + i] += q;
                wide_[i * n + j] += w;
                wide_[j * n + i] += w;
                for (std::size_t k = j + 1; k < n; ++k) {
                    // The lowest of i, j and k at y, the other two above.
                    double lowest_at_y = f[i] * (1.0 - F[j]) * (1.0 - F[k]) +
                                         f[j] * (1.0 - F[i]) * (1.0 - F[k]) +
                                         f[k] * (1.0 - F[i]) * (1.0 - F[j]);
                    trio[(i * n + j) * n + k] += others_below / F[j] / F[k] * lowest_at_y;
                }
            }
        }
    }
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = a + 1; b < n; ++b) {
            for (std::size_t c = b + 1; c < n; ++c) {
                trios_.push_back({static_cast<int>(a) + 1, static_cast<int>(b) + 1,
                                  static_cast<int>(c) + 1, trio[(a * n + b) * n + c]});
            }
        }
    }
}

std::vector<double> single_winner_shares(const std::vector<double>& chances) {
    double total = 0;
    for (double p : chances) total += std::max(0.0, p);
    std::vector<double> shares;
    for (double p : chances) shares.push_back(total > 0 ? std::max(0.0, p) / total : 0.0);
    return shares;
}

double ticket_value(double share, double paid_shares, int combinations_paid, double deduction) {
    double profit = (1.0 - deduction) - paid_shares;
    if (profit <= 0 || share <= 0 || combinations_paid <= 0) return 100.0;
    return 100.0 + profit / combinations_paid / share * 100.0;
}

std::vector<double> pool_shares(std::size_t combinations, const std::vector<PayingSet>& results,
                                double deduction) {
    // Start from the chance of paying at all, then move money towards the
    // combinations worth more than the average and away from the others.
    std::vector<double> chance(combinations, 0.0);
    for (const PayingSet& r : results) {
        for (int c : r.combinations) chance[static_cast<std::size_t>(c)] += r.chance;
    }
    std::vector<double> shares = single_winner_shares(chance);
    std::vector<double> worth(combinations);
    for (int round = 0; round < 12; ++round) {
        std::fill(worth.begin(), worth.end(), 0.0);
        for (const PayingSet& r : results) {
            double paid = 0;
            for (int c : r.combinations) paid += shares[static_cast<std::size_t>(c)];
            int count = static_cast<int>(r.combinations.size());
            for (int c : r.combinations) {
                auto i = static_cast<std::size_t>(c);
                worth[i] += r.chance * ticket_value(shares[i], paid, count, deduction);
            }
        }
        double total = 0;
        for (std::size_t i = 0; i < combinations; ++i) {
            // Worth per yen backed, as a multiplier on the share.
            if (shares[i] > 0) shares[i] *= worth[i] / 100.0;
            total += shares[i];
        }
        for (double& s : shares) s = total > 0 ? s / total : 0;
    }
    return shares;
}

std::vector<int> pool_payouts(const std::vector<double>& winner_shares, double deduction) {
    double paid = std::accumulate(winner_shares.begin(), winner_shares.end(), 0.0);
    int count = static_cast<int>(winner_shares.size());
    std::vector<int> payouts;
    for (double share : winner_shares) {
        // Cut to 10 yen (a hair added so that an exact amount is not cut by
        // the rounding of the division).
        double yen = std::floor(ticket_value(share, paid, count, deduction) / 10.0 + 1e-9) * 10.0;
        payouts.push_back(static_cast<int>(std::min(yen, 999999990.0)));
    }
    return payouts;
}

double random_ticket_return(const std::vector<double>& shares,
                            const std::vector<PayingSet>& results, double deduction, bool as_paid) {
    if (shares.empty()) return 0;
    double sum = 0;
    std::vector<double> paid_shares;
    for (const PayingSet& r : results) {
        paid_shares.clear();
        for (int c : r.combinations) paid_shares.push_back(shares[static_cast<std::size_t>(c)]);
        if (as_paid) {
            for (int yen : pool_payouts(paid_shares, deduction)) sum += r.chance * yen;
        } else {
            double paid = std::accumulate(paid_shares.begin(), paid_shares.end(), 0.0);
            int count = static_cast<int>(paid_shares.size());
            for (double share : paid_shares) {
                sum += r.chance * ticket_value(share, paid, count, deduction);
            }
        }
    }
    return sum / 100.0 / static_cast<double>(shares.size());
}

std::vector<double> public_shares(std::size_t combinations, const std::vector<PayingSet>& results,
                                  double deduction, double long_shot, double target) {
    if (combinations == 0) return {};
    bool single = std::all_of(results.begin(), results.end(),
                              [](const PayingSet& r) { return r.combinations.size() == 1; });
    std::vector<double> fair;
    if (single) {
        fair.assign(combinations, 0.0);
        for (const PayingSet& r : results)
            fair[static_cast<std::size_t>(r.combinations[0])] += r.chance;
        fair = single_winner_shares(fair);
    } else {
        fair = pool_shares(combinations, results, deduction);
    }
    const double floor = long_shot / static_cast<double>(combinations);
    auto leaning = [&](double power) {
        std::vector<double> shares;
        double total = 0;
        for (double f : fair) {
            shares.push_back(std::pow(std::max(f, floor), power));
            total += shares.back();
        }
        for (double& s : shares) s /= total;
        return shares;
    };
    auto returns = [&](double power) {
        return random_ticket_return(leaning(power), results, deduction, false);
    };
    // A random ticket returns more the more the public leans to favourites
    // (a leaning below 1 backs the outsiders beyond their chances).
    double low = 0.5;
    double high = 3.0;
    if (returns(low) >= target) return leaning(low);
    if (returns(high) <= target) return leaning(high);
    for (int step = 0; step < 16; ++step) {
        double mid = (low + high) / 2;
        (returns(mid) < target ? low : high) = mid;
    }
    return leaning((low + high) / 2);
}

std::vector<int> popularity(const std::vector<double>& shares) {
    std::vector<std::size_t> order(shares.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return shares[a] > shares[b]; });
    std::vector<int> rank(shares.size());
    for (std::size_t i = 0; i < order.size(); ++i) rank[order[i]] = static_cast<int>(i) + 1;
    return rank;
}

}  // namespace tolven::sample
