#include "pipeline/backtest.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>

#include "pipeline/day_loader.hpp"
#include "pipeline/hit_export.hpp"
#include "store/catalogue.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/record_builder.hpp"
#include "support/race_day_builder.hpp"
#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

std::string payouts(std::initializer_list<std::tuple<const PayoutGroup*, int, const char*, int>>
                        entries) {
    RecordBuilder hr(RecordKind::Payout);
    hr.race(20261205, "06", 5, 3, 1);
    for (const auto& [group, k, combination, amount] : entries) {
        hr.payout(*group, k, combination, amount);
    }
    return hr.str();
}

TEST(Balance, TicketReturnFollowsTheHitRule) {
    struct Case {
        const char* what;
        std::string payout;
        BetKind kind;
        const char* bet;
        long long expected;
    };
    const Case cases[] = {
        {"a quinella hit", payouts({{&hr::quinella, 0, "0412", 1230}}), BetKind::Quinella,
         " 4-12", 1230},
        {"numbers compared as numbers, in order", payouts({{&hr::quinella, 0, "0412", 1230}}),
         BetKind::Quinella, "12- 4", 0},
        {"a dead heat for second: two entries, one hit",
         payouts({{&hr::quinella, 0, "0304", 900}, {&hr::quinella, 1, "0307", 1500}}),
         BetKind::Quinella, " 3- 7", 1500},
        {"a dead heat for second: the bracket pair of the first entry",
         payouts({{&hr::bracket_quinella, 0, "36", 700}, {&hr::bracket_quinella, 1, "37", 900}}),
         BetKind::Bracket, " 3- 6", 700},
        {"a dead heat paying the same pair twice adds up",
         payouts({{&hr::bracket_quinella, 0, "36", 700}, {&hr::bracket_quinella, 1, "36", 650}}),
         BetKind::Bracket, " 3- 6", 1350},
        {"the wide pays each of its entries",
         payouts({{&hr::wide, 0, "0307", 300}, {&hr::wide, 1, "0309", 410},
                  {&hr::wide, 2, "0709", 520}}),
         BetKind::Wide, " 7- 9", 520},
        {"a wide bet is not paid by the quinella", payouts({{&hr::quinella, 0, "0709", 2000}}),
         BetKind::Wide, " 7- 9", 0},
        {"an entry without an amount pays nothing", payouts({{&hr::quinella, 0, "0709", 0}}),
         BetKind::Quinella, " 7- 9", 0},
        {"no payout record", std::string(), BetKind::Quinella, " 7- 9", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ticket_return(c.payout, c.kind, bet_from_text(c.bet)), c.expected) << c.what;
    }
}

TEST(Balance, RatesRoundHalvesUp) {
    struct Case {
        long long stake, returned;
        int races, hit_races;
        double return_rate, hit_rate;
    };
    const Case cases[] = {
        {2000, 1001, 16, 1, 50.1, 6.3},  // 50.05 and 6.25 both round up
        {2000, 999, 8, 1, 50.0, 12.5},   // 49.95 rounds up to 50.0
        {300, 100, 3, 2, 33.3, 66.7},
        {0, 0, 0, 0, 0.0, 0.0},          // nothing bought
        {100, 0, 1, 0, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        BalanceFigures f;
        f.stake = c.stake;
        f.returned = c.returned;
        f.races = c.races;
        f.hit_races = c.hit_races;
        EXPECT_DOUBLE_EQ(f.return_rate(), c.return_rate) << c.stake << " " << c.returned;
        EXPECT_DOUBLE_EQ(f.hit_rate(), c.hit_rate) << c.races << " " << c.hit_races;
    }
}

// A day of one 12-runner race in memory with the given computer and user bets.
RaceDay one_race(const BetList& computer_quinella, const BetList& computer_bracket,
                 const BetList& user_quinella, const std::string& payout, int runners = 12) {
    RaceDay day;
    set_races(day, {{1600, runners}});
    day.from_2005 = true;
    day.prediction[0].pattern = Pattern::B;
    day.bets[0].computer_quinella = computer_quinella;
    day.bets[0].computer_bracket = computer_bracket;
    day.bets[0].user_quinella = user_quinella;
    day.payout[0] = payout;
    return day;
}

std::vector<std::pair<std::string, long long>> tickets(const BalanceRace& race) {
    std::vector<std::pair<std::string, long long>> list;
    for (const Ticket& t : race.tickets) {
        list.emplace_back(std::string(bet_kind_key(t.kind)) + ":" + bet_text(t.bet), t.returned);
    }
    return list;
}

TEST(Balance, TicketsOfARace) {
    std::string paid = payouts({{&hr::quinella, 0, "0207", 1800},
                                {&hr::bracket_quinella, 0, "25", 900},
                                {&hr::wide, 0, "0207", 400},
                                {&hr::wide, 1, "0211", 600}});
    BetList q = bet_list({" 2- 7", " 2-11", " 7-11"});
    BetList b = bet_list({" 2- 5", " 2- 7"});
    BetList u = bet_list({" 2-11"});

    // Computer bets: quinella tickets, then bracket tickets, in list order.
    auto race = balance_race(one_race(q, b, u, paid), 0, BalanceOptions{});
    ASSERT_TRUE(race.has_value());
    using T = std::vector<std::pair<std::string, long long>>;
    EXPECT_EQ(tickets(*race), (T{{"quinella: 2- 7", 1800},
                                 {"quinella: 2-11", 0},
                                 {"quinella: 7-11", 0},
                                 {"bracket: 2- 5", 900},
                                 {"bracket: 2- 7", 0}}));
    EXPECT_EQ(race->pattern, Pattern::B);
    EXPECT_EQ(race->race, 1);

    // The wide option adds one wide ticket per quinella bet.
    BalanceOptions wide;
    wide.wide = true;
    race = balance_race(one_race(q, b, u, paid), 0, wide);
    ASSERT_TRUE(race.has_value());
    EXPECT_EQ(race->tickets.size(), 8u);
    EXPECT_EQ(tickets(*race)[5], (std::pair<std::string, long long>{"wide: 2- 7", 400}));
    EXPECT_EQ(tickets(*race)[6], (std::pair<std::string, long long>{"wide: 2-11", 600}));

    // User bets.
    BalanceOptions user;
    user.bets = BetSource::User;
    race = balance_race(one_race(q, b, u, paid), 0, user);
    ASSERT_TRUE(race.has_value());
    EXPECT_EQ(tickets(*race), (T{{"quinella: 2-11", 0}}));

    // A race without bets still counts; it buys nothing.
    race = balance_race(one_race({}, {}, {}, paid), 0, BalanceOptions{});
    ASSERT_TRUE(race.has_value());
    EXPECT_TRUE(race->tickets.empty());
    EXPECT_EQ(race->pattern, Pattern::B);

    // No final quinella result: a pending race.
    EXPECT_FALSE(balance_race(one_race(q, b, u, std::string()), 0, BalanceOptions{}).has_value());
    EXPECT_FALSE(balance_race(one_race(q, b, u, payouts({{&hr::wide, 0, "0207", 400}})), 0,
                              BalanceOptions{})
                     .has_value());

    // A day from 2005 on with 8 runners sells no bracket quinella.
    race = balance_race(one_race(q, b, u, paid, 8), 0, BalanceOptions{});
    ASSERT_TRUE(race.has_value());
    EXPECT_EQ(race->tickets.size(), 3u);
}

// The command line keeps its documented keys; the window's file opens in a
// spreadsheet on a Japanese desktop without mojibake.
TEST(Balance, CsvForTheCommandLineAndForASpreadsheet) {
    std::string paid = payouts({{&hr::quinella, 0, "0207", 1800}, {&hr::wide, 0, "0207", 400}});
    BalanceOptions wide;
    wide.wide = true;
    auto race = balance_race(one_race(bet_list({" 2- 7"}), bet_list({" 2- 5"}), {}, paid), 0, wide);
    ASSERT_TRUE(race.has_value());
    race->day = sj("2026年12月05日中山");
    BalanceReport report;
    report.races.push_back(*race);

    EXPECT_EQ(balance_csv(report),
              "day,race,kind,bet,stake,return\n"
              "2026年12月05日中山,1,quinella,\" 2- 7\",100,1800\n"
              "2026年12月05日中山,1,bracket,\" 2- 5\",100,0\n"
              "2026年12月05日中山,1,wide,\" 2- 7\",100,400\n");
    EXPECT_EQ(balance_spreadsheet_csv(report),
              "\xEF\xBB\xBF"
              "レース日,レース,券種,買い目,投資額,払戻額\r\n"
              "2026年12月05日中山,1,馬連,\" 2- 7\",100,1800\r\n"
              "2026年12月05日中山,1,枠連,\" 2- 5\",100,0\r\n"
              "2026年12月05日中山,1,ワイド,\" 2- 7\",100,400\r\n");
}

TEST(Balance, GroupsCountRacesOncePerGroup) {
    BalanceReport report;
    BalanceRace a{sj("2026年11月01日東京"), 20261101, "05", 1, Pattern::A, ConfidenceGrade::I, {}};
    a.tickets = {{BetKind::Quinella, bet_from_text(" 1- 2"), 100, 0},
                 {BetKind::Quinella, bet_from_text(" 1- 3"), 100, 1500},
                 {BetKind::Bracket, bet_from_text(" 1- 2"), 100, 0}};
    BalanceRace b{sj("2026年12月05日中山"), 20261205, "06", 2, Pattern::None, ConfidenceGrade::None, {}};
    b.tickets = {{BetKind::Bracket, bet_from_text(" 4- 4"), 100, 850}};
    BalanceRace empty{sj("2026年12月05日中山"), 20261205, "06", 3, Pattern::C, ConfidenceGrade::None, {}};
    report.races = {a, b, empty};
    summarise(report);

    EXPECT_EQ(report.total.races, 2);  // the race without tickets bought nothing
    EXPECT_EQ(report.total.tickets, 4);
    EXPECT_EQ(report.total.stake, 400);
    EXPECT_EQ(report.total.returned, 2350);
    EXPECT_EQ(report.total.balance(), 1950);
    EXPECT_EQ(report.total.hit_tickets, 2);
    EXPECT_EQ(report.total.hit_races, 2);

    auto keys = [](const std::vector<BalanceGroup>& groups) {
        std::vector<std::string> list;
        for (const auto& g : groups) list.push_back(cp932::to_utf8(g.key));
        return list;
    };
    using S = std::vector<std::string>;
    EXPECT_EQ(keys(report.by_kind), (S{"quinella", "bracket"}));
    EXPECT_EQ(report.by_kind[1].figures.races, 2);
    EXPECT_EQ(report.by_kind[1].figures.hit_races, 1);
    EXPECT_EQ(report.by_kind[0].figures.tickets, 2);
    EXPECT_EQ(keys(report.by_pattern), (S{"A", "-"}));
    EXPECT_EQ(keys(report.by_grade), (S{"Ⅰ", "-"}));
    EXPECT_EQ(keys(report.by_course), (S{"東京", "中山"}));  // racecourse code order
    EXPECT_EQ(keys(report.by_month), (S{"2026-11", "2026-12"}));
    EXPECT_EQ(report.by_month[0].figures.returned, 1500);
}

TEST(Balance, DayNamesAndTheDefaultPeriod) {
    EXPECT_EQ(day_name_date(sj("2026年12月05日中山")), 20261205);
    EXPECT_EQ(day_name_date(sj("2026年02月30日中山")), 0);
    EXPECT_EQ(day_name_date("abc"), 0);
    EXPECT_EQ(day_name_date(sj("20261205中山")), 0);

    TempDir dir;
    EXPECT_FALSE(default_balance_period(dir.path()).has_value());
    fs::create_directories(dir.path() / "Data");
    write_bytes(DataStore(dir.path()).day_file(sj("2026年03月01日中山"), ".jvRA"), "");
    write_bytes(DataStore(dir.path()).day_file(sj("2024年02月29日阪神"), ".jvRA"), "");
    auto period = default_balance_period(dir.path());
    ASSERT_TRUE(period.has_value());
    EXPECT_EQ(*period, (std::pair{20250302, 20260301}));
}

std::map<std::string, std::string> files_of(const fs::path& base) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(base)) {
        if (e.is_regular_file()) files[fs::relative(e.path(), base).string()] = read_bytes(e.path());
    }
    return files;
}

// The amounts of a hit list's lines ("/配当 %7d円").
long long hit_list_total(const fs::path& file) {
    std::string text = cp932::to_utf8(read_bytes(file));
    std::regex amount("/配当 *([0-9]+)円");
    long long total = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), amount);
         it != std::sregex_iterator(); ++it) {
        total += std::stoll((*it)[1].str());
    }
    return total;
}

TEST(Balance, AWholeSampleStoreAgreesWithTheHitExport) {
    TempDir dir;
    import_sample_feed(dir.path(), SampleFeedOptions{17, 3, 20261206},
                       DateTime{2026, 12, 6, 10, 0, 0});
    // One day that cannot load: its runner file is gone.
    std::vector<std::string> days =
        list_race_days(dir.path() / "Data", DateFilter::Any, 0, DateTime::now());
    ASSERT_GE(days.size(), 6u);
    const std::string broken = days[3];
    fs::remove(DataStore(dir.path()).day_file(broken, ".jvSEr"));
    // Another whose first runner lacks its bracket number: incomplete.
    const std::string incomplete = days[4];
    fs::path runners = DataStore(dir.path()).day_file(incomplete, ".jvSEr");
    std::string records = read_bytes(runners);
    records[27] = ' ';
    write_bytes(runners, records);

    auto before = files_of(dir.path());
    BalanceOptions options;
    options.from = 20000101;
    options.to = 20261231;
    options.wide = true;
    int steps = 0;
    BalanceProgress progress;
    progress.step = [&](int, int, const std::string&) { ++steps; };
    BalanceReport report = run_balance(dir.path(), options, progress);
    // Nothing of the store was written: no user file, no change.
    EXPECT_EQ(files_of(dir.path()), before);
    EXPECT_EQ(steps, static_cast<int>(days.size()) + 1);

    ASSERT_EQ(report.skipped.size(), 2u);
    std::map<std::string, std::string> skipped;
    for (const SkippedDay& s : report.skipped) skipped[s.day] = cp932::to_utf8(s.reason);
    EXPECT_NE(skipped[broken].find("データ作成が未完了のようです。"), std::string::npos);
    EXPECT_NE(skipped[incomplete].find("枠番のない出走馬がいます"), std::string::npos);
    EXPECT_EQ(report.days.size(), days.size() - 2);
    for (std::size_t i = 1; i < report.days.size(); ++i) {
        const BalanceDay& a = report.days[i - 1];
        const BalanceDay& b = report.days[i];
        EXPECT_TRUE(a.date < b.date || (a.date == b.date && a.course < b.course)) << i;
        EXPECT_EQ(b.cumulative, a.cumulative + b.balance());
    }
    EXPECT_EQ(report.total.stake, 100LL * report.total.tickets);
    EXPECT_GT(report.total.tickets, 0);
    EXPECT_GT(report.total.hit_tickets, 0);
    // Today's meetings have no results yet: their races are pending.
    EXPECT_GE(report.pending_races, 12);

    // The hit export of every date lists the computer bets' hits (quinella,
    // wide and bracket quinella) with their amounts: the same money.
    std::vector<std::string> loadable;
    for (const auto& d : days) {
        if (d != broken && d != incomplete) loadable.push_back(d);
    }
    std::map<std::string, bool> dates;
    for (const auto& d : loadable) dates[d.substr(0, 14)] = true;
    long long exported = 0;
    RaceDay day;
    for (const auto& [date, unused] : dates) {
        HitExport hits = export_hits(day, dir.path(), loadable, date, false);
        if (hits.written) exported += hit_list_total(hits.tk_file);
    }
    EXPECT_EQ(report.total.returned, exported);
}

}  // namespace
}  // namespace tolven
