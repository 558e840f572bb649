#pragma once

// The race programme of a sample race day: which twelve races a course runs
// and how each one is planned (class, surface, distance, name, grade). Only
// the sample feed uses it. Every phase that draws takes the generator, and
// the phases draw in the order `programme` calls them, so a seed gives the
// same programme.

#include <string>
#include <vector>

#include "sample/sample_world.hpp"
#include "store/date_time.hpp"

namespace tolven::sample {

enum class Level { Debut, Maiden, C1, C2, C3, Open };

struct RacePlan {
    int number = 1;
    int type = 13;  // race type code
    Level level = Level::C1;
    bool turf = true;
    bool jump = false;
    int distance = 1600;
    int track = 17;
    char grade = ' ';
    int weight_type = 4;
    std::string name;  // UTF-8
};

// Races of 2- or 3-year-olds only.
bool young_race(const RacePlan& plan);
// The youngest age a race of the type is for.
int youngest_age(int type);
// The name of a race by its ages and class, "３歳以上５００万下" (UTF-8).
std::string class_name(const RacePlan& plan);

struct Slot {
    int type;
    Level level;
    int surface;  // 0 turf, 1 dirt, 2 either
};

// The twelve races of a course's day. Until May the young races are for
// 3-year-olds and the older ones for 4-year-olds and up; from June the
// 2-year-olds begin, with two debut races a day, their maiden races taking
// over from the 3-year-olds' through the summer, and the 3-year-olds join
// their elders.
std::vector<Slot> day_slots(const DateTime& date, bool first_course);

// ---- The phases of a day's programme, in the order they draw ----------------------

// Whether the day runs a jump race (as its fifth race): most Saturdays.
bool jump_day(const DateTime& date, Rng& rng);

// The race a slot asks for: its number, type and class, and its surface
// (drawn where the slot takes either).
RacePlan race_of_slot(const Slot& slot, int number, Rng& rng);

// Turns a planned race into a jump race over turf: maiden or open, at one
// of the jump distances.
void make_jump_race(RacePlan& plan, Rng& rng);

// The distance of a flat race, from those the course runs on its surface
// (races of young horses below open class at most 2000 m), and its track.
void choose_flat_distance(RacePlan& plan, const Course& c, Rng& rng);

// The carried-weight rule and the name of an ordinary race of the class.
void name_by_class(RacePlan& plan);

// The day's special races: the ninth to the eleventh, unless a jump race.
bool special_race(const RacePlan& plan);

// A special race: grade E, named after a word with "特別" (or "ステークス"
// for open class), carrying weights by age or, now and then in the 1600万下
// class, a handicap.
void make_special_race(RacePlan& plan, Rng& rng);

// Whether a special race becomes the day's graded race: the eleventh race
// of the course that has one, unless it is for young horses.
bool graded_race(const RacePlan& plan, bool main_graded);

// The graded main race: a grade from A to D, named after the course
// ("中山大賞典", "中山記念", "中山ハンデキャップ"), with the weights of its
// grade.
void make_graded_race(RacePlan& plan, const Course& c, Rng& rng);

// The twelve races of a course on a day, through the phases above;
// main_graded: the day's graded race is run at this course.
std::vector<RacePlan> programme(const Course& c, const DateTime& date, bool first_course,
                                bool main_graded, Rng& rng);

}  // namespace tolven::sample
