#include "sample/sample_feed.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "sample/sample_dates.hpp"
#include "sample/sample_payouts.hpp"
#include "sample/sample_programme.hpp"
#include "sample/sample_race.hpp"
#include "sample/sample_records.hpp"
#include "sample/sample_stable.hpp"
#include "sample/sample_world.hpp"
#include "store/atomic_file.hpp"
#include "store/date_time.hpp"
#include "store/record_builder.hpp"

namespace fs = std::filesystem;

namespace tolven {

namespace {

using namespace sample;

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
                      Rng& rng, DayRecords& out, SampleFeedSummary& sum) {
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
    // The random tickets are counted over the races with final results in
    // the store (the account costs a second pass over the field's chances).
    bool counted = stage == SampleStage::Past || stage == SampleStage::Yesterday;
    RandomTicketReturns returns;
    RecordBuilder hr = payout_record(header, runners, rng, counted ? &returns : nullptr);
    if (counted) {
        for (int k = 0; k < kTicketKinds; ++k) {
            if (!returns.sold[k]) continue;
            SampleFeedSummary::RandomTickets& t = sum.random_tickets[k];
            t.expected += returns.expected[k];
            t.realized += returns.realized[k];
            t.realized_squares += returns.realized[k] * returns.realized[k];
            t.races += 1;
        }
    }
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
                  const Going& going, const SampleRaceDay& day, Supply supply, DayRecords& out,
                  SampleFeedSummary& sum);

    std::uint64_t seed_;
    Rng rng_;
    Stable stable_;
};

// A race from the entries to the records: the field is entered and runs,
// its records go to the day's files, and the runners' careers go on.
// Returns the number of runners.
int Generator::hold_race(const RaceHeader& header, const RacePlan& plan, int course_index,
                         const Going& going, const SampleRaceDay& day, Supply supply,
                         DayRecords& out, SampleFeedSummary& sum) {
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
    add_race_records(header, plan, course_index, going, runners, day.stage, market, out, sum);
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
            sum.runners +=
                hold_race(header, plan, static_cast<int>(ci), going, day, supply, out, sum);
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
