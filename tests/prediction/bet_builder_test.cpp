#include "prediction/bet_builder.hpp"

#include <gtest/gtest.h>

#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

std::string joined(const BetList& list) {
    std::string text;
    for (const Bet& bet : list) {
        if (!bet.empty()) text += (text.empty() ? "" : ",") + bet_text(bet);
    }
    return text;
}

// A race of `runners` whose composite (and user) ranking lists the horses in
// the given order.
RaceDay race_with_ranking(int runners, const std::vector<int>& order, bool from_2005 = true) {
    RaceDay day;
    set_races(day, {{1600, runners}});
    day.from_2005 = from_2005;
    for (std::size_t i = 0; i < order.size(); ++i) {
        day.figures[0].composite_rank[order[i]] = static_cast<int>(i) + 1;
        day.figures[0].user_rank[order[i]] = static_cast<int>(i) + 1;
    }
    return day;
}

void set_marks(RaceDay& day, Pattern pattern, int cross, int chu, int triangle,
               bool axis_is_cross = false) {
    ComputerPrediction& p = day.prediction[0];
    p.pattern = pattern;
    p.cross = cross;
    p.chu = chu;
    p.triangle = triangle;
    p.axis_is_cross = axis_is_cross;
    p.axis = axis_is_cross ? cross : chu;
}

TEST(BetBuilder, TheWorkedExample) {
    RaceDay day = race_with_ranking(16, {7, 2, 4, 11, 5, 9, 1, 3, 6, 8, 10, 12, 13, 14, 15, 16});
    set_marks(day, Pattern::A, 3, 4, 5);
    build_computer_bets(day, 0);
    EXPECT_EQ(joined(day.bets[0].computer_quinella), " 4- 7, 2- 4, 4-11, 4- 5, 4-12");
    EXPECT_EQ(joined(day.bets[0].computer_bracket), " 2- 4, 1- 2, 2- 3, 2- 6");
    // The user set flows one horse further (m = K + 1).
    build_user_bets(day, 0);
    EXPECT_EQ(joined(day.bets[0].user_quinella), " 4- 7, 2- 4, 4-11, 4- 5, 4- 9, 4-12");
}

TEST(BetBuilder, MirrorBrackets) {
    // Axis 注 = 5 in bracket 3 of 18 runners: mirror bracket 7 = horses 13, 14, 15.
    RaceDay day = race_with_ranking(18, {5, 1, 2, 3, 4, 6});
    set_marks(day, Pattern::B, 4, 5, 6);
    EXPECT_EQ(
        bet_texts(bet_working_list(day, 0, BetSet::Computer)),
        (std::vector<std::string>{" 1- 5", " 2- 5", " 3- 5", " 4- 5", " 5-13", " 5-14", " 5-15"}));
    // Axis 注 = 14 in bracket 8 of 14 runners: mirror bracket 4 = horses 5, 6.
    day = race_with_ranking(14, {1, 2, 3, 4, 7, 8});
    set_marks(day, Pattern::B, 13, 14, 10);
    std::vector<std::string> list = bet_texts(bet_working_list(day, 0, BetSet::Computer));
    EXPECT_EQ(list.back(), " 6-14");
    EXPECT_EQ(list[list.size() - 2], " 5-14");
    // A mirror pair that the flow already made is not added twice.
    day = race_with_ranking(14, {5, 1, 2, 3, 4, 6});
    set_marks(day, Pattern::B, 13, 14, 10);
    list = bet_texts(bet_working_list(day, 0, BetSet::Computer));
    EXPECT_EQ(std::count(list.begin(), list.end(), " 5-14"), 1);
}

TEST(BetBuilder, FlowsAroundTheRightHorse) {
    std::vector<int> order{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    // ▲ ranked 2nd, 注 not in the top two: flow from ▲ over K+1.
    RaceDay day = race_with_ranking(10, order);
    set_marks(day, Pattern::A, 9, 8, 2);
    std::vector<std::string> list = bet_texts(bet_working_list(day, 0, BetSet::Computer));
    EXPECT_EQ(list[0], " 1- 2");
    EXPECT_EQ(std::count_if(list.begin(), list.end(),
                            [](const std::string& t) { return t.find(" 2") != std::string::npos; }),
              static_cast<long>(list.size()));
    // ▲ ranked 2nd and 注 1st, both in the top two: flow from 注 over K.
    day = race_with_ranking(10, order);
    set_marks(day, Pattern::A, 9, 1, 2);
    list = bet_texts(bet_working_list(day, 0, BetSet::Computer));
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.begin() + 4),
              (std::vector<std::string>{" 1- 2", " 1- 3", " 1- 4", " 1- 5"}));
    // × axis, 注 ranked 1st and × not in the top two: flow from 注.
    day = race_with_ranking(10, order);
    set_marks(day, Pattern::A, 9, 1, 8, true);
    list = bet_texts(bet_working_list(day, 0, BetSet::Computer));
    EXPECT_EQ(list[0], " 1- 2");  // 1 with itself skipped
    // × axis otherwise: flow from × over K+1.
    day = race_with_ranking(10, order);
    set_marks(day, Pattern::A, 9, 5, 8, true);
    list = bet_texts(bet_working_list(day, 0, BetSet::Computer));
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.begin() + 6),
              (std::vector<std::string>{" 1- 9", " 2- 9", " 3- 9", " 4- 9", " 5- 9", " 6- 9"}));
}

TEST(BetBuilder, PatternC) {
    // 注 ranked 3rd, exactly five ranked horses: the box, five bets.
    RaceDay day = race_with_ranking(10, {6, 2, 4, 9, 1});
    set_marks(day, Pattern::C, 3, 4, 5);
    EXPECT_EQ(bet_texts(bet_working_list(day, 0, BetSet::Computer)),
              (std::vector<std::string>{" 2- 6", " 4- 6", " 2- 4", " 6- 9", " 1- 6"}));
    // 注 ranked 1st: flow from 注 over K+1 and its mirror.
    day = race_with_ranking(10, {4, 2, 6, 9, 1, 3});
    set_marks(day, Pattern::C, 3, 4, 5);
    EXPECT_EQ(bet_texts(bet_working_list(day, 0, BetSet::Computer)).front(), " 2- 4");
    // The user set still decides by the composite rank of 注.
    day.figures[0].user_rank = {};
    day.figures[0].user_rank[7] = 1;
    day.figures[0].user_rank[8] = 2;
    EXPECT_EQ(bet_texts(bet_working_list(day, 0, BetSet::User)).front(), " 4- 7");
    // Fewer than five ranked horses: no failure, the pairs that exist.
    day = race_with_ranking(10, {6, 2});
    set_marks(day, Pattern::C, 3, 4, 5);
    EXPECT_EQ(bet_texts(bet_working_list(day, 0, BetSet::Computer)), std::vector<std::string>{" 2- 6"});
    // A race without a pattern gets no bets.
    set_marks(day, Pattern::None, 3, 4, 5);
    build_computer_bets(day, 0);
    EXPECT_EQ(joined(day.bets[0].computer_quinella), "");
}

TEST(BetBuilder, BracketConversion) {
    EXPECT_EQ(bet_text(bracket_bet(bet_from_text(" 1- 2"), 12)), " 1- 2");
    EXPECT_EQ(bet_text(bracket_bet(bet_from_text(" 9-10"), 12)), " 7- 7");
    EXPECT_EQ(bet_text(bracket_bet(bet_from_text(" 9-10"), 18)), " 5- 5");
    EXPECT_EQ(bet_text(bracket_bet(bet_from_text(" 9-11"), 18)), " 5- 6");
    EXPECT_EQ(bet_texts(keep_last_occurrences(
                  {pair_bet(1, 2), pair_bet(3, 4), pair_bet(1, 2), pair_bet(5, 6), pair_bet(3, 4)})),
              (std::vector<std::string>{" 1- 2", " 5- 6", " 3- 4"}));
    EXPECT_EQ(mirror_bracket(1), 5);
    EXPECT_EQ(mirror_bracket(8), 4);
    EXPECT_EQ(mirror_bracket(0), 0);

    // From 2005 on, eight runners: no bracket bets; before 2005 there are.
    for (bool from_2005 : {true, false}) {
        RaceDay day = race_with_ranking(8, {1, 2, 3, 4, 5, 6, 7, 8}, from_2005);
        set_marks(day, Pattern::B, 3, 4, 5);
        build_computer_bets(day, 0);
        EXPECT_EQ(joined(day.bets[0].computer_bracket).empty(), from_2005);
        EXPECT_FALSE(joined(day.bets[0].computer_quinella).empty());
    }
}

TEST(BetBuilder, BracketBetsBefore2005OrWithMoreThanEightRunners) {
    struct Case {
        int runners;
        bool from_2005;
        bool shown;
    } cases[] = {
        {8, true, false}, {9, true, true}, {4, false, true}, {18, true, true}, {18, false, true},
    };
    for (const auto& c : cases) {
        RaceDay day = race_with_ranking(c.runners, {}, c.from_2005);
        EXPECT_EQ(day.bracket_quinella_sold(0), c.shown) << c.runners << " " << c.from_2005;
    }
}

}  // namespace
}  // namespace tolven
