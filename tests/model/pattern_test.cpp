#include <gtest/gtest.h>

#include "model/race_day.hpp"

namespace tolven {
namespace {

TEST(Pattern, LettersAndTheEmptyPattern) {
    const std::pair<Pattern, const char*> cases[] = {
        {Pattern::A, "A"}, {Pattern::B, "B"}, {Pattern::C, "C"}, {Pattern::None, ""}};
    for (const auto& [pattern, letter] : cases) EXPECT_EQ(pattern_letter(pattern), letter);
    // A reset day has no pattern.
    RaceDay day;
    day.prediction[3].pattern = Pattern::B;
    day.reset_predictions();
    EXPECT_EQ(day.prediction[3].pattern, Pattern::None);
}

}  // namespace
}  // namespace tolven
