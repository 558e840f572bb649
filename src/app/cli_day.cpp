// tolven-cli days and show: the race-day catalogue and a loaded day's figures.
#include <cstdio>

#include "analysis/calculation.hpp"
#include "app/cli_context.hpp"
#include "app/json_writer.hpp"
#include "prediction/computer_prediction.hpp"
#include "raceday/catalogue.hpp"
#include "raceday/day_loader.hpp"
#include "raceday/race_header.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven::cli {
namespace {

std::string utf8(std::string_view cp932_text) { return cp932::to_utf8(cp932_text); }

std::string colour_text(unsigned colour) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%06X", colour);
    return buffer;
}

std::vector<std::string> filled(const BetList& list) {
    std::vector<std::string> texts;
    for (const auto& t : list) {
        if (!t.empty()) texts.push_back(t);
    }
    return texts;
}

// The day as one JSON object.
std::string day_json(const RaceDay& day, const LoadOutcome& outcome) {
    JsonWriter json;
    json.begin_object();
    json.key("day").value(utf8(day.entry));
    json.key("banner").value(utf8(outcome.banner));
    json.key("complete").value(outcome.complete);
    json.key("raceCount").value(day.race_count);
    json.key("from2005").value(day.from_2005);
    json.key("races").begin_array();
    for (int n = 0; n < day.race_count; ++n) {
        const ComputerPrediction& p = day.prediction[n];
        const RaceFigures& f = day.figures[n];
        int runners = day.runners(n);
        RaceHeader header = race_header(day.race[n]);
        json.begin_object();
        json.key("race").value(day.race_number(n));
        json.key("runners").value(runners);
        json.key("header").begin_array();
        for (const auto* line : {&header.title, &header.course, &header.condition, &header.grade}) {
            json.value(utf8(*line));
        }
        json.end_array();
        json.key("headerColor").value(colour_text(header.colour));
        json.key("X").value(p.size);
        if (p.ratio_defined) {
            json.key("R").value(p.ratio);
            json.key("V").value(static_cast<int>(p.value));
        } else {
            json.key("R").null();
            json.key("V").null();
        }
        json.key("direction").value(p.direction);
        json.key("marks").begin_object();
        json.key("x").value(p.cross).key("down").value(p.down);
        json.key("chu").value(p.chu).key("tri").value(p.triangle);
        json.end_object();
        json.key("ratioNumbers").array(std::vector<int>{p.first, p.second, p.third});
        json.key("pattern").value(p.pattern);
        json.key("axis").value(p.axis);
        json.key("horses").begin_array();
        for (int r = 0; r < runners; ++r) {
            const RunnerFigures& rf = f.runner[r];
            int horse = r + 1;
            json.begin_object();
            json.key("horse").value(horse);
            json.key("bracket").value(day.bracket(n, r));
            json.key("name").value(utf8(trim(day.horse_name(n, r))));
            json.key("pastTime").array(std::vector<double>(rf.past_time_index.begin() + 1,
                                                           rf.past_time_index.end()));
            json.key("pastF3").array(std::vector<double>(rf.past_f3_index.begin() + 1,
                                                         rf.past_f3_index.end()));
            json.key("timeAbility").value(rf.time_ability);
            json.key("f3Ability").value(rf.f3_ability);
            json.key("trend").value(rf.trend);
            json.key("composite").value(rf.composite);
            json.key("timeRank").value(f.time_rank[horse]);
            json.key("f3Rank").value(f.f3_rank[horse]);
            json.key("trendRank").value(f.trend_rank[horse]);
            json.key("compositeRank").value(f.composite_rank[horse]);
            json.key("userScore").value(rf.user_score);
            json.key("userRank").value(f.user_rank[horse]);
            json.end_object();
        }
        json.end_array();
        const RaceBets& b = day.bets[n];
        json.key("computerBets").begin_object();
        json.key("quinella").array(filled(b.computer_quinella));
        json.key("bracket").array(filled(b.computer_bracket));
        json.end_object();
        json.key("userBets").begin_object();
        json.key("quinella").array(filled(b.user_quinella));
        json.key("bracket").array(filled(b.user_bracket));
        json.end_object();
        json.end_object();
    }
    json.end_array();
    json.end_object();
    return json.str();
}

void print_day_text(const RaceDay& day, const LoadOutcome& outcome) {
    std::printf("%s\n", utf8(outcome.banner).c_str());
    for (int n = 0; n < day.race_count; ++n) {
        RaceHeader header = race_header(day.race[n]);
        const ComputerPrediction& p = day.prediction[n];
        const RaceFigures& f = day.figures[n];
        std::printf("\n%s\n%s\n%s\n%s\n", utf8(header.title).c_str(), utf8(header.course).c_str(),
                    utf8(header.condition).c_str(), utf8(header.grade).c_str());
        if (p.ratio_defined) {
            std::printf("X %.1f  R %.6f  V %d  %s  pattern %s  axis %d  ratio numbers %d %d %d\n",
                        p.size, p.ratio, static_cast<int>(p.value), p.direction.c_str(),
                        p.pattern.c_str(), p.axis, p.first, p.second, p.third);
        }
        std::array<std::string, kMaxRunners> marks = mark_cells(day, n);
        std::printf("枠 馬 印 馬名               前走指数(1..5)                   "
                    "時計  上り  推移    総合    順位\n");
        for (int r = 0; r < day.runners(n); ++r) {
            const RunnerFigures& rf = f.runner[r];
            std::string name = utf8(day.horse_name(n, r));
            std::string mark = marks[static_cast<std::size_t>(r)].empty()
                                   ? "  "
                                   : utf8(marks[static_cast<std::size_t>(r)]);
            std::printf("%2d %2d %s %s", day.bracket(n, r), r + 1, mark.c_str(), name.c_str());
            for (int j = 1; j <= kPastRuns; ++j) std::printf(" %6.2f", rf.past_time_index[j]);
            std::printf("  %6.2f %6.2f %6.2f %8.3f  %2d\n", rf.time_ability, rf.f3_ability,
                        rf.trend, rf.composite, f.composite_rank[r + 1]);
        }
        std::printf("馬連:");
        for (const auto& t : day.bets[n].computer_quinella) {
            if (!t.empty()) std::printf(" %s", t.c_str());
        }
        std::printf("\n枠連:");
        for (const auto& t : day.bets[n].computer_bracket) {
            if (!t.empty()) std::printf(" %s", t.c_str());
        }
        std::printf("\n");
    }
    if (!outcome.complete) print_line(stdout, incomplete_day_message());
}

}  // namespace

int run_days(Context& context) {
    DateFilter date = DateFilter::Any;
    if (auto d = take_option(context.args, "--date")) {
        if (*d == "today") {
            date = DateFilter::Today;
        } else if (*d == "yesterday") {
            date = DateFilter::Yesterday;
        } else if (*d != "all") {
            throw UsageError("--date must be today, yesterday or all");
        }
    }
    int course = 0;
    if (auto c = take_option(context.args, "--course")) {
        course = parse_int(*c, "--course");
        if (course < 0 || course > 10) throw UsageError("--course must be 0..10");
    }
    DateTime today = DateTime::now();
    if (auto t = take_option(context.args, "--today")) {
        auto parsed = DateTime::from_digits(*t + "000000");
        if (!parsed) throw UsageError("--today needs YYYYMMDD: " + *t);
        today = *parsed;
    }
    if (!context.args.empty()) throw UsageError("days: unexpected argument " + context.args[0]);
    for (const auto& day : list_race_days(context.base / "Data", date, course, today)) {
        print_line(stdout, day);
    }
    return 0;
}

int run_show(Context& context) {
    bool json = take_flag(context.args, "--json");
    if (context.args.size() != 1) throw UsageError("show needs DAY");
    RaceDay day;
    LoadOutcome outcome = load_race_day(day, context.base, sj(context.args[0]));
    if (!outcome.built) {
        print_line(stderr, incomplete_day_message());
        return 1;
    }
    if (json) {
        std::printf("%s\n", day_json(day, outcome).c_str());
    } else {
        print_day_text(day, outcome);
    }
    return 0;
}

}  // namespace tolven::cli
