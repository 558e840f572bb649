#include "sample/sample_programme.hpp"

#include "store/code_tables.hpp"
#include "store/cp932.hpp"

namespace tolven::sample {

bool young_race(const RacePlan& plan) {
    return plan.type == 11 || plan.type == 12;
}

int youngest_age(int type) {
    switch (type) {
        case 11:
            return 2;
        case 14:
        case 19:
            return 4;
        default:
            return 3;
    }
}

std::string class_name(const RacePlan& plan) {
    std::string ages = plan.type == 11                      ? "２歳"
                       : plan.type == 12                    ? "３歳"
                       : plan.type == 14 || plan.type == 19 ? "４歳以上"
                                                            : "３歳以上";
    if (plan.jump) ages = "障害" + ages;
    switch (plan.level) {
        case Level::Debut:
            return ages + "新馬";
        case Level::Maiden:
            return ages + "未勝利";
        case Level::C1:
            return ages + "５００万下";
        case Level::C2:
            return ages + "１０００万下";
        case Level::C3:
            return ages + "１６００万下";
        case Level::Open:
            return ages + "オープン";
    }
    return ages;
}

std::vector<Slot> day_slots(const DateTime& date, bool first_course) {
    int m = date.month;
    bool spring = m < 6;
    int older = spring ? 14 : 13;
    bool saturday = date.weekday() == 6;
    std::vector<Slot> s(12);
    s[4] = {older, Level::C1, 1};
    s[6] = {older, Level::C1, 2};
    s[7] = {older, Level::C2, 1};
    s[8] = {older, Level::C2, 0};
    s[9] = {older, Level::C3, 2};
    s[10] = {older, Level::Open, 0};
    s[11] = {older, Level::C1, 1};
    if (spring) {
        s[0] = {12, Level::Maiden, 1};
        s[1] = {12, Level::Maiden, 0};
        s[2] = {12, Level::Maiden, 2};
        s[3] = {12, m <= 3 ? Level::Debut : Level::Maiden, 2};
        s[5] = {12, Level::C1, 0};
        s[6] = {12, Level::C1, 2};
        if (saturday && first_course) s[10] = {12, Level::Open, 0};
    } else {
        s[0] = {m <= 8 ? 12 : 11, Level::Maiden, 1};
        s[1] = {m <= 7 ? 12 : 11, Level::Maiden, 0};
        s[2] = {m <= 6 ? 12 : 11, Level::Maiden, 2};
        s[3] = {11, Level::Debut, 2};
        s[5] = {11, Level::Debut, 0};
        if (m >= 9) {
            s[8] = {11, Level::C1, 0};
            s[11] = {older, Level::C2, 1};
        }
        if (saturday && first_course && m >= 10) s[10] = {11, Level::Open, 0};
    }
    return s;
}

bool jump_day(const DateTime& date, Rng& rng) {
    return date.weekday() == 6 && rng.chance(0.6);
}

RacePlan race_of_slot(const Slot& slot, int number, Rng& rng) {
    RacePlan plan;
    plan.number = number;
    plan.type = slot.type;
    plan.level = slot.level;
    plan.turf = slot.surface == 0 || (slot.surface == 2 && rng.chance(0.5));
    return plan;
}

void make_jump_race(RacePlan& plan, Rng& rng) {
    plan.jump = true;
    plan.type = plan.type == 14 ? 19 : 18;
    plan.level = rng.chance(0.6) ? Level::Maiden : Level::Open;
    plan.turf = true;
    static const int jump_distances[] = {2880, 3000, 3300, 3350};
    plan.distance = jump_distances[rng.below(4)];
    plan.track = 54;
}

void choose_flat_distance(RacePlan& plan, const Course& c, Rng& rng) {
    std::vector<int> choices = plan.turf ? c.turf : c.dirt;
    if (young_race(plan) && plan.level != Level::Open) {
        std::erase_if(choices, [](int d) { return d > 2000; });
        if (choices.empty()) choices = {plan.turf ? c.turf.front() : c.dirt.front()};
    }
    plan.distance = rng.pick(choices);
    plan.track = plan.turf ? turf_track(c, plan.distance) : dirt_track(c);
}

void name_by_class(RacePlan& plan) {
    plan.weight_type = young_race(plan) && plan.level != Level::Open ? 3 : 4;
    plan.name = class_name(plan);
}

bool special_race(const RacePlan& plan) {
    return plan.number >= 9 && plan.number != 12 && !plan.jump;
}

void make_special_race(RacePlan& plan, Rng& rng) {
    plan.grade = 'E';
    std::string base = rng.pick(special_names());
    plan.name = base + (plan.level == Level::Open ? "ステークス" : "特別");
    plan.weight_type = plan.level == Level::C3 && rng.chance(0.4) ? 1 : 2;
}

bool graded_race(const RacePlan& plan, bool main_graded) {
    return plan.number == 11 && main_graded && !young_race(plan);
}

void make_graded_race(RacePlan& plan, const Course& c, Rng& rng) {
    static const char grades[] = {'A', 'B', 'C', 'C', 'D'};
    plan.grade = grades[rng.below(5)];
    plan.name = cp932::to_utf8(racecourse_name(c.code)) + (plan.grade == 'A' ? "大賞典"
                                                           : plan.grade == 'D' ? "ハンデキャップ"
                                                                               : "記念");
    plan.weight_type = plan.grade == 'A' ? 4 : plan.grade == 'D' ? 1 : 2;
}

std::vector<RacePlan> programme(const Course& c, const DateTime& date, bool first_course,
                                bool main_graded, Rng& rng) {
    bool jumps = jump_day(date, rng);
    std::vector<Slot> slots = day_slots(date, first_course);
    std::vector<RacePlan> plans;
    for (int i = 0; i < 12; ++i) {
        RacePlan plan = race_of_slot(slots[static_cast<std::size_t>(i)], i + 1, rng);
        if (plan.number == 5 && jumps) {
            make_jump_race(plan, rng);
        } else {
            choose_flat_distance(plan, c, rng);
        }
        name_by_class(plan);
        if (special_race(plan)) {
            make_special_race(plan, rng);
            if (graded_race(plan, main_graded)) make_graded_race(plan, c, rng);
        }
        plans.push_back(plan);
    }
    return plans;
}

}  // namespace tolven::sample
