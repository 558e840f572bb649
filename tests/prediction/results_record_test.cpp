#include "prediction/results_record.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

// Puts payout entry k of a group: combination and amount.
void pay(std::string& hr, const PayoutGroup& g, int k, const char* combination, int amount) {
    RecordBuilder b(RecordKind::Payout);
    std::string entry = b.payout(g, k, combination, amount).str();
    std::size_t at = g.offset + static_cast<std::size_t>(k) * g.entry_width;
    hr.replace(at, g.entry_width, entry, at, g.entry_width);
}

std::string text(const std::vector<std::string>& lines) {
    std::string t;
    for (const auto& l : lines) t += cp932::to_utf8(l) + "\n";
    return t;
}

TEST(ResultsRecord, WholeTextBothSetsBothStates) {
    RaceDay day;
    set_races(day, {{1600, 12}, {1800, 8}, {1200, 16}});
    day.race[0].replace(header::kai.offset, 4, "0508");
    // Race 1: a dead heat for second gives two quinella entries.
    std::string hr = RecordBuilder(RecordKind::Payout).race(20261205, "06", 5, 8, 1).str();
    pay(hr, hr::quinella, 0, "0312", 1230);
    pay(hr, hr::quinella, 1, "0305", 880);
    pay(hr, hr::bracket_quinella, 0, "37", 560);
    pay(hr, hr::wide, 0, "0312", 400);
    pay(hr, hr::wide, 1, "0305", 300);
    pay(hr, hr::wide, 2, "0305", 0);  // not present: no amount
    day.payout[0] = hr;
    // Race 2, eight runners on a day from 2005: no bracket lines even with a payout.
    hr = RecordBuilder(RecordKind::Payout).race(20261205, "06", 5, 8, 2).str();
    pay(hr, hr::quinella, 0, "0107", 2450);
    pay(hr, hr::bracket_quinella, 0, "17", 2450);
    pay(hr, hr::wide, 0, "0719", 990);  // horse 19: five blanks, never a hit
    day.payout[1] = hr;
    day.bets[0].computer_quinella = bet_list({" 3-12", " 3- 7"});
    day.bets[0].computer_bracket = bet_list({" 3- 7"});
    day.bets[0].user_quinella = bet_list({" 3- 5"});
    day.bets[1].computer_quinella = bet_list({" 1- 7"});

    EXPECT_EQ(text(results_record(day, false)),
              "<< 的中レースリスト >>\n"
              "2026年12月05日中山05回08日\n"
              "\n"
              "※コンピューター予想\n"
              "========================================\n"
              "【馬連】\n"
              " 1R　的中　 3-12    1230円　　\n"
              " 1R　　　　 3- 5     880円　　\n"
              " 2R　的中　 1- 7    2450円　　\n"
              "----------------------------------------\n"
              "【枠連】\n"
              " 1R　的中　 3- 7     560円　　\n"
              "----------------------------------------\n"
              "【ﾜｲﾄﾞ】\n"
              " 1R　的中　 3-12     400円　　\n"
              " 1R　　　　 3- 5     300円　　\n"
              " 2R　　　　          990円　　\n"
              "\n"
              "※ユーザー予想\n"
              "========================================\n"
              "【馬連】\n"
              " 1R　　　　 3-12    1230円　　\n"
              " 1R　的中　 3- 5     880円　　\n"
              " 2R　　　　 1- 7    2450円　　\n"
              "----------------------------------------\n"
              "【枠連】\n"
              " 1R　　　　 3- 7     560円　　\n"
              "----------------------------------------\n"
              "【ﾜｲﾄﾞ】\n"
              " 1R　　　　 3-12     400円　　\n"
              " 1R　的中　 3- 5     300円　　\n"
              " 2R　　　　          990円　　\n");

    std::string hits = text(results_record(day, true));
    EXPECT_EQ(hits.find("　　　　"), std::string::npos);
    EXPECT_NE(hits.find(" 1R　的中　 3- 5     880円　　\n"), std::string::npos);

    // A day before 2005: the eight-runner race has its bracket line.
    day.from_2005 = false;
    EXPECT_NE(text(results_record(day, false)).find(" 2R　　　　 1- 7    2450円"),
              text(results_record(day, false)).rfind(" 2R　　　　 1- 7    2450円"));
}

TEST(ResultsRecord, AWideHitNeedsTheExactPair) {
    RaceDay day;
    set_races(day, {{1600, 12}});
    std::string hr = RecordBuilder(RecordKind::Payout).race(20261205, "06", 5, 3, 1).str();
    pay(hr, hr::wide, 0, "0307", 250);
    day.payout[0] = hr;
    day.bets[0].computer_quinella = bet_list({" 3-12"});
    EXPECT_EQ(text(results_record(day, true)).find("的中　"), std::string::npos);
    day.bets[0].computer_quinella = bet_list({" 3-12", " 3- 7"});
    EXPECT_NE(text(results_record(day, true)).find(" 1R　的中　 3- 7     250円"),
              std::string::npos);
}

}  // namespace
}  // namespace tolven
