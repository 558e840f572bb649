#include "model/race_day.hpp"

#include <gtest/gtest.h>

#include <string>

#include "store/record_builder.hpp"

namespace tolven {
namespace {

// Bracket quinella tickets: always before 2005; from 2005 on only in a race
// of more than eight runners.
TEST(RaceDay, BracketQuinellaIsSoldBefore2005OrWithMoreThanEightRunners) {
    struct Case {
        bool from_2005;
        int runners;
        bool sold;
    } cases[] = {
        {true, 0, false},  {true, 8, false},  {true, 9, true},   {true, 18, true},
        {false, 0, true},  {false, 8, true},  {false, 9, true},  {false, 18, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from_2005) + "/" + std::to_string(c.runners));
        RaceDay day;
        day.from_2005 = c.from_2005;
        day.race[3] = RecordBuilder(RecordKind::Race).number(ra::entries, c.runners).str();
        EXPECT_EQ(day.runners(3), c.runners);
        EXPECT_EQ(day.bracket_quinella_sold(3), c.sold);
    }
}

}  // namespace
}  // namespace tolven
