#include "sample/sample_feed.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "sample/sample_market.hpp"
#include "sample/sample_programme.hpp"
#include "sample/sample_world.hpp"
#include "store/atomic_file.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/date_time.hpp"
#include "store/record_builder.hpp"

namespace fs = std::filesystem;

namespace tolven {

using sample::Level;
using sample::RacePlan;
using sample::Rng;
using sample::young_race;
using sample::youngest_age;

namespace {

DateTime today_of(const SampleFeedOptions& options) {
    DateTime today = DateTime::now();
    if (options.today != 0) {
        today = DateTime{options.today / 10000, options.today / 100 % 100, options.today % 100};
    }
    today.hour = 9;
    today.minute = today.second = 0;
    return today;
}

DateTime date_of(int yyyymmdd) {
    return DateTime{yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100, 9, 0, 0};
}

long day_number(const DateTime& d) {
    return days_from_civil(d.year, d.month, d.day);
}

// Weeks counted from Monday to Sunday, so that a weekend shares its number.
long week_number(const DateTime& d) {
    long since_monday = day_number(d) + 3;  // 1970-01-01 was a Thursday
    return since_monday >= 0 ? since_monday / 7 : (since_monday - 6) / 7;
}

}  // namespace

// ---- The meeting calendar ------------------------------------------------------

std::vector<SampleRaceDay> sample_calendar(const SampleFeedOptions& options) {
    DateTime today = today_of(options);
    std::vector<SampleRaceDay> days;
    // Weekends back to the first feed week, and before it the history weeks.
    int feed_days = options.weeks * 7;
    for (int back = (options.weeks + kSampleHistoryWeeks) * 7; back >= 2; --back) {
        DateTime d = today.plus_days(-back);
        if (d.weekday() == 6 || d.weekday() == 0) {
            days.push_back(
                {d.date_number(), back > feed_days ? SampleStage::History : SampleStage::Past, {}});
        }
    }
    days.push_back({today.plus_days(-1).date_number(), SampleStage::Yesterday, {}});
    days.push_back({today.date_number(), SampleStage::Today, {}});

    // A meeting (kai) runs through one month at a course: it is numbered
    // among the months of the year the course races in, and its days (nichi)
    // are counted from the first of the month, whatever day the feed starts.
    std::set<int> race_dates;
    for (const SampleRaceDay& day : days) race_dates.insert(day.date);
    auto races_on = [](const std::string& code, const DateTime& d) {
        auto list = sample::courses_of(d.month, static_cast<int>(week_number(d)));
        return std::find(list.begin(), list.end(), code) != list.end();
    };
    for (SampleRaceDay& day : days) {
        DateTime date = date_of(day.date);
        for (const std::string& code :
             sample::courses_of(date.month, static_cast<int>(week_number(date)))) {
            SampleMeeting meeting{code, 0, 1};
            for (int month = 1; month <= date.month; ++month) {
                auto list = sample::courses_of(month, 0);  // an even week: every course
                meeting.kai += std::find(list.begin(), list.end(), code) != list.end() ? 1 : 0;
            }
            for (DateTime d{date.year, date.month, 1, 9, 0, 0}; d.day < date.day;
                 d = d.plus_days(1)) {
                bool race_day =
                    d.weekday() == 6 || d.weekday() == 0 || race_dates.count(d.date_number()) > 0;
                if (race_day && races_on(code, d)) ++meeting.nichi;
            }
            day.meetings.push_back(meeting);
        }
    }
    return days;
}

namespace {

// ---- Horses ----------------------------------------------------------------------

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

// ---- The stable: horses, their entries and careers ----------------------------------

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

std::string Stable::unique_name() {
    // Two words make most names; once they run short, syllables.
    for (int attempt = 0; attempt < 30; ++attempt) {
        std::string name = rng_.pick(sample::name_words()) + rng_.pick(sample::name_words());
        if (sample::characters(name) <= 9 && names_.insert(name).second) return sj(name);
    }
    for (;;) {
        std::string name;
        int n = 4 + rng_.below(5);
        for (int i = 0; i < n; ++i) name += rng_.pick(sample::name_syllables());
        if (name.rfind("ー", 0) == 0 || name.rfind("ン", 0) == 0) continue;
        if (sample::characters(name) <= 9 && names_.insert(name).second) return sj(name);
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
    horse->jockey = rng_.below(static_cast<int>(sample::jockeys().size()));
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

// ---- Entries and the race itself ----------------------------------------------------

struct Runner {
    Horse* horse = nullptr;
    int number = 0;
    int bracket = 0;
    int jockey = 0;
    int weight = 550;
    double strength = 0;  // what the horse is worth on the day's race, before its form
    double expected = 0;  // what the market expects
    double performance = 0;
    double time = 0;  // seconds
    int time_tenths = 0;
    int last3f_tenths = 0;
    int position = 0;
};

// Horse numbers, brackets, jockeys and carried weights of a field.
std::vector<Runner> entries(const RacePlan& plan, const std::vector<Horse*>& field, int year,
                            Rng& rng) {
    int size = static_cast<int>(field.size());
    std::vector<Runner> runners;
    for (int i = 0; i < size; ++i) {
        Runner r;
        r.horse = field[static_cast<std::size_t>(i)];
        const Horse& h = *r.horse;
        r.number = i + 1;
        r.bracket = bracket_number(size, r.number);
        r.jockey =
            rng.chance(0.7) ? h.jockey : rng.below(static_cast<int>(sample::jockeys().size()));
        int age = year - h.birth_year;
        int weight = age <= 2 ? 550 : plan.jump ? 600 : 570;
        if (!young_race(plan) && age == 3) weight -= 20;
        if (h.sex == '2') weight -= 20;
        int wins = plan.jump ? h.jump_wins : h.wins;
        if (plan.weight_type == 1) weight += (wins - 2) * 10 + rng.below(3) * 5;
        if (plan.weight_type == 2) weight += std::min(wins, 6) * 5;
        char apprentice = sample::jockeys()[static_cast<std::size_t>(r.jockey)].apprentice;
        if (apprentice >= '1' && apprentice <= '3' && plan.grade == ' ') {
            weight -= (apprentice - '0') * 10;
        }
        r.weight = weight;
        runners.push_back(r);
    }
    return runners;
}

// How a race's result varies: a runner's performance on the day is its
// strength with a normal error of this spread (a standard deviation).
constexpr double kFormSpread = 1.4;
// How far the public's view of a runner (what the market expects of it) is
// off its strength: the error drawn, and the part of it the public keeps
// (the rest it reads off the paddock, the stable and the money).
constexpr double kMarketError = 0.7;
constexpr double kPublicError = 0.2;
// How much each pool's public differs from the others' on a combination (a
// quinella and the same bracket quinella do not pay alike).
constexpr double kPoolSpread = 0.1;
// The part of a pool backed evenly, whatever the chances (birthdays, names,
// boxes of every combination): it keeps the longest odds within reason, as
// in a real pool, where a runner with next to no chance still pays some
// thousands to one, not millions.
constexpr double kEvenMoney = 0.003;

struct Going {
    int turf = 1;
    int dirt = 1;
};

Going draw_going(Rng& rng) {
    auto going_of = [&](bool turf) {
        int g = rng.below(100);
        if (turf) return g < 72 ? 1 : g < 88 ? 2 : g < 96 ? 3 : 4;
        return g < 55 ? 1 : g < 78 ? 2 : g < 92 ? 3 : 4;
    };
    Going going;
    going.turf = going_of(true);
    going.dirt = going_of(false);
    return going;
}

// Times, last three furlongs and finishing order: the fastest time wins,
// positions follow the times, and now and then two share a place.
void run_race(const RacePlan& plan, const sample::Course& c, const Going& going,
              std::vector<Runner>& runners, Rng& rng) {
    int g = plan.turf ? going.turf : going.dirt;
    double base = plan.jump ? plan.distance * 0.0655
                            : sample::standard_time(plan.distance, plan.turf) * c.speed;
    if (g >= 3) base *= plan.turf ? 1.018 : 0.994;
    if (g == 2) base *= plan.turf ? 1.006 : 0.998;
    double pace = rng.normal(0, 0.004);
    double base3f = plan.turf ? 34.9 : 37.7;
    base3f += (plan.distance - 1600) * 0.0006;
    if (g >= 3) base3f += plan.turf ? 0.7 : -0.2;
    base3f += rng.normal(0, 0.5);
    for (auto& r : runners) {
        const Horse& h = *r.horse;
        double fit = (plan.turf ? h.turf_preference : -h.turf_preference) * 0.6 -
                     std::abs(std::log(static_cast<double>(plan.distance) / h.best_distance)) * 5.0;
        double skill = sample::jockeys()[static_cast<std::size_t>(r.jockey)].skill;
        r.strength = h.ability + fit + skill;
        r.expected = r.strength + rng.normal(0, kMarketError);
        r.performance = r.strength + rng.normal(0, kFormSpread);
        r.time = base * (1.0 + pace) * (1.0 + (100.0 - r.performance) / 220.0);
        double l3 = base3f + (100.0 - r.performance) * 0.09 - h.kick * 0.35 + rng.normal(0, 0.3);
        r.last3f_tenths = static_cast<int>(std::lround(std::clamp(l3, 31.5, 45.0) * 10));
    }
    std::vector<Runner*> order;
    for (auto& r : runners) order.push_back(&r);
    std::sort(order.begin(), order.end(), [](const Runner* a, const Runner* b) {
        return a->time != b->time ? a->time < b->time : a->number < b->number;
    });
    // A dead heat now and then, for one of the first three places.
    int dead_heat = rng.chance(0.006) ? 1 + rng.below(3) : 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i]->time_tenths = static_cast<int>(std::lround(order[i]->time * 10));
        if (i > 0) {
            order[i]->time_tenths = std::max(order[i]->time_tenths, order[i - 1]->time_tenths);
        }
        order[i]->position = static_cast<int>(i) + 1;
        if (dead_heat > 0 && static_cast<int>(i) == dead_heat) {
            order[i]->time_tenths = order[i - 1]->time_tenths;
            order[i]->position = order[i - 1]->position;
        }
    }
}

// ---- Records ---------------------------------------------------------------------

// Where and when a race is run: the header fields every record of it shares.
struct RaceHeader {
    const SampleMeeting* meeting = nullptr;
    DateTime date;
    int number = 0;

    RecordBuilder builder(RecordKind kind) const {
        RecordBuilder b(kind);
        b.race(date.date_number(), meeting->course, meeting->kai, meeting->nichi, number);
        return b;
    }
};

std::string weekday_code(const DateTime& date) {
    int weekday = date.weekday();  // 0 Sunday .. 6 Saturday
    if (weekday == 6) return "1";
    if (weekday == 0) return "2";
    return std::to_string(weekday + 3);
}

// The race record without category and creation date.
RecordBuilder race_record(const RaceHeader& header, const RacePlan& plan, int course_index,
                          int size, const Going& going) {
    static const int start_times[] = {950,  1020, 1050, 1120, 1210, 1240,
                                      1310, 1340, 1415, 1450, 1525, 1600};
    int start = start_times[plan.number - 1] + course_index * 5;
    if (start % 100 >= 60) start += 40;
    RecordBuilder ra = header.builder(RecordKind::Race);
    ra.text(ra::weekday, weekday_code(header.date))
        .text(ra::race_name, sj(plan.name))
        .text(ra::grade, std::string(1, plan.grade))
        .number(ra::race_type, plan.type)
        .number(ra::weight_type, plan.weight_type)
        .number(ra::distance, plan.distance)
        .number(ra::track, plan.track)
        .number(ra::start_time, start)
        .number(ra::entries, size)
        .number(ra::turf_going, going.turf)
        .number(ra::dirt_going, going.dirt);
    std::string short_name(cp932::cut(sj(plan.name), 12));
    while (short_name.size() + 2 <= 12) short_name += sj("　");
    ra.text(ra::short_name, short_name);
    // The condition applies to the youngest age group of the race and, in
    // races for several ages, to every older group.
    const char* cond = condition_code(plan.level);
    Field youngest = plan.type == 11                      ? ra::condition_age2
                     : plan.type == 14 || plan.type == 19 ? ra::condition_age4
                                                          : ra::condition_age3;
    for (Field f :
         {ra::condition_age2, ra::condition_age3, ra::condition_age4, ra::condition_age5up}) {
        bool applies =
            f.offset == youngest.offset || (f.offset > youngest.offset && !young_race(plan));
        ra.text(f, applies ? cond : "000");
    }
    ra.text(ra::condition_youngest, cond);
    return ra;
}

// A runner record as on the race card, without category and creation date.
RecordBuilder card_runner_record(const RaceHeader& header, const Runner& r) {
    const Horse& h = *r.horse;
    const sample::Jockey& jockey = sample::jockeys()[static_cast<std::size_t>(r.jockey)];
    RecordBuilder se = header.builder(RecordKind::Runner);
    se.number(se::bracket, r.bracket)
        .number(se::horse_number, r.number)
        .text(se::pedigree, h.pedigree)
        .text(se::horse_name, h.name)
        .text(se::sex, std::string(1, h.sex))
        .number(se::age, header.date.year - h.birth_year)
        .number(se::carried_weight, r.weight)
        .text(se::blinker, h.blinker ? "1" : "0")
        .text(se::jockey, jockey.name)
        .text(se::apprentice, std::string(1, jockey.apprentice));
    return se;
}

std::string running_time_text(int tenths) {
    int minutes = tenths / 600;
    int rest = tenths % 600;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d%02d%d", std::min(minutes, 9), rest / 10, rest % 10);
    return buffer;
}

RecordBuilder& with_result(RecordBuilder& se, const Runner& r) {
    return se.number(se::finish, r.position)
        .text(se::running_time, running_time_text(r.time_tenths))
        .number(se::last_three_furlongs, r.last3f_tenths % 1000);
}

// ---- Payouts ---------------------------------------------------------------------

std::string pair_digits(int x, int y) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d", x, y);
    return text;
}

// The public's view of a field, by horse number - 1: each runner's strength,
// off by the part of its error the public keeps.
std::vector<double> public_view(const std::vector<Runner>& runners) {
    std::vector<double> view;
    for (const Runner& r : runners) {
        view.push_back(r.strength + (r.expected - r.strength) * kPublicError);
    }
    return view;
}

// The market's chances of a field's results: each runner runs to the
// public's view of it with the day's error, widened by the error of the view.
sample::FieldChances market_chances(const std::vector<Runner>& runners) {
    return sample::FieldChances(public_view(runners),
                                std::hypot(kFormSpread, kMarketError * kPublicError));
}

// The combinations the result pays, in horse-number order.
struct PayingPairs {
    std::vector<std::pair<int, int>> quinella;  // two of the first two home
    std::vector<std::pair<int, int>> wide;      // two of the first three
    std::set<std::pair<int, int>> brackets;     // the brackets of the quinella pairs
};

// Two sharing second place make no quinella, two sharing third no wide.
PayingPairs paying_pairs(const std::vector<Runner>& runners) {
    PayingPairs pairs;
    for (const Runner& a : runners) {
        for (const Runner& b : runners) {
            if (a.number >= b.number) continue;
            if (a.position <= 2 && b.position <= 2 && !(a.position == 2 && b.position == 2)) {
                pairs.quinella.emplace_back(a.number, b.number);
                pairs.brackets.emplace(std::min(a.bracket, b.bracket),
                                       std::max(a.bracket, b.bracket));
            }
            if (a.position <= 3 && b.position <= 3 && !(a.position == 3 && b.position == 3)) {
                pairs.wide.emplace_back(a.number, b.number);
            }
        }
    }
    return pairs;
}

// One pool of a race: every combination it sells, with its share of the
// money (the public's chance of it, with the pool's own leanings).
template <typename Key>
class Pool {
  public:
    void sell(Key key, double chance) {
        keys_.push_back(key);
        shares_.push_back(chance);
    }
    // The money comes in, each combination getting its share of the pool
    // (adding up to 1), the public's shares with the pool's own leanings:
    // for a pool that pays one combination, its chance; for one that pays
    // several, as the results that pay them make every ticket worth alike.
    void back(Rng& rng) { lean(sample::single_winner_shares(shares_), rng); }
    void back(const std::vector<sample::PayingSet>& results, double deduction, Rng& rng) {
        lean(sample::pool_shares(shares_.size(), results, deduction), rng);
    }
    // What the winning combinations pay and how popular they were, in the
    // order given.
    struct Paid {
        Key key;
        int payout;
        int popularity;
    };
    std::vector<Paid> pay(const std::vector<Key>& winners, double deduction) const {
        std::vector<double> shares;
        std::vector<std::size_t> at;
        for (const Key& w : winners) {
            auto i =
                static_cast<std::size_t>(std::find(keys_.begin(), keys_.end(), w) - keys_.begin());
            at.push_back(i);
            shares.push_back(i < keys_.size() ? shares_[i] : 0.0);
        }
        std::vector<int> amounts = sample::pool_payouts(shares, deduction);
        std::vector<Paid> paid;
        for (std::size_t k = 0; k < winners.size(); ++k) {
            paid.push_back({winners[k], amounts[k], at[k] < keys_.size() ? popularity_[at[k]] : 0});
        }
        return paid;
    }

  private:
    void lean(std::vector<double> shares, Rng& rng) {
        double total = 0;
        double even = kEvenMoney / static_cast<double>(shares.size());
        for (double& s : shares) {
            s = (s * (1.0 - kEvenMoney) + even) * std::exp(rng.normal(0, kPoolSpread));
            total += s;
        }
        for (double& s : shares) s /= total > 0 ? total : 1;
        shares_ = std::move(shares);
        popularity_ = sample::popularity(shares_);
    }

    std::vector<Key> keys_;
    std::vector<double> shares_;  // the chances until the money comes in
    std::vector<int> popularity_;
};

// Entry k of a payout group: combination, payout and the popularity after it.
void put_payout(RecordBuilder& hr, const PayoutGroup& group, int k, const std::string& combination,
                int payout, int popularity) {
    hr.payout(group, k, combination, payout);
    std::size_t at =
        group.offset + static_cast<std::size_t>(k) * group.entry_width + group.payout_offset + 9;
    hr.number(Field{at, group.entry_width - group.payout_offset - 9}, popularity);
}

// The payout record of a finished race, without category and creation date:
// win, place, bracket quinella (fields of 9 or more), quinella and wide, each
// naming the combinations the result pays, priced by the pools of the
// public's chances.
RecordBuilder payout_record(const RaceHeader& header, const std::vector<Runner>& runners,
                            Rng& rng) {
    sample::FieldChances chances = market_chances(runners);
    PayingPairs pairs = paying_pairs(runners);
    RecordBuilder hr = header.builder(RecordKind::Payout);
    auto fill = [&](const PayoutGroup& group, const auto& paid, auto combination) {
        int k = 0;
        for (const auto& p : paid) {
            if (k >= group.entries) break;
            put_payout(hr, group, k++, combination(p.key), p.payout, p.popularity);
        }
    };
    auto horse_digits = [](int horse) { return pair_digits(horse, 0).substr(0, 2); };
    auto horse_pair = [](std::pair<int, int> p) { return pair_digits(p.first, p.second); };

    // The results that pay several combinations at once: the first three
    // (or two) for the place pool, their pairs for the wide pool.
    int n = static_cast<int>(runners.size());
    auto pair_index = [n](int a, int b) { return (a - 1) * (2 * n - a) / 2 + (b - a - 1); };
    std::vector<sample::PayingSet> placings, wide_results;
    for (const auto& t : chances.trios()) {
        wide_results.push_back(
            {{pair_index(t.a, t.b), pair_index(t.a, t.c), pair_index(t.b, t.c)}, t.chance});
        if (chances.places_paid() == 3) placings.push_back({{t.a - 1, t.b - 1, t.c - 1}, t.chance});
    }
    if (chances.places_paid() == 2) {
        for (int a = 1; a <= n; ++a) {
            for (int b = a + 1; b <= n; ++b) {
                placings.push_back({{a - 1, b - 1}, chances.quinella(a, b)});
            }
        }
    }

    Pool<int> win, place;
    std::vector<int> winners, placed;
    for (const Runner& r : runners) {
        win.sell(r.number, chances.win(r.number));
        place.sell(r.number, chances.place(r.number));
        if (r.position == 1) winners.push_back(r.number);
        if (r.position <= chances.places_paid()) placed.push_back(r.number);
    }
    win.back(rng);
    place.back(placings, sample::kWinPlaceDeduction, rng);
    fill(sample::kWinPayouts, win.pay(winners, sample::kWinPlaceDeduction), horse_digits);
    fill(sample::kPlacePayouts, place.pay(placed, sample::kWinPlaceDeduction), horse_digits);

    if (n >= 9) {
        std::map<int, std::vector<int>> brackets;  // bracket -> its horses
        for (const Runner& r : runners) brackets[r.bracket].push_back(r.number);
        Pool<std::pair<int, int>> bracket_pool;
        for (const auto& [x, xs] : brackets) {
            for (const auto& [y, ys] : brackets) {
                if (y < x || (x == y && xs.size() < 2)) continue;
                double chance = 0;
                for (int a : xs) {
                    for (int b : ys) {
                        if (x != y || a < b) chance += chances.quinella(a, b);
                    }
                }
                bracket_pool.sell({x, y}, chance);
            }
        }
        bracket_pool.back(rng);
        std::vector<std::pair<int, int>> paid(pairs.brackets.begin(), pairs.brackets.end());
        fill(hr::bracket_quinella, bracket_pool.pay(paid, sample::kPairDeduction),
             [](std::pair<int, int> p) {
                 return std::to_string(p.first) + std::to_string(p.second);
             });
    }

    // Pairs in the order of pair_index.
    Pool<std::pair<int, int>> quinella, wide;
    for (int a = 1; a <= n; ++a) {
        for (int b = a + 1; b <= n; ++b) {
            quinella.sell({a, b}, chances.quinella(a, b));
            wide.sell({a, b}, chances.wide(a, b));
        }
    }
    quinella.back(rng);
    wide.back(wide_results, sample::kPairDeduction, rng);
    fill(hr::quinella, quinella.pay(pairs.quinella, sample::kPairDeduction), horse_pair);
    fill(hr::wide, wide.pay(pairs.wide, sample::kPairDeduction), horse_pair);
    return hr;
}

// ---- A race day ------------------------------------------------------------------

// The records of one race day, by the file they go to.
struct DayRecords {
    std::string cards;     // provisional race cards
    std::string results;   // final races, runners and payouts
    std::string realtime;  // today's results as realtime data
};

// The records of a run race: the race card (but for the history weeks),
// and the final race, runner and payout records, which for today are
// realtime data of the day itself and otherwise final data of the next day.
void add_race_records(const RaceHeader& header, const RacePlan& plan, int course_index,
                      const Going& going, const std::vector<Runner>& runners, SampleStage stage,
                      Rng& rng, DayRecords& out) {
    bool cards = stage != SampleStage::History;
    bool today = stage == SampleStage::Today;
    int card_created = header.date.plus_days(-1).date_number();
    int result_created = today ? header.date.date_number() : header.date.plus_days(1).date_number();
    std::string& results = today ? out.realtime : out.results;
    auto card = [&](RecordBuilder record) {
        if (cards) {
            out.cards +=
                record.text(header::category, "2").number(header::created, card_created).str();
        }
    };
    auto result = [&](RecordBuilder& record, const char* category) {
        results +=
            record.text(header::category, category).number(header::created, result_created).str();
    };

    RecordBuilder ra =
        race_record(header, plan, course_index, static_cast<int>(runners.size()), going);
    card(ra);
    result(ra, today ? "6" : "7");
    for (const Runner& r : runners) {
        RecordBuilder se = card_runner_record(header, r);
        card(se);
        result(with_result(se, r), today ? "6" : "7");
    }
    RecordBuilder hr = payout_record(header, runners, rng);
    result(hr, today ? "1" : "2");
}

class Generator {
  public:
    explicit Generator(const SampleFeedOptions& options)
        : seed_(options.seed), rng_(options.seed), stable_(rng_) {}

    DayRecords race_day(const SampleRaceDay& day, Supply supply, SampleFeedSummary& sum);
    int horses() const { return stable_.horses(); }

  private:
    int hold_race(const RaceHeader& header, const RacePlan& plan, int course_index,
                  const Going& going, const SampleRaceDay& day, Supply supply, DayRecords& out);

    std::uint64_t seed_;
    Rng rng_;
    Stable stable_;
};

// A race from the entries to the records: the field is entered and runs,
// its records go to the day's files, and the runners' careers go on.
// Returns the number of runners.
int Generator::hold_race(const RaceHeader& header, const RacePlan& plan, int course_index,
                         const Going& going, const SampleRaceDay& day, Supply supply,
                         DayRecords& out) {
    int size = plan.jump ? 8 + rng_.below(7)
                         : std::clamp(static_cast<int>(std::lround(rng_.normal(14.2, 2.6))), 8, 18);
    std::vector<Runner> runners =
        entries(plan, stable_.enter(plan, header.date, supply, size), header.date.year, rng_);
    run_race(plan, sample::course(header.meeting->course), going, runners, rng_);
    // The betting has a generator of its own, so that the pools leave the
    // races and careers of a seed as they are.
    Rng market(((seed_ * 100000000 + static_cast<std::uint64_t>(header.date.date_number())) * 100 +
                static_cast<std::uint64_t>(std::stoi(header.meeting->course))) *
                   100 +
               static_cast<std::uint64_t>(plan.number));
    add_race_records(header, plan, course_index, going, runners, day.stage, market, out);
    for (const Runner& r : runners) stable_.after_race(*r.horse, plan, r.position, header.date);
    return static_cast<int>(runners.size());
}

DayRecords Generator::race_day(const SampleRaceDay& day, Supply supply, SampleFeedSummary& sum) {
    DayRecords out;
    DateTime date = date_of(day.date);
    stable_.retire(date);
    bool graded_done = false;
    for (std::size_t ci = 0; ci < day.meetings.size(); ++ci) {
        const SampleMeeting& meeting = day.meetings[ci];
        const sample::Course& c = sample::course(meeting.course);
        Going going = draw_going(rng_);
        // One graded race on a Sunday, at the first course.
        bool main_graded = !graded_done && date.weekday() == 0;
        graded_done = graded_done || main_graded;
        (day.stage == SampleStage::History ? sum.history_days : sum.days) += 1;
        for (const RacePlan& plan : sample::programme(c, date, ci == 0, main_graded, rng_)) {
            RaceHeader header{&meeting, date, plan.number};
            sum.runners += hold_race(header, plan, static_cast<int>(ci), going, day, supply, out);
            sum.races += 1;
        }
    }
    return out;
}

// ---- Writing the feed --------------------------------------------------------------

std::string stamp(const DateTime& day, const char* time) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%08d%s", day.date_number(), time);
    return buffer;
}

// Stored files are named by the time the data service would have published
// them: race cards the evening before, results the day after; today's
// results are realtime files of the day.
void write_day(const fs::path& folder, const SampleRaceDay& day, const DayRecords& records,
               SampleFeedSummary& sum) {
    DateTime date = date_of(day.date);
    std::string digits = std::to_string(day.date);
    auto write = [&](const fs::path& file, const std::string& content) {
        if (content.empty()) return;
        fs::create_directories(file.parent_path());
        replace_file(file, content);
        sum.files += 1;
        sum.bytes += static_cast<long long>(content.size());
        sum.records += static_cast<long long>(std::count(content.begin(), content.end(), '\n'));
    };
    write(folder / (stamp(date.plus_days(-1), "170000") + "_CARDS_" + digits + ".txt"),
          records.cards);
    write(folder / (stamp(date.plus_days(1), "160000") + "_RESULTS_" + digits + ".txt"),
          records.results);
    write(folder / "0B12" / (digits + "_RESULTS.txt"), records.realtime);
}

}  // namespace

SampleFeedSummary make_sample_feed(const fs::path& folder, const SampleFeedOptions& options) {
    SampleFeedSummary sum;
    std::vector<SampleRaceDay> calendar = sample_calendar(options);
    // New horses with a career the feed does not hold join only in the early
    // history weeks; the last three history weeks give the late joiners a
    // start on record before the feed begins.
    int late_history = 0;
    for (const SampleRaceDay& day : calendar) {
        if (day.stage != SampleStage::History) {
            late_history = date_of(day.date).plus_days(-21).date_number();
            break;
        }
    }
    Generator generator(options);
    fs::create_directories(folder);
    for (const SampleRaceDay& day : calendar) {
        Supply supply = day.stage != SampleStage::History ? Supply::Existing
                        : day.date >= late_history        ? Supply::Fill
                                                          : Supply::Create;
        write_day(folder, day, generator.race_day(day, supply, sum), sum);
    }
    sum.horses = generator.horses();
    return sum;
}

}  // namespace tolven
