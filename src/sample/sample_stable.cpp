#include "sample/sample_stable.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sample/sample_dates.hpp"
#include "store/cp932.hpp"

namespace tolven::sample {

// ---- Classes: horses in the terms of a race ------------------------------------

// The class one below the race's, whose horses may run in it "above their
// class"; the race's own level when there is none.
Level class_below(const RacePlan& plan) {
    if (plan.jump) return Level::Maiden;
    switch (plan.level) {
        case Level::C1:
            return Level::Maiden;
        case Level::C2:
            return Level::C1;
        case Level::C3:
            return Level::C2;
        case Level::Open:
            return young_race(plan) ? Level::C1 : Level::C3;
        default:
            return plan.level;
    }
}

// The class of a horse in the terms of the race: races of 2- and 3-year-olds
// know maidens, winners and open horses; older races four classes by wins;
// jump races maidens and winners over jumps.
Level class_of(const Horse& h, const RacePlan& plan) {
    if (plan.jump) return h.jump_wins == 0 ? Level::Maiden : Level::Open;
    if (h.runs == 0) return Level::Debut;
    if (h.wins == 0) return Level::Maiden;
    if (young_race(plan)) return h.wins == 1 ? Level::C1 : Level::Open;
    switch (h.wins) {
        case 1:
            return Level::C1;
        case 2:
            return Level::C2;
        case 3:
            return Level::C3;
        default:
            return Level::Open;
    }
}

const char* condition_code(Level level) {
    switch (level) {
        case Level::Debut:
            return "701";
        case Level::Maiden:
            return "703";
        case Level::C1:
            return "005";
        case Level::C2:
            return "010";
        case Level::C3:
            return "016";
        case Level::Open:
            return "999";
    }
    return "000";
}

std::string Stable::unique_name() {
    // Two words make most names; once they run short, syllables.
    for (int attempt = 0; attempt < 30; ++attempt) {
        std::string name = rng_.pick(name_words()) + rng_.pick(name_words());
        if (characters(name) <= 9 && names_.insert(name).second) return sj(name);
    }
    for (;;) {
        std::string name;
        int n = 4 + rng_.below(5);
        for (int i = 0; i < n; ++i) name += rng_.pick(name_syllables());
        if (name.rfind("ー", 0) == 0 || name.rfind("ン", 0) == 0) continue;
        if (characters(name) <= 9 && names_.insert(name).second) return sj(name);
    }
}

// A horse of the race's class that comes from outside the feed: a newcomer
// for a debut race, otherwise a horse whose career so far the feed does not
// hold.
Horse& Stable::create(const RacePlan& plan, const DateTime& date) {
    auto horse = std::make_unique<Horse>();
    int youngest = youngest_age(plan.type);
    int age = youngest;
    if (plan.jump) {
        age = 4 + rng_.below(4);
    } else if (!young_race(plan)) {
        switch (plan.level) {
            case Level::C1:
                age = 3 + rng_.below(3);
                break;
            case Level::C2:
                age = 4 + rng_.below(3);
                break;
            default:
                age = 4 + rng_.below(4);
        }
    }
    age = std::clamp(age, youngest, 8);
    int birth_year = date.year - age;
    int serial = ++serial_[birth_year];
    char pedigree[32];
    std::snprintf(pedigree, sizeof pedigree, "%04d1%05d", birth_year, serial % 100000);
    horse->id = static_cast<int>(horses_.size());
    horse->pedigree = pedigree;
    horse->name = unique_name();
    horse->birth_year = birth_year;
    int sex = rng_.below(100);
    horse->sex = sex < 55 ? '1' : sex < 92 ? '2' : '3';
    if (plan.jump) {
        horse->jumper = true;
        horse->wins = rng_.below(2);
        horse->jump_wins = plan.level == Level::Open ? 1 + rng_.below(3) : 0;
    } else {
        switch (plan.level) {
            case Level::C1:
                horse->wins = 1;
                break;
            case Level::C2:
                horse->wins = 2;
                break;
            case Level::C3:
                horse->wins = 3;
                break;
            case Level::Open:
                horse->wins = young_race(plan) ? 2 : 4 + rng_.below(3);
                break;
            default:
                horse->wins = 0;
        }
    }
    if (plan.level != Level::Debut) {
        horse->runs = horse->wins + horse->jump_wins + 1 + rng_.below(3) * (age - 1);
    }
    horse->ability = rng_.normal(96.5 + 1.3 * std::min(horse->wins, 6), 1.3);
    horse->turf_preference = rng_.normal(0, 1.2);
    static const int distances[] = {1200, 1400, 1600, 1800, 2000, 2200, 2400, 2600};
    horse->best_distance = distances[rng_.below(8)];
    horse->kick = rng_.normal(0, 1.0);
    horse->blinker = rng_.chance(0.12);
    horse->jockey = rng_.below(static_cast<int>(jockeys().size()));
    horse->next_due = day_number(date);
    horses_.push_back(std::move(horse));
    active_.push_back(horses_.back().get());
    return *horses_.back();
}

bool Stable::may_run(const Horse& h, const RacePlan& plan, int year, long day,
                     Supply supply) const {
    if (h.retired || h.last_run == day) return false;
    int age = year - h.birth_year;
    if (age < youngest_age(plan.type) || age > 8) return false;
    if (young_race(plan) && age != youngest_age(plan.type)) return false;
    // Jump races earn no index: in the feed every starter has a flat run
    // among its latest five on record, and a jumper comes back to the jumps
    // only with one.
    bool flat_on_record = (h.flat_runs & 0x1F) != 0;
    if (supply == Supply::Existing && !flat_on_record) return false;
    if (plan.jump) return h.jumper && (h.recorded == 0 || flat_on_record);
    // A jumper runs on the flat now and then, after three jump races.
    return !h.jumper || (h.flat_runs & 0x7) == 0;
}

bool Stable::may_school(const Horse& h, const RacePlan& plan, int year) const {
    int age = year - h.birth_year;
    return !h.jumper && !h.retired && h.wins <= 2 && (h.flat_runs & 0x1F) != 0 &&
           age >= youngest_age(plan.type) && age <= 7;
}

// The horses waiting longest come first, with some chance in who is entered.
std::vector<Horse*> Stable::pick(std::vector<Horse*> candidates, int count) {
    std::size_t keep = static_cast<std::size_t>(count);
    std::size_t shortlist = std::min(candidates.size(), keep * 2);
    std::partial_sort(candidates.begin(), candidates.begin() + static_cast<long>(shortlist),
                      candidates.end(), [](const Horse* a, const Horse* b) {
                          return a->next_due != b->next_due ? a->next_due < b->next_due
                                                            : a->id < b->id;
                      });
    candidates.resize(shortlist);
    for (std::size_t i = candidates.size(); i > 1; --i) {
        std::swap(candidates[i - 1],
                  candidates[static_cast<std::size_t>(rng_.below(static_cast<int>(i)))]);
    }
    if (candidates.size() > keep) candidates.resize(keep);
    return candidates;
}

std::vector<Horse*> Stable::enter(const RacePlan& plan, const DateTime& date, Supply supply,
                                  int size) {
    std::vector<Horse*> field;
    if (plan.level == Level::Debut) {
        for (int i = 0; i < size; ++i) field.push_back(&create(plan, date));
        return field;
    }
    long day = day_number(date);
    // Candidates: horses of the class that are ready, horses of the class
    // below (running above their class), horses of the class that ran only a
    // week or two ago, and for a jump race modest flat horses to be schooled
    // over jumps (the rested ones first).
    std::vector<Horse*> ready, above_class, fresh_back, schooling;
    for (Horse* h : active_) {
        bool rested = h->next_due <= day;
        if (plan.jump && h->last_run + 7 <= day && may_school(*h, plan, date.year)) {
            schooling.push_back(h);
        }
        if (!may_run(*h, plan, date.year, day, supply)) continue;
        Level level = class_of(*h, plan);
        if (level == plan.level) {
            if (rested) {
                ready.push_back(h);
            } else if (h->last_run + 7 <= day) {
                fresh_back.push_back(h);
            }
        } else if (rested && level == class_below(plan)) {
            above_class.push_back(h);
        }
    }
    if (supply == Supply::Create) {
        ready.insert(ready.end(), schooling.begin(), schooling.end());
        schooling.clear();
        while (ready.size() * 2 < static_cast<std::size_t>(size) * 3) {
            ready.push_back(&create(plan, date));
        }
    }
    field = pick(std::move(ready), size);
    auto fill_from = [&](std::vector<Horse*> more) {
        int missing = size - static_cast<int>(field.size());
        if (missing > 0) {
            for (Horse* h : pick(std::move(more), missing)) field.push_back(h);
        }
    };
    fill_from(std::move(above_class));
    fill_from(std::move(fresh_back));
    fill_from(std::move(schooling));
    // The feed shrinks a field rather than bring in a horse without a
    // career on record, down to the smallest field it runs.
    int minimum = supply == Supply::Existing ? kMinimumField : size;
    while (static_cast<int>(field.size()) < minimum) field.push_back(&create(plan, date));
    for (Horse* h : field) h->jumper = h->jumper || plan.jump;
    // Horse numbers are drawn.
    for (std::size_t i = field.size(); i > 1; --i) {
        std::swap(field[i - 1], field[static_cast<std::size_t>(rng_.below(static_cast<int>(i)))]);
    }
    return field;
}

void Stable::after_race(Horse& h, const RacePlan& plan, int position, const DateTime& date) {
    h.runs += 1;
    h.recorded += 1;
    h.flat_runs = (h.flat_runs << 1) | (plan.jump ? 0U : 1U);
    if (position == 1) (plan.jump ? h.jump_wins : h.wins) += 1;
    int age = date.year - h.birth_year;
    if (age <= 3) h.ability += rng_.normal(0.25, 0.3);
    if (age >= 7) h.ability -= std::abs(rng_.normal(0.15, 0.15));
    long day = day_number(date);
    h.last_run = day;
    h.next_due = day + 14 + rng_.below(4) * 7;
    if (rng_.chance(0.025) || h.runs >= 50) h.retired = true;
}

void Stable::retire(const DateTime& date) {
    for (Horse* h : active_) {
        int age = date.year - h->birth_year;
        if (age > 8 || (age >= 4 && h->wins == 0 && !h->jumper)) h->retired = true;
    }
    std::erase_if(active_, [](const Horse* h) { return h->retired; });
}

}  // namespace tolven::sample
