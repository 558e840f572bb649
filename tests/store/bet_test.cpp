#include "store/bet.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "store/code_tables.hpp"

namespace tolven {
namespace {

TEST(Bet, TextsAndNumbersRoundTrip) {
    struct Case {
        int first, second;
        const char* text;
    } cases[] = {
        {1, 2, " 1- 2"}, {4, 7, " 4- 7"},  {9, 10, " 9-10"},
        {17, 18, "17-18"}, {3, 3, " 3- 3"}, {8, 1, " 8- 1"},  // the order is kept
    };
    for (const Case& c : cases) {
        Bet bet{c.first, c.second, {}};
        EXPECT_EQ(bet_text(bet), c.text);
        EXPECT_EQ(bet_from_text(c.text), bet) << c.text;
        EXPECT_TRUE(bet_from_text(c.text).as_read.empty()) << c.text;
        EXPECT_FALSE(bet.empty());
    }
    EXPECT_EQ(bet_text(Bet{}), "");
    EXPECT_TRUE(Bet{}.empty());
}

TEST(Bet, PairsPutTheSmallerNumberFirst) {
    EXPECT_EQ(pair_bet(7, 4), (Bet{4, 7, {}}));
    EXPECT_EQ(pair_bet(4, 7), (Bet{4, 7, {}}));
    EXPECT_EQ(bet_text(pair_bet(18, 17)), "17-18");
    EXPECT_EQ(pair_text(18, 17), "17-18");
}

TEST(Bet, UserFileFieldsThatAreNotABetTextAreKeptAsRead) {
    struct Case {
        const char* text;
        int first, second;  // what the hit check reads from characters 1-2 and 4-5
    } cases[] = {
        {"12-1", 12, 1},  // a short field
        {" 3-5 ", 3, 5},  // a number that is not right-aligned
        {"ab-cd", 0, 0},  // no numbers at all
        {" 0- 0", 0, 0},  // numbers of 0 are not an empty slot when written out
        {" 4- 7x", 4, 7},
    };
    for (const Case& c : cases) {
        Bet bet = bet_from_text(c.text);
        EXPECT_EQ(bet.first, c.first) << c.text;
        EXPECT_EQ(bet.second, c.second) << c.text;
        EXPECT_EQ(bet_text(bet), c.text);
        EXPECT_FALSE(bet.empty()) << c.text;
        // Kept as read, it names no payout, not even the pair of its numbers.
        EXPECT_FALSE(bet.names(c.first, c.second)) << c.text;
    }
    for (const char* blank : {"", "     ", "  "}) {
        EXPECT_TRUE(bet_from_text(blank).empty()) << '"' << blank << '"';
    }
}

TEST(Bet, CombinationsNameTheirBetWhenInRange) {
    struct Case {
        const char* combination;
        bool named;
        int first, second;
    } cases[] = {
        {"36", true, 3, 6},     {"18", true, 1, 8},     {"09", false, 0, 0},
        {"90", false, 0, 0},    {"0412", true, 4, 12},  {"1718", true, 17, 18},
        {"1819", false, 0, 0},  {"0018", false, 0, 0},  {"  ", false, 0, 0},
        {"010203", false, 0, 0}, {"123", false, 0, 0},
    };
    for (const Case& c : cases) {
        std::optional<Bet> bet = combination_bet(c.combination);
        ASSERT_EQ(bet.has_value(), c.named) << c.combination;
        if (bet) {
            EXPECT_TRUE(bet->names(c.first, c.second)) << c.combination;
            EXPECT_EQ(bet_text(*bet), combination_text(c.combination));
        }
    }
}

TEST(Bet, KindsKeysLabelsAndPayoutGroups) {
    struct Case {
        BetKind kind;
        const char* key;
        const char* label;
        const PayoutGroup* group;
    } cases[] = {
        {BetKind::Quinella, "quinella", "馬連", &hr::quinella},
        {BetKind::Bracket, "bracket", "枠連", &hr::bracket_quinella},
        {BetKind::Wide, "wide", "ワイド", &hr::wide},
    };
    std::size_t i = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(kBetKinds[i++], c.kind);
        EXPECT_STREQ(bet_kind_key(c.kind), c.key);
        EXPECT_STREQ(bet_kind_label(c.kind), c.label);
        EXPECT_EQ(&payout_group(c.kind), c.group) << c.key;
    }
}

}  // namespace
}  // namespace tolven
