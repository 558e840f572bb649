// tolven-cli balance: what the computer's or the user's bets would have won
// or lost over a period.
#include <cstdio>
#include <string>

#include "app/cli_context.hpp"
#include "app/json_writer.hpp"
#include "pipeline/backtest.hpp"
#include "platform/system.hpp"
#include "store/cp932.hpp"
#include "store/date_time.hpp"

namespace tolven::cli {
namespace {

std::string utf8(std::string_view cp932_text) {
    return cp932::to_utf8(cp932_text);
}

int parse_date(const std::string& text, const char* what) {
    if (text.size() != 8 || !DateTime::from_digits(text + "000000")) {
        throw UsageError(std::string(what) + " needs a date YYYYMMDD: " + text);
    }
    return parse_int(text, what);
}

class ReportJson {
  public:
    explicit ReportJson(const BalanceReport& report) : report_(report) {}

    std::string str() {
        json_.begin_object();
        json_.key("from").value(std::to_string(report_.options.from));
        json_.key("to").value(std::to_string(report_.options.to));
        json_.key("bets").value(report_.options.bets == BetSource::User ? "user" : "computer");
        json_.key("wide").value(report_.options.wide);
        json_.key("total");
        figures(report_.total);
        groups("byKind", report_.by_kind);
        groups("byPattern", report_.by_pattern);
        groups("byGrade", report_.by_grade);
        groups("byCourse", report_.by_course);
        groups("byMonth", report_.by_month);
        json_.key("days").begin_array();
        for (const BalanceDay& d : report_.days) {
            json_.begin_object();
            json_.key("day").value(utf8(d.day));
            amount("stake", d.stake);
            amount("return", d.returned);
            amount("balance", d.balance());
            amount("cumulative", d.cumulative);
            json_.end_object();
        }
        json_.end_array();
        json_.key("races").begin_array();
        for (const BalanceRace& r : report_.races) {
            json_.begin_object();
            json_.key("day").value(utf8(r.day));
            json_.key("race").value(r.race);
            json_.key("pattern").value(balance_pattern_key(r.pattern));
            json_.key("grade").value(utf8(balance_grade_key(r.grade)));
            json_.key("tickets").begin_array();
            for (const Ticket& t : r.tickets) {
                json_.begin_object();
                json_.key("kind").value(bet_kind_key(t.kind));
                json_.key("bet").value(bet_text(t.bet));
                json_.key("stake").value(t.stake);
                amount("return", t.returned);
                json_.end_object();
            }
            json_.end_array();
            json_.end_object();
        }
        json_.end_array();
        json_.key("skippedDays").begin_array();
        for (const SkippedDay& s : report_.skipped) {
            json_.begin_object();
            json_.key("day").value(utf8(s.day));
            json_.key("reason").value(utf8(s.reason));
            json_.end_object();
        }
        json_.end_array();
        json_.key("pendingRaces").value(report_.pending_races);
        json_.end_object();
        return json_.str();
    }

  private:
    void amount(const char* name, long long yen) { json_.key(name).value(yen); }
    void figures(const BalanceFigures& f) {
        json_.begin_object();
        json_.key("races").value(f.races);
        json_.key("tickets").value(f.tickets);
        amount("stake", f.stake);
        amount("return", f.returned);
        amount("balance", f.balance());
        json_.key("hitTickets").value(f.hit_tickets);
        json_.key("hitRaces").value(f.hit_races);
        json_.key("returnRate").value(f.return_rate());
        json_.key("hitRate").value(f.hit_rate());
        json_.end_object();
    }
    void groups(const char* name, const std::vector<BalanceGroup>& list) {
        json_.key(name).begin_object();
        for (const BalanceGroup& g : list) {
            json_.key(utf8(g.key));
            figures(g.figures);
        }
        json_.end_object();
    }

    const BalanceReport& report_;
    JsonWriter json_;
};

void print_table(const BalanceReport& report) {
    for (const auto& line : balance_table_lines(report)) print_line(stdout, line);
    if (!report.skipped.empty()) {
        print_line(stdout, sj("【見送った日】"));
        for (const SkippedDay& s : report.skipped) print_line(stdout, "  " + s.day + " " + s.reason);
    }
    print_line(stdout, sj("※過去の成績は将来の結果を約束するものではありません。"));
}

}  // namespace

BalanceReport balance_report(Context& context, bool quiet) {
    BalanceOptions options;
    options.wide = take_flag(context.args, "--wide");
    if (auto bets = take_option(context.args, "--bets")) {
        if (*bets == "computer") {
            options.bets = BetSource::Computer;
        } else if (*bets == "user") {
            options.bets = BetSource::User;
        } else {
            throw UsageError("--bets must be computer or user");
        }
    }
    // The first two arguments after the command word ("balance" of print).
    if (!context.args.empty() && context.args[0] == "balance") context.args.erase(context.args.begin());
    if (context.args.size() != 2) throw UsageError("balance needs FROM TO (YYYYMMDD)");
    options.from = parse_date(context.args[0], "FROM");
    options.to = parse_date(context.args[1], "TO");
    if (options.from > options.to) throw UsageError("balance: FROM is after TO");

    BalanceProgress progress;
    bool terminal = platform::is_terminal(stderr);
    if (!quiet) {
        progress.step = [terminal](int done, int total, const std::string& day) {
            if (terminal) {
                std::fprintf(stderr, "\r%d/%d %s", done, total, utf8(day).c_str());
                if (done == total) std::fprintf(stderr, "\n");
            } else if (done == total || done % 25 == 0) {
                std::fprintf(stderr, "balance: %d/%d days\n", done, total);
            }
        };
    }
    return run_balance(context.base, options, progress);
}

int run_balance(Context& context) {
    bool json = take_flag(context.args, "--json");
    bool as_csv = take_flag(context.args, "--csv");
    bool quiet = take_flag(context.args, "--quiet");
    if (json && as_csv) throw UsageError("balance: --json and --csv exclude each other");
    BalanceReport report = balance_report(context, quiet);
    if (json) {
        std::printf("%s\n", ReportJson(report).str().c_str());
    } else if (as_csv) {
        std::fputs(balance_csv(report).c_str(), stdout);
    } else {
        print_table(report);
    }
    return 0;
}

}  // namespace tolven::cli
