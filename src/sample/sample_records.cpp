#include "sample/sample_records.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

#include "store/cp932.hpp"

namespace tolven::sample {

namespace {

std::string weekday_code(const DateTime& date) {
    int weekday = date.weekday();  // 0 Sunday .. 6 Saturday
    if (weekday == 6) return "1";
    if (weekday == 0) return "2";
    return std::to_string(weekday + 3);
}

}  // namespace

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
    const Jockey& jockey = jockeys()[static_cast<std::size_t>(r.jockey)];
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

}  // namespace tolven::sample
