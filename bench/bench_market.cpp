// The sample feed's betting market over the bundled feed: what a ticket of
// each kind returns on average when bought at random (every combination of
// a race equally likely, one ticket a race), and what the computer's bets
// return in the balance (the backtest a person runs in 収支分析). Beside the
// random tickets' return on the store's payouts: the return the race model
// expects, and the standard error luck gives the realized figure.
//
//   bench_market [--seed N] [--weeks N] [--today YYYYMMDD] [DIR]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "model/race_day.hpp"
#include "pipeline/backtest.hpp"
#include "pipeline/day_loader.hpp"
#include "sample/sample_feed.hpp"
#include "sample/sample_market.hpp"
#include "sample/sample_payouts.hpp"
#include "store/bet.hpp"
#include "store/catalogue.hpp"
#include "support/sample_store.hpp"

namespace fs = std::filesystem;
using namespace tolven;

namespace {

// What random tickets of one kind returned: per race, the paid amounts over
// every combination sold, that is the expected return of one random ticket.
struct RandomTickets {
    int races = 0;
    double returned = 0;  // sum over races of the expected return per 100 yen
    double rate() const { return races == 0 ? 0 : 100.0 * returned / races; }
};

long long paid(std::string_view payout_record, const PayoutGroup& group) {
    long long sum = 0;
    for (int k = 0; k < group.entries; ++k) {
        PayoutEntry e = payout_entry(payout_record, group, k);
        if (e.in_use()) sum += e.payout;
    }
    return sum;
}

// The bracket-quinella combinations a field sells: two different brackets,
// or one bracket holding two horses or more.
int bracket_combinations(const RaceDay& day, int n) {
    std::map<int, int> horses;
    for (int r = 0; r < day.runners(n); ++r) horses[day.bracket(n, r)] += 1;
    int count = 0;
    for (auto [x, hx] : horses) {
        for (auto [y, hy] : horses) {
            if (x < y || (x == y && hx >= 2)) ++count;
        }
    }
    return count;
}

void add(RandomTickets& t, long long amount, int combinations) {
    t.races += 1;
    double per_ticket = static_cast<double>(amount) / combinations / kTicketStake;
    t.returned += per_ticket;
}

}  // namespace

int main(int argc, char** argv) {
    SampleFeedOptions options;  // the feed `make run` writes: seed 1, sixteen weeks
    options.today = 20261206;
    fs::path base = fs::temp_directory_path() / "tolven-bench-market";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc) {
            options.seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--weeks" && i + 1 < argc) {
            options.weeks = std::atoi(argv[++i]);
        } else if (arg == "--today" && i + 1 < argc) {
            options.today = std::atoi(argv[++i]);
        } else {
            base = arg;
        }
    }
    fs::remove_all(base);
    DateTime now{options.today / 10000, options.today / 100 % 100, options.today % 100, 18, 0, 0};
    try {
        testing::import_sample_feed(base, options, now);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    // The generator's own account of the same races: expected and realized.
    SampleFeedSummary model = make_sample_feed(base / "model-feed", options);
    fs::remove_all(base / "model-feed");
    auto model_of = [&](sample::TicketKind kind) {
        return model.random_tickets[static_cast<int>(kind)];
    };

    std::map<BetKind, RandomTickets> random;
    RandomTickets win, place;  // the computer buys neither
    RaceDay day;
    int days = 0;
    for (const std::string& name : list_race_days(base / "Data", DateFilter::Any, 0, now)) {
        LoadOutcome outcome = load_race_day(day, base, name, {});
        if (!outcome.built || !outcome.complete) continue;
        ++days;
        for (int n = 0; n < day.race_count; ++n) {
            const std::string& hr = day.payout[n];
            if (is_absent(hr) || !payout_entry(hr, hr::quinella, 0).in_use()) continue;
            int runners = day.runners(n);
            int pairs = runners * (runners - 1) / 2;
            add(random[BetKind::Quinella], paid(hr, hr::quinella), pairs);
            add(random[BetKind::Wide], paid(hr, hr::wide), pairs);
            add(win, paid(hr, sample::kWinPayouts), runners);
            add(place, paid(hr, sample::kPlacePayouts), runners);
            if (day.bracket_quinella_sold(n)) {
                add(random[BetKind::Bracket], paid(hr, hr::bracket_quinella),
                    bracket_combinations(day, n));
            }
        }
    }

    BalanceOptions balance;
    balance.from = 19000101;
    balance.to = options.today;
    balance.wide = true;
    BalanceReport report = run_balance(base, balance);

    std::printf("sample feed seed %llu, %d weeks, today %d: %d race days in the store\n",
                static_cast<unsigned long long>(options.seed), options.weeks, options.today, days);
    std::printf("%-10s %7s %9s %9s %8s  %8s %9s %8s\n", "kind", "races", "random", "expected",
                "+-luck", "tickets", "computer", "hits");
    auto expected = [&](sample::TicketKind kind) { return 100.0 * model_of(kind).expected_rate(); };
    auto luck = [&](sample::TicketKind kind) { return 100.0 * model_of(kind).realized_error(); };
    std::printf("%-10s %7d %8.1f%% %8.1f%% %7.1f%%\n", "win", win.races, win.rate(),
                expected(sample::TicketKind::Win), luck(sample::TicketKind::Win));
    std::printf("%-10s %7d %8.1f%% %8.1f%% %7.1f%%\n", "place", place.races, place.rate(),
                expected(sample::TicketKind::Place), luck(sample::TicketKind::Place));
    for (BetKind kind : kBetKinds) {
        const RandomTickets& r = random[kind];
        BalanceFigures computer;
        for (const BalanceGroup& g : report.by_kind) {
            if (g.key == bet_kind_key(kind)) computer = g.figures;
        }
        sample::TicketKind ticket = kind == BetKind::Bracket    ? sample::TicketKind::Bracket
                                    : kind == BetKind::Quinella ? sample::TicketKind::Quinella
                                                                : sample::TicketKind::Wide;
        std::printf("%-10s %7d %8.1f%% %8.1f%% %7.1f%%  %8d %8.1f%% %8d\n", bet_kind_key(kind),
                    r.races, r.rate(), expected(ticket), luck(ticket), computer.tickets,
                    computer.return_rate(), computer.hit_tickets);
    }
    std::printf("computer, quinella and bracket (the balance without wide): ");
    BalanceFigures both;
    for (const BalanceGroup& g : report.by_kind) {
        if (g.key == bet_kind_key(BetKind::Wide)) continue;
        both.stake += g.figures.stake;
        both.returned += g.figures.returned;
    }
    std::printf("%.1f%% of %lld yen\n",
                both.stake == 0
                    ? 0.0
                    : 100.0 * static_cast<double>(both.returned) / static_cast<double>(both.stake),
                both.stake);
    if (!report.skipped.empty()) std::printf("%zu days skipped\n", report.skipped.size());
    fs::remove_all(base);
    return 0;
}
