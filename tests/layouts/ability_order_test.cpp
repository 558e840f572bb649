#include <gtest/gtest.h>

#include "analysis/ability_index.hpp"
#include "layouts/view_tables.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

TEST(AbilityOrder, ARunnerWithoutPastRunsScoresTheNoHistoryComposite) {
    PastFigures none{};
    EXPECT_EQ(summarise(none, none).composite, kNoHistoryComposite);
}

TEST(AbilityOrder, EntriesReadTheirKey) {
    struct Case {
        const char* key;
        double value;
        const char* label;
        bool without_history, near_no_history;
    } cases[] = {
        {"278.000- 1", 278.0, " 1", true, true},
        {"278.001- 2", 278.001, " 2", false, true},
        {"278.999-12", 278.999, "12", false, true},
        {"277.999- 3", 277.999, " 3", false, false},
        {"279.000-18", 279.0, "18", false, false},
        {"0000000- 5", 0.0, " 5", false, false},
    };
    for (const Case& c : cases) {
        AbilityOrderEntry entry{c.key};
        EXPECT_DOUBLE_EQ(entry.value(), c.value) << c.key;
        EXPECT_EQ(entry.label(), c.label) << c.key;
        EXPECT_EQ(entry.without_history(), c.without_history) << c.key;
        EXPECT_EQ(entry.near_no_history(), c.near_no_history) << c.key;
    }
}

TEST(AbilityOrder, BestFirstAndEqualScoresHigherNumberFirst) {
    RaceDay day;
    set_races(day, {{1600, 4}});
    const double scores[] = {280.5, kNoHistoryComposite, 280.5, 0};
    for (int r = 0; r < 4; ++r) day.figures[0].runner[static_cast<std::size_t>(r)].composite = scores[r];
    std::vector<std::string> keys;
    for (const AbilityOrderEntry& e : ability_order(day, 0)) keys.push_back(e.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"280.500- 3", "280.500- 1", "278.000- 2",
                                              "0000000- 4"}));
}

}  // namespace
}  // namespace tolven
