// tolven-cli days and show: the race-day catalogue and a loaded day's figures.
#include <cstdio>
#include <optional>

#include "app/cli_context.hpp"
#include "app/json_writer.hpp"
#include "model/race_header.hpp"
#include "money/fund_allocation.hpp"
#include "pipeline/calculation.hpp"
#include "pipeline/day_loader.hpp"
#include "pipeline/hit_export.hpp"
#include "platform/utf8_path.hpp"
#include "prediction/computer_prediction.hpp"
#include "prediction/results_record.hpp"
#include "prediction/user_prediction.hpp"
#include "store/catalogue.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"
#include "store/store_reader.hpp"

namespace tolven::cli {
namespace {

std::string utf8(std::string_view cp932_text) {
    return cp932::to_utf8(cp932_text);
}

std::string colour_text(unsigned colour) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%06X", colour);
    return buffer;
}

std::vector<std::string> filled(const BetList& list) {
    std::vector<std::string> texts;
    for (const Bet& bet : list) {
        if (!bet.empty()) texts.push_back(bet_text(bet));
    }
    return texts;
}

// One race as a JSON object.
void race_json(JsonWriter& json, const RaceDay& day, const FundAllocation& money, int n) {
    {
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
        json.key("pattern").value(pattern_letter(p.pattern));
        json.key("axis").value(p.axis);
        json.key("horses").begin_array();
        for (int r = 0; r < runners; ++r) {
            const RunnerFigures& rf = f.runner[r];
            int horse = r + 1;
            json.begin_object();
            json.key("horse").value(horse);
            json.key("bracket").value(day.bracket(n, r));
            json.key("name").value(utf8(trim(day.horse_name(n, r))));
            json.key("pastTime").array(
                std::vector<double>(rf.past_time_index.begin(), rf.past_time_index.end()));
            json.key("pastF3").array(
                std::vector<double>(rf.past_f3_index.begin(), rf.past_f3_index.end()));
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
        int race = n + 1;
        bool in_table = race <= money.races();
        json.key("grade").value(in_table ? utf8(confidence_grade_text(money.race(race).grade))
                                          : std::string());
        json.key("investment").value(in_table ? money.investment(race) : 0);
        json.key("betCount").value(in_table ? money.bet_count(race) : 0);
        json.key("stakes").array(in_table ? money.stakes(race) : std::vector<int>{});
        json.key("raceTotal").value(in_table ? money.race_total(race) : 0);
        json.end_object();
    }
}

// The day as one JSON object.
std::string day_json(const RaceDay& day, const LoadOutcome& outcome, const FundAllocation& money) {
    JsonWriter json;
    json.begin_object();
    json.key("day").value(utf8(day.entry));
    json.key("banner").value(utf8(outcome.banner));
    json.key("complete").value(outcome.complete);
    json.key("raceCount").value(day.race_count);
    json.key("from2005").value(day.from_2005);
    json.key("races").begin_array();
    for (int n = 0; n < day.race_count; ++n) race_json(json, day, money, n);
    json.end_array();
    json.key("totalBets").value(money.total_bets());
    json.key("totalStake").value(money.total_stake());
    json.end_object();
    return json.str();
}

void print_day_text(const RaceDay& day, const LoadOutcome& outcome, const FundAllocation& money) {
    std::printf("%s\n", terminal_text(outcome.banner).c_str());
    for (int n = 0; n < day.race_count; ++n) {
        RaceHeader header = race_header(day.race[n]);
        const ComputerPrediction& p = day.prediction[n];
        const RaceFigures& f = day.figures[n];
        std::printf("\n%s\n%s\n%s\n%s\n", terminal_text(header.title).c_str(), terminal_text(header.course).c_str(),
                    terminal_text(header.condition).c_str(), terminal_text(header.grade).c_str());
        if (p.ratio_defined) {
            std::printf("X %.1f  R %.6f  V %d  %s  pattern %s  axis %d  ratio numbers %d %d %d\n",
                        p.size, p.ratio, static_cast<int>(p.value), p.direction.c_str(),
                        std::string(pattern_letter(p.pattern)).c_str(), p.axis, p.first, p.second,
                        p.third);
        }
        std::array<std::string, kMaxRunners> marks = mark_cells(day, n);
        std::printf(
            "枠 馬 印 馬名               前走指数(1..5)                   "
            "時計  上り  推移    総合    順位\n");
        for (int r = 0; r < day.runners(n); ++r) {
            const RunnerFigures& rf = f.runner[r];
            std::string name = terminal_text(day.horse_name(n, r));
            std::string mark = marks[static_cast<std::size_t>(r)].empty()
                                   ? "  "
                                   : terminal_text(marks[static_cast<std::size_t>(r)]);
            std::printf("%2d %2d %s %s", day.bracket(n, r), r + 1, mark.c_str(), name.c_str());
            for (int j = 1; j <= kPastRuns; ++j) std::printf(" %6.2f", rf.past_time_index[j]);
            std::printf("  %6.2f %6.2f %6.2f %8.3f  %2d\n", rf.time_ability, rf.f3_ability,
                        rf.trend, rf.composite, f.composite_rank[r + 1]);
        }
        std::printf("馬連:");
        for (const Bet& bet : day.bets[n].computer_quinella) {
            if (!bet.empty()) std::printf(" %s", bet_text(bet).c_str());
        }
        std::printf("\n枠連:");
        for (const Bet& bet : day.bets[n].computer_bracket) {
            if (!bet.empty()) std::printf(" %s", bet_text(bet).c_str());
        }
        std::printf("\n");
        int race = n + 1;
        if (race <= money.races() && money.graded(race)) {
            std::printf("勝負度 %s  投資 %d  %d点",
                        terminal_text(confidence_grade_text(money.race(race).grade)).c_str(),
                        money.investment(race), money.bet_count(race));
            for (int stake : money.stakes(race)) std::printf(" %d", stake);
            std::printf("  計 %d\n", money.race_total(race));
        }
    }
    std::printf("\n総点数：%s  総金額：%s\n", terminal_text(money.total_bets_text()).c_str(),
                terminal_text(money.total_stake_text()).c_str());
    if (!outcome.complete) print_line(stdout, incomplete_day_message());
}

// Loads a day as a click on the list does, with the fund allocation; false
// (after the message) when the day cannot be built.
bool load(Context& context, const std::string& day_utf8, RaceDay& day, LoadOutcome& outcome,
          FundAllocation& money) {
    outcome = load_race_day(day, context.base, sj(day_utf8));
    if (!outcome.built) {
        print_line(stderr, outcome.message);
        return false;
    }
    money.recompute(day);
    return true;
}

// "--invest 3=5000,11=20000": amounts for the investment fields.
void apply_investments(const std::string& amounts, RaceDay& day, FundAllocation& money) {
    std::size_t start = 0;
    while (start < amounts.size()) {
        std::size_t end = amounts.find(',', start);
        std::string item = amounts.substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? amounts.size() : end + 1;
        std::size_t eq = item.find('=');
        if (eq == std::string::npos) throw UsageError("--invest needs RACE=AMOUNT: " + item);
        int race = parse_int(item.substr(0, eq), "race");
        int yen = parse_int(item.substr(eq + 1), "amount");
        if (race < 1 || race > kMaxRaces)
            throw UsageError("--invest: no race " + item.substr(0, eq));
        if (yen < 0 || yen > 9999999) throw UsageError("--invest: amounts are 0..9999999 yen");
        InvestmentField& field = money.fields()[static_cast<std::size_t>(race - 1)];
        if (!field.armed) {
            std::fprintf(stderr, "tolven-cli: race %d has no grade; its investment is ignored\n",
                         race);
            continue;
        }
        field.text = std::to_string(yen);
    }
    money.split(day);
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
    settle_store(context.base);
    for (const auto& day : list_race_days(context.base / "Data", date, course, today)) {
        print_line(stdout, day);
    }
    return 0;
}

int run_show(Context& context) {
    bool json = take_flag(context.args, "--json");
    std::optional<std::string> invest = take_option(context.args, "--invest");
    if (context.args.size() != 1) throw UsageError("show needs DAY");
    RaceDay day;
    LoadOutcome outcome;
    FundAllocation money;
    if (!load(context, context.args[0], day, outcome, money)) return 1;
    if (invest) apply_investments(*invest, day, money);
    if (json) {
        std::printf("%s\n", day_json(day, outcome, money).c_str());
    } else {
        print_day_text(day, outcome, money);
    }
    return 0;
}

int run_tick(Context& context) {
    if (context.args.size() != 4) throw UsageError("tick needs DAY RACE HORSE COLUMN");
    int race = parse_int(context.args[1], "RACE");
    int horse = parse_int(context.args[2], "HORSE");
    int column = parse_int(context.args[3], "COLUMN");
    if (column < 3 || column > 14) throw UsageError("COLUMN must be 3..14");
    RaceDay day;
    LoadOutcome outcome;
    FundAllocation money;
    if (!load(context, context.args[0], day, outcome, money)) return 1;
    if (race < 1 || race > day.race_count) throw UsageError("no race " + context.args[1]);
    if (horse < 1 || horse > day.runners(race - 1)) throw UsageError("no horse " + context.args[2]);
    toggle_check_item(day, race - 1, horse, column);
    JsonWriter json;
    race_json(json, day, money, race - 1);
    std::printf("%s\n", json.str().c_str());
    return 0;
}

int run_results(Context& context) {
    bool hits_only = take_flag(context.args, "--hits-only");
    if (context.args.size() != 1) throw UsageError("results needs DAY");
    RaceDay day;
    LoadOutcome outcome;
    FundAllocation money;
    if (!load(context, context.args[0], day, outcome, money)) return 1;
    for (const auto& line : results_record(day, hits_only)) print_line(stdout, line);
    return 0;
}

int run_hits(Context& context) {
    bool longshot = take_flag(context.args, "--longshot");
    if (context.args.size() != 1) throw UsageError("hits needs YYYYMMDD");
    auto date = DateTime::from_digits(context.args[0] + "000000");
    if (!date) throw UsageError("hits needs a date YYYYMMDD: " + context.args[0]);
    // The day list as the window shows it with no date restriction.
    std::vector<std::string> days =
        list_race_days(context.base / "Data", DateFilter::Any, 0, *date);
    std::string selected = catalogue_mask(DateFilter::Today, 0, *date).substr(0, 14);
    RaceDay day;
    HitExport result = export_hits(day, context.base, days, selected, longshot);
    std::printf("%d days, %d hits\n", result.days, result.hits);
    if (result.written) {
        std::printf("%s\n%s\n", path_utf8(result.tk_file).c_str(),
                    path_utf8(result.cumulative_file).c_str());
    }
    return 0;
}

}  // namespace tolven::cli
