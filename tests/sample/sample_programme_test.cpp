#include "sample/sample_programme.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tolven::sample {
namespace {

const char* level_text(Level level) {
    switch (level) {
        case Level::Debut:
            return "debut";
        case Level::Maiden:
            return "maiden";
        case Level::C1:
            return "C1";
        case Level::C2:
            return "C2";
        case Level::C3:
            return "C3";
        case Level::Open:
            return "open";
    }
    return "?";
}

// "type level surface" of each slot, one line a race.
std::string slots_text(const std::vector<Slot>& slots) {
    std::string text;
    for (const Slot& s : slots) {
        text += std::to_string(s.type) + " " + level_text(s.level) + " " +
                "TDE"[s.surface] + "\n";
    }
    return text;
}

TEST(SampleProgramme, DaySlotsBySeasonAndDay) {
    struct Case {
        const char* what;
        DateTime date;
        bool first_course;
        const char* slots;
    } cases[] = {
        {"a March Saturday at the first course: debut race 4, young open race 11",
         DateTime{2026, 3, 7}, true,
         "12 maiden D\n12 maiden T\n12 maiden E\n12 debut E\n14 C1 D\n12 C1 T\n"
         "12 C1 E\n14 C2 D\n14 C2 T\n14 C3 E\n12 open T\n14 C1 D\n"},
        {"an April Sunday: race 4 for maidens, older open race 11", DateTime{2026, 4, 5}, true,
         "12 maiden D\n12 maiden T\n12 maiden E\n12 maiden E\n14 C1 D\n12 C1 T\n"
         "12 C1 E\n14 C2 D\n14 C2 T\n14 C3 E\n14 open T\n14 C1 D\n"},
        {"a July Saturday at the second course: the 2-year-olds begin", DateTime{2026, 7, 4},
         false,
         "12 maiden D\n12 maiden T\n11 maiden E\n11 debut E\n13 C1 D\n11 debut T\n"
         "13 C1 E\n13 C2 D\n13 C2 T\n13 C3 E\n13 open T\n13 C1 D\n"},
        {"an October Saturday at the first course", DateTime{2026, 10, 3}, true,
         "11 maiden D\n11 maiden T\n11 maiden E\n11 debut E\n13 C1 D\n11 debut T\n"
         "13 C1 E\n13 C2 D\n11 C1 T\n13 C3 E\n11 open T\n13 C2 D\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(slots_text(day_slots(c.date, c.first_course)), c.slots) << c.what;
    }
}

TEST(SampleProgramme, JumpRacesOnSaturdaysOnly) {
    int saturdays_with_jumps = 0;
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        Rng sunday(seed);
        EXPECT_FALSE(jump_day(DateTime{2026, 12, 6}, sunday));
        Rng saturday(seed);
        saturdays_with_jumps += jump_day(DateTime{2026, 12, 5}, saturday) ? 1 : 0;
    }
    EXPECT_GT(saturdays_with_jumps, 90);
    EXPECT_LT(saturdays_with_jumps, 150);
}

TEST(SampleProgramme, ASlotDrawsItsSurfaceOnlyWhenItTakesEither) {
    Rng rng(5), untouched(5);
    RacePlan turf = race_of_slot(Slot{13, Level::C2, 0}, 9, rng);
    RacePlan dirt = race_of_slot(Slot{14, Level::C1, 1}, 5, rng);
    EXPECT_EQ(rng.next(), untouched.next()) << "a fixed surface draws nothing";
    EXPECT_EQ(turf.number, 9);
    EXPECT_EQ(turf.type, 13);
    EXPECT_EQ(turf.level, Level::C2);
    EXPECT_TRUE(turf.turf);
    EXPECT_FALSE(dirt.turf);
    std::set<bool> surfaces;
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        Rng either(seed);
        surfaces.insert(race_of_slot(Slot{12, Level::Maiden, 2}, 3, either).turf);
    }
    EXPECT_EQ(surfaces.size(), 2u);
}

TEST(SampleProgramme, JumpRaces) {
    std::set<int> distances;
    std::set<Level> levels;
    for (std::uint64_t seed = 1; seed <= 50; ++seed) {
        Rng rng(seed);
        for (int type : {13, 14}) {
            RacePlan plan = race_of_slot(Slot{type, Level::C1, 1}, 5, rng);
            make_jump_race(plan, rng);
            EXPECT_TRUE(plan.jump);
            EXPECT_TRUE(plan.turf);
            EXPECT_EQ(plan.type, type == 14 ? 19 : 18);
            EXPECT_EQ(plan.track, 54);
            distances.insert(plan.distance);
            levels.insert(plan.level);
            name_by_class(plan);
            EXPECT_FALSE(special_race(plan));
        }
    }
    EXPECT_EQ(distances, (std::set<int>{2880, 3000, 3300, 3350}));
    EXPECT_EQ(levels, (std::set<Level>{Level::Maiden, Level::Open}));
}

TEST(SampleProgramme, FlatDistancesFromTheCourse) {
    const Course& tokyo = course("05");
    struct Case {
        const char* what;
        Slot slot;
        std::set<int> distances;
    } cases[] = {
        {"older horses on turf: every turf distance", {13, Level::C2, 0},
         {1400, 1600, 1800, 2000, 2300, 2400, 2500, 3400}},
        {"young maidens on turf: at most 2000 m", {12, Level::Maiden, 0},
         {1400, 1600, 1800, 2000}},
        {"young open horses on turf: every turf distance", {11, Level::Open, 0},
         {1400, 1600, 1800, 2000, 2300, 2400, 2500, 3400}},
        {"older horses on dirt", {14, Level::C1, 1}, {1300, 1400, 1600, 2100}},
        {"young horses on dirt: at most 2000 m", {12, Level::C1, 1}, {1300, 1400, 1600}},
    };
    for (const auto& c : cases) {
        std::set<int> seen;
        for (std::uint64_t seed = 1; seed <= 300; ++seed) {
            Rng rng(seed);
            RacePlan plan = race_of_slot(c.slot, 1, rng);
            choose_flat_distance(plan, tokyo, rng);
            seen.insert(plan.distance);
            EXPECT_EQ(plan.track, plan.turf ? turf_track(tokyo, plan.distance) : dirt_track(tokyo))
                << c.what;
        }
        EXPECT_EQ(seen, c.distances) << c.what;
    }
    // Where the course runs nothing as short, the shortest distance it runs.
    Course long_only{"05", true, {2400, 3000}, {2100}, 1.0};
    Rng rng(1);
    RacePlan plan = race_of_slot(Slot{12, Level::Maiden, 0}, 1, rng);
    choose_flat_distance(plan, long_only, rng);
    EXPECT_EQ(plan.distance, 2400);
}

TEST(SampleProgramme, NamesAndWeightsByClass) {
    struct Case {
        Slot slot;
        bool jump;
        const char* name;
        int weight_type;
    } cases[] = {
        {{11, Level::Debut, 0}, false, "２歳新馬", 3},
        {{12, Level::Maiden, 0}, false, "３歳未勝利", 3},
        {{12, Level::Open, 0}, false, "３歳オープン", 4},
        {{13, Level::C1, 0}, false, "３歳以上５００万下", 4},
        {{14, Level::C2, 0}, false, "４歳以上１０００万下", 4},
        {{13, Level::C3, 0}, false, "３歳以上１６００万下", 4},
        {{18, Level::Maiden, 0}, true, "障害３歳以上未勝利", 4},
        {{19, Level::Open, 0}, true, "障害４歳以上オープン", 4},
    };
    for (const auto& c : cases) {
        Rng rng(1);
        RacePlan plan = race_of_slot(c.slot, 1, rng);
        plan.jump = c.jump;
        name_by_class(plan);
        EXPECT_EQ(plan.name, c.name);
        EXPECT_EQ(plan.weight_type, c.weight_type) << c.name;
        EXPECT_EQ(plan.grade, ' ') << c.name;
    }
}

TEST(SampleProgramme, SpecialAndGradedRaces) {
    for (int number = 1; number <= 12; ++number) {
        RacePlan plan;
        plan.number = number;
        EXPECT_EQ(special_race(plan), number >= 9 && number <= 11) << number;
        plan.type = 13;
        EXPECT_EQ(graded_race(plan, true), number == 11) << number;
        EXPECT_FALSE(graded_race(plan, false)) << number;
        plan.type = 12;
        EXPECT_FALSE(graded_race(plan, true)) << number;
    }
    std::set<std::string> specials;
    std::map<char, std::pair<std::string, int>> graded;
    for (std::uint64_t seed = 1; seed <= 100; ++seed) {
        Rng rng(seed);
        RacePlan plan = race_of_slot(Slot{13, Level::Open, 0}, 11, rng);
        make_special_race(plan, rng);
        EXPECT_EQ(plan.grade, 'E');
        EXPECT_EQ(plan.weight_type, 2);
        EXPECT_TRUE(plan.name.ends_with("ステークス")) << plan.name;
        specials.insert(plan.name);
        make_graded_race(plan, course("06"), rng);
        graded[plan.grade] = {plan.name, plan.weight_type};
    }
    EXPECT_GT(specials.size(), 5u);
    std::map<char, std::pair<std::string, int>> expected = {{'A', {"中山大賞典", 4}},
                                                           {'B', {"中山記念", 2}},
                                                           {'C', {"中山記念", 2}},
                                                           {'D', {"中山ハンデキャップ", 1}}};
    EXPECT_EQ(graded, expected);
    // A 1600万下 special race is now and then a handicap.
    std::set<int> weights;
    for (std::uint64_t seed = 1; seed <= 50; ++seed) {
        Rng rng(seed);
        RacePlan plan = race_of_slot(Slot{13, Level::C3, 0}, 10, rng);
        make_special_race(plan, rng);
        EXPECT_TRUE(plan.name.ends_with("特別")) << plan.name;
        weights.insert(plan.weight_type);
    }
    EXPECT_EQ(weights, (std::set<int>{1, 2}));
}

TEST(SampleProgramme, ADayThroughThePhases) {
    // Saturday 5 December 2026 at Nakayama, the first course, with a seed
    // that makes it a jump day.
    const DateTime saturday{2026, 12, 5};
    std::uint64_t seed = 1;
    for (Rng probe(seed); !jump_day(saturday, probe); probe = Rng(++seed)) {
    }
    Rng rng(seed);
    std::vector<RacePlan> plans = programme(course("06"), saturday, true, false, rng);
    ASSERT_EQ(plans.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        const RacePlan& plan = plans[static_cast<std::size_t>(i)];
        EXPECT_EQ(plan.number, i + 1);
        EXPECT_EQ(plan.jump, i == 4) << plan.number;
        EXPECT_EQ(plan.grade, i >= 8 && i <= 10 ? 'E' : ' ') << plan.number;
    }
    EXPECT_EQ(plans[4].type, 18);
    EXPECT_TRUE(plans[4].name.starts_with("障害３歳以上")) << plans[4].name;
    // The graded race is the eleventh of the course that has it.
    Rng sunday_rng(seed);
    std::vector<RacePlan> sunday =
        programme(course("06"), DateTime{2026, 12, 6}, true, true, sunday_rng);
    EXPECT_NE(sunday[10].grade, 'E');
    EXPECT_NE(sunday[10].grade, ' ');
    EXPECT_TRUE(sunday[10].name.starts_with("中山")) << sunday[10].name;
    for (const RacePlan& plan : sunday) EXPECT_FALSE(plan.jump) << plan.number;
}

}  // namespace
}  // namespace tolven::sample
