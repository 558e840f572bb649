#include "sample/sample_market.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

namespace tolven::sample {
namespace {

// A field's chances add up as places do, and match figures worked by hand.
TEST(SampleMarket, FieldChancesOfAField) {
    struct Case {
        const char* name;
        std::vector<double> ratings;
        double spread;
        int a, b;
        double win, quinella, wide;  // of horse a, of horses a and b; < 0: not checked
    };
    const Case cases[] = {
        // Alike: 2 of 8·7 orders, 6 of the 56 sets of three.
        {"even eight", std::vector<double>(8, 0.0), 1.0, 2, 7, 1.0 / 8, 2.0 / 56, 6.0 / 56},
        // One beats the other with the chance Phi(1 / sqrt(2)).
        {"two", {1.0, 0.0}, 1.0, 1, 2, 0.7602499389, 1.0, 1.0},
        {"seven", {1.0, 0.5, 0.2, 0.0, -0.3, -1.0, -2.0}, 1.4, 1, 7, -1, -1, -1},
        {"far apart",
         {3.0, 2.0, 1.0, 0.0, -1.0, -2.0, -3.0, -5.0, -8.0, -12.0},
         1.4,
         9,
         10,
         -1,
         -1,
         -1},
        {"even eighteen", std::vector<double>(18, 0.0), 1.4, 1, 18, 1.0 / 18, 2.0 / (18 * 17), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FieldChances f(c.ratings, c.spread);
        int n = f.size();
        double wins = 0, quinellas = 0, wides = 0, places = 0, trios = 0;
        for (int a = 1; a <= n; ++a) {
            wins += f.win(a);
            places += f.place(a);
            for (int b = a + 1; b <= n; ++b) {
                EXPECT_DOUBLE_EQ(f.quinella(a, b), f.quinella(b, a));
                EXPECT_GE(f.wide(a, b) + 1e-12, f.quinella(a, b));
                quinellas += f.quinella(a, b);
                wides += f.wide(a, b);
            }
        }
        for (const auto& t : f.trios()) {
            EXPECT_TRUE(t.a < t.b && t.b < t.c);
            trios += t.chance;
        }
        EXPECT_NEAR(wins, 1.0, 1e-6);
        EXPECT_NEAR(quinellas, 1.0, 1e-6);
        EXPECT_NEAR(wides, n >= 3 ? 3.0 : 1.0, 1e-6);
        EXPECT_NEAR(trios, n >= 3 ? 1.0 : 0.0, 1e-6);
        EXPECT_NEAR(places, n <= 7 ? 2.0 : 3.0, 1e-6);
        // The better rated come first more often.
        for (int a = 2; a <= n; ++a) EXPECT_GE(f.win(a - 1) + 1e-12, f.win(a));
        if (c.win >= 0) {
            EXPECT_NEAR(f.win(c.a), c.win, 1e-6);
        }
        if (c.quinella >= 0) {
            EXPECT_NEAR(f.quinella(c.a, c.b), c.quinella, 1e-6);
        }
        if (c.wide >= 0) {
            EXPECT_NEAR(f.wide(c.a, c.b), c.wide, 1e-6);
        }
    }
}

TEST(SampleMarket, PoolPayoutsShareWhatTheDeductionLeaves) {
    struct Case {
        const char* name;
        std::vector<double> shares;
        double deduction;
        std::vector<int> payouts;
    };
    const Case cases[] = {
        {"one winner", {0.1}, 0.225, {770}},    // 775 cut to 10 yen
        {"exact amount", {0.125}, 0.2, {640}},  // 0.8 / 0.125, not 630
        {"favourite", {0.3}, 0.225, {250}},     // 258.3
        {"all back", {0.775}, 0.225, {100}},    // nothing over the stakes
        {"never below the stake", {0.9}, 0.225, {100}},
        // Dead heat: the profit 0.475 is halved, then shared by each's tickets.
        {"two winners", {0.1, 0.2}, 0.225, {330, 210}},
        // Three wide pairs: stakes back, 0.3 of profit in thirds.
        {"three pairs", {0.25, 0.05, 0.2}, 0.2, {140, 300, 150}},
        {"longest shot", {1e-9}, 0.2, {999999990}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pool_payouts(c.shares, c.deduction), c.payouts);
    }
}

// Where a result pays three combinations, the shares make a ticket of every
// combination worth the pool less the deduction, long shot or favourite;
// backing by chance alone would not.
TEST(SampleMarket, SharesOfAPoolWithThreeWinnersMakeEveryTicketWorthAlike) {
    FieldChances f({2.0, 1.5, 1.0, 0.8, 0.5, 0.3, 0.0, -0.3, -0.6, -1.0, -2.0}, 1.4);
    int n = f.size();
    auto index = [n](int a, int b) { return (a - 1) * (2 * n - a) / 2 + (b - a - 1); };
    std::vector<PayingSet> wide, place;
    for (const auto& t : f.trios()) {
        wide.push_back({{index(t.a, t.b), index(t.a, t.c), index(t.b, t.c)}, t.chance});
        place.push_back({{t.a - 1, t.b - 1, t.c - 1}, t.chance});
    }
    struct Case {
        const char* name;
        std::size_t combinations;
        const std::vector<PayingSet>* results;
        double deduction;
    };
    const Case cases[] = {
        {"wide", static_cast<std::size_t>(n * (n - 1) / 2), &wide, kPairDeduction},
        {"place", static_cast<std::size_t>(n), &place, kWinPlaceDeduction},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> shares = pool_shares(c.combinations, *c.results, c.deduction);
        EXPECT_NEAR(std::accumulate(shares.begin(), shares.end(), 0.0), 1.0, 1e-9);
        std::vector<double> worth(c.combinations, 0.0);
        for (const PayingSet& r : *c.results) {
            double paid = 0;
            for (int k : r.combinations) paid += shares[static_cast<std::size_t>(k)];
            for (int k : r.combinations) {
                auto i = static_cast<std::size_t>(k);
                worth[i] +=
                    r.chance * ticket_value(shares[i], paid,
                                            static_cast<int>(r.combinations.size()), c.deduction);
            }
        }
        for (std::size_t i = 0; i < c.combinations; ++i) {
            EXPECT_NEAR(worth[i], 100.0 * (1.0 - c.deduction), 1.0) << "combination " << i;
        }
    }
}

// The public's shares make a random ticket worth what is asked in every kind
// of pool, however many hopeless combinations the field has, and keep the
// longest odds within reason.
TEST(SampleMarket, PublicSharesGiveARandomTicketItsWorth) {
    struct Case {
        const char* name;
        std::vector<double> ratings;
    };
    const Case fields[] = {
        {"a clear favourite in ten", {3.0, 0.6, 0.4, 0.3, 0.2, 0.1, 0.0, -0.2, -0.4, -0.6}},
        {"close twelve", {1.0, 0.8, 0.6, 0.4, 0.2, 0.0, -0.2, -0.4, -0.6, -0.8, -1.0, -1.2}},
        {"sixteen with hopeless ones",
         {4, 3.5, 3, 2.5, 2, 1.5, 1, 0.5, 0, -1, -2, -3, -4, -6, -8, -10}},
    };
    for (const Case& field : fields) {
        FieldChances f(field.ratings, 1.4);
        int n = f.size();
        auto index = [n](int a, int b) { return (a - 1) * (2 * n - a) / 2 + (b - a - 1); };
        std::vector<PayingSet> win, place, quinella, wide;
        for (int a = 1; a <= n; ++a) {
            win.push_back({{a - 1}, f.win(a)});
            for (int b = a + 1; b <= n; ++b) quinella.push_back({{index(a, b)}, f.quinella(a, b)});
        }
        for (const auto& t : f.trios()) {
            wide.push_back({{index(t.a, t.b), index(t.a, t.c), index(t.b, t.c)}, t.chance});
            place.push_back({{t.a - 1, t.b - 1, t.c - 1}, t.chance});
        }
        const struct {
            const char* name;
            const std::vector<PayingSet>* results;
            std::size_t combinations;
            double deduction;
        } pools[] = {
            {"win", &win, win.size(), kWinPlaceDeduction},
            {"place", &place, win.size(), kWinPlaceDeduction},
            {"quinella", &quinella, quinella.size(), kPairDeduction},
            {"wide", &wide, quinella.size(), kPairDeduction},
        };
        for (const auto& pool : pools) {
            SCOPED_TRACE(std::string(field.name) + " " + pool.name);
            std::vector<double> shares =
                public_shares(pool.combinations, *pool.results, pool.deduction, 0.3, 0.76);
            ASSERT_EQ(shares.size(), pool.combinations);
            EXPECT_NEAR(std::accumulate(shares.begin(), shares.end(), 0.0), 1.0, 1e-9);
            EXPECT_NEAR(random_ticket_return(shares, *pool.results, pool.deduction, false), 0.76,
                        0.002);
            double paid = random_ticket_return(shares, *pool.results, pool.deduction);
            EXPECT_GT(paid, 0.74);
            EXPECT_LT(paid, 0.80);
            // The longest odds: some thousands of yen to 100, not millions.
            double least = *std::min_element(shares.begin(), shares.end());
            EXPECT_LT(pool_payouts({least}, pool.deduction)[0], 2'000'000);
        }
    }
}

TEST(SampleMarket, PopularityByShare) {
    EXPECT_EQ(popularity({0.2, 0.5, 0.3}), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(popularity({0.25, 0.25, 0.5}), (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(single_winner_shares({2, 1, 1}), (std::vector<double>{0.5, 0.25, 0.25}));
}

}  // namespace
}  // namespace tolven::sample
