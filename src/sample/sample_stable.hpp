#pragma once

// The horses of the sample feed and their careers: who is entered for a race
// and how a horse goes on after it. Only the sample feed uses it.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sample/sample_programme.hpp"
#include "sample/sample_world.hpp"
#include "store/date_time.hpp"

namespace tolven::sample {

struct Horse {
    int id = 0;  // order of creation
    std::string pedigree;
    std::string name;  // CP932
    int birth_year = 0;
    char sex = '1';
    double ability = 97;
    double turf_preference = 0;  // positive: better on turf
    int best_distance = 1600;
    double kick = 0;  // finishing speed
    bool jumper = false;
    bool blinker = false;
    int wins = 0;            // flat wins, which decide the flat class
    int jump_wins = 0;       // wins over jumps, which decide the jump class
    int runs = 0;            // career starts, including those before the feed begins
    int recorded = 0;        // starts the feed holds
    unsigned flat_runs = 0;  // the latest recorded starts, latest in bit 0: 1 flat, 0 jump
    long next_due = 0;       // first day it is ready to run again
    long last_run = -1000;
    int jockey = 0;
    bool retired = false;
};

// The class one below the race's, whose horses may run in it "above their
// class"; the race's own level when there is none.
Level class_below(const RacePlan& plan);
// The class of a horse in the terms of the race: races of 2- and 3-year-olds
// know maidens, winners and open horses; older races four classes by wins;
// jump races maidens and winners over jumps.
Level class_of(const Horse& h, const RacePlan& plan);
// The condition code of the race record for a class.
const char* condition_code(Level level);

// Where the horses of a field may come from.
enum class Supply {
    Create,    // early history weeks: new horses join whenever a class has
               // fewer than three horses ready for every two places, so that
               // the classes fill up with a choice of runners
    Fill,      // late history weeks: new horses only for places nobody fills
    Existing,  // the feed: only horses whose earlier starts the feed holds
};

constexpr int kMinimumField = 8;

class Stable {
  public:
    explicit Stable(Rng& rng) : rng_(rng) {}

    // The horses of a field of (up to) size runners, in horse-number order.
    std::vector<Horse*> enter(const RacePlan& plan, const DateTime& date, Supply supply, int size);
    // Careers go on: the result counts, the horse develops and rests.
    void after_race(Horse& h, const RacePlan& plan, int position, const DateTime& date);
    // Horses too old, maidens past their chances and the injured leave.
    void retire(const DateTime& date);

    int horses() const { return static_cast<int>(horses_.size()); }

  private:
    bool may_run(const Horse& h, const RacePlan& plan, int year, long day, Supply supply) const;
    bool may_school(const Horse& h, const RacePlan& plan, int year) const;
    std::vector<Horse*> pick(std::vector<Horse*> candidates, int count);
    Horse& create(const RacePlan& plan, const DateTime& date);
    std::string unique_name();

    Rng& rng_;
    std::vector<std::unique_ptr<Horse>> horses_;
    std::vector<Horse*> active_;
    std::set<std::string> names_;
    std::map<int, int> serial_;  // per birth year
};

}  // namespace tolven::sample
