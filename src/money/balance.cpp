#include "money/balance.hpp"

#include <algorithm>
#include <cstdio>
#include <map>

#include "money/fund_allocation.hpp"
#include "prediction/bet_builder.hpp"
#include "prediction/hit_check.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

// round(1000 * part / whole) / 10 with halves rounded up, for part >= 0.
double tenths_percent(long long part, long long whole) {
    if (whole <= 0) return 0.0;
    long long tenths = (2000 * part + whole) / (2 * whole);
    return static_cast<double>(tenths) / 10.0;
}

// Adds one race's tickets to the groups a key function sorts them into. A
// race counts once in every group that holds at least one of its tickets.
template <typename KeyOf>
void add_race(std::map<std::string, BalanceFigures>& groups, const BalanceRace& race,
              KeyOf key_of) {
    std::map<std::string, std::pair<bool, bool>> seen;  // key -> (ticket, hit)
    for (const Ticket& t : race.tickets) {
        std::string key = key_of(t);
        BalanceFigures& f = groups[key];
        ++f.tickets;
        f.stake += t.stake;
        f.returned += t.returned;
        auto& s = seen[key];
        s.first = true;
        if (t.returned > 0) {
            ++f.hit_tickets;
            s.second = true;
        }
    }
    for (const auto& [key, s] : seen) {
        BalanceFigures& f = groups[key];
        ++f.races;
        if (s.second) ++f.hit_races;
    }
}

// The groups in a fixed order of keys first, then any others in key order.
std::vector<BalanceGroup> ordered(const std::map<std::string, BalanceFigures>& groups,
                                  const std::vector<std::string>& order) {
    std::vector<BalanceGroup> list;
    for (const auto& key : order) {
        if (auto it = groups.find(key); it != groups.end()) list.push_back({key, it->second});
    }
    for (const auto& [key, figures] : groups) {
        if (std::find(order.begin(), order.end(), key) == order.end()) {
            list.push_back({key, figures});
        }
    }
    return list;
}

std::string month_key(int date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", date / 10000, date / 100 % 100);
    return text;
}

std::string course_key(const std::string& code) {
    return std::string(trim(racecourse_name(code)));
}

}  // namespace

double BalanceFigures::return_rate() const {
    return tenths_percent(returned, stake);
}

double BalanceFigures::hit_rate() const {
    return tenths_percent(hit_races, races);
}

long long ticket_return(std::string_view payout_record, BetKind kind, const Bet& bet) {
    long long sum = 0;
    for (int amount :
         hit_amounts(payout_record, payout_group(kind), bet, kind == BetKind::Quinella)) {
        sum += amount;
    }
    return sum;
}

std::optional<BalanceRace> balance_race(const RaceDay& day, int n, const BalanceOptions& options) {
    const std::string& payout = day.payout[n];
    // A race counts once its payouts hold a final quinella result.
    if (!payout_entry(payout, hr::quinella, 0).in_use()) return std::nullopt;

    BalanceRace race;
    race.race = day.race_number(n);
    race.pattern = day.prediction[n].pattern;
    race.grade = confidence_grade(day, n);

    const RaceBets& b = day.bets[n];
    bool user = options.bets == BetSource::User;
    const BetList& quinella = user ? b.user_quinella : b.computer_quinella;
    const BetList& bracket = user ? b.user_bracket : b.computer_bracket;
    auto buy = [&](BetKind kind, const Bet& bet) {
        race.tickets.push_back({kind, bet, kTicketStake, ticket_return(payout, kind, bet)});
    };
    for (const Bet& bet : quinella) {
        if (!bet.empty()) buy(BetKind::Quinella, bet);
    }
    // Bracket quinella tickets only where the prediction window lists them.
    if (day.bracket_quinella_sold(n)) {
        for (const Bet& bet : bracket) {
            if (!bet.empty()) buy(BetKind::Bracket, bet);
        }
    }
    if (options.wide) {
        for (const Bet& bet : quinella) {
            if (!bet.empty()) buy(BetKind::Wide, bet);
        }
    }
    return race;
}

void summarise(BalanceReport& report) {
    std::map<std::string, BalanceFigures> total, kinds, patterns, grades, courses, months;
    std::map<std::string, std::string> course_codes;  // name -> code, for the order
    for (const BalanceRace& race : report.races) {
        add_race(total, race, [](const Ticket&) { return std::string(); });
        add_race(kinds, race, [](const Ticket& t) { return std::string(bet_kind_key(t.kind)); });
        add_race(patterns, race, [&](const Ticket&) { return balance_pattern_key(race.pattern); });
        add_race(grades, race, [&](const Ticket&) { return balance_grade_key(race.grade); });
        std::string course = course_key(race.course);
        course_codes.emplace(course, race.course);
        add_race(courses, race, [&](const Ticket&) { return course; });
        std::string month = month_key(race.date);
        add_race(months, race, [&](const Ticket&) { return month; });
    }
    report.total = total.count("") ? total[""] : BalanceFigures{};

    std::vector<std::string> kind_order;
    for (BetKind k : kBetKinds) kind_order.emplace_back(bet_kind_key(k));
    report.by_kind = ordered(kinds, kind_order);
    std::vector<std::string> pattern_order;
    for (Pattern p : {Pattern::A, Pattern::B, Pattern::C, Pattern::None})
        pattern_order.push_back(balance_pattern_key(p));
    report.by_pattern = ordered(patterns, pattern_order);
    std::vector<std::string> grade_order;
    for (ConfidenceGrade g : kConfidenceGrades) grade_order.push_back(balance_grade_key(g));
    grade_order.push_back(balance_grade_key(ConfidenceGrade::None));
    report.by_grade = ordered(grades, grade_order);
    std::vector<std::pair<std::string, std::string>> by_code;  // code, name
    for (const auto& [name, code] : course_codes) by_code.emplace_back(code, name);
    std::sort(by_code.begin(), by_code.end());
    std::vector<std::string> course_order;
    for (const auto& entry : by_code) course_order.push_back(entry.second);
    report.by_course = ordered(courses, course_order);
    report.by_month = ordered(months, {});
}

namespace {

std::string padded(const std::string& text, std::size_t width, bool right) {
    std::string pad(text.size() < width ? width - text.size() : 0, ' ');
    return right ? pad + text : text + pad;
}

constexpr std::size_t kLabelWidth = 16;
constexpr std::size_t kColumnWidths[] = {7, 7, 12, 12, 12, 8, 8};

std::string table_row(const std::string& label, const std::string (&cells)[7]) {
    std::string line = padded(label, kLabelWidth, false);
    for (std::size_t i = 0; i < 7; ++i) line += padded(cells[i], kColumnWidths[i], true);
    return line;
}

std::string percent(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", rate);
    return text;
}

std::string figures_row(const std::string& label, const BalanceFigures& f) {
    const std::string cells[7] = {std::to_string(f.races),     std::to_string(f.tickets),
                                  std::to_string(f.stake),     std::to_string(f.returned),
                                  std::to_string(f.balance()), percent(f.return_rate()),
                                  percent(f.hit_rate())};
    return table_row(label, cells);
}

}  // namespace

std::string balance_date_text(int date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", date / 10000, date / 100 % 100, date % 100);
    return text;
}

std::string balance_csv(const BalanceReport& report) {
    std::string out = "day,race,kind,bet,stake,return\n";
    for (const BalanceRace& r : report.races) {
        for (const Ticket& t : r.tickets) {
            out += cp932::to_utf8(r.day) + "," + std::to_string(r.race) + "," +
                   bet_kind_key(t.kind) + ",\"" + bet_text(t.bet) + "\"," + std::to_string(t.stake) +
                   "," + std::to_string(t.returned) + "\n";
        }
    }
    return out;
}

std::string balance_spreadsheet_csv(const BalanceReport& report) {
    std::string out = "\xEF\xBB\xBF";
    out += "レース日,レース,券種,買い目,投資額,払戻額\r\n";
    for (const BalanceRace& r : report.races) {
        for (const Ticket& t : r.tickets) {
            out += cp932::to_utf8(r.day) + "," + std::to_string(r.race) + "," +
                   bet_kind_label(t.kind) + ",\"" + bet_text(t.bet) + "\"," +
                   std::to_string(t.stake) + "," + std::to_string(t.returned) + "\r\n";
        }
    }
    return out;
}

std::string balance_pattern_key(Pattern pattern) {
    return pattern == Pattern::None ? "-" : std::string(pattern_letter(pattern));
}

std::string balance_grade_key(ConfidenceGrade grade) {
    return grade == ConfidenceGrade::None ? "-" : confidence_grade_text(grade);
}

std::string balance_group_label(const std::string& key) {
    for (BetKind k : kBetKinds) {
        if (key == bet_kind_key(k)) return sj(bet_kind_label(k));
    }
    return key;
}

std::vector<std::string> balance_table_lines(const BalanceReport& report) {
    const BalanceOptions& o = report.options;
    std::vector<std::string> lines;
    lines.push_back(sj("収支分析 ") + balance_date_text(o.from) + sj(" ～ ") +
                    balance_date_text(o.to) + "  " +
                    sj(o.bets == BetSource::User ? "ユーザー予想" : "コンピュータ予想") +
                    (o.wide ? sj("（ワイドを含む）") : std::string()));
    lines.push_back(std::to_string(report.days.size()) + sj("日  見送り") +
                    std::to_string(report.skipped.size()) + sj("日  結果待ち") +
                    std::to_string(report.pending_races) + sj("レース  1点100円"));
    lines.emplace_back();
    const std::string titles[7] = {sj("レース"), sj("点数"), sj("投資額"), sj("払戻額"),
                                   sj("収支"),   sj("回収率"), sj("的中率")};
    lines.push_back(table_row(sj("区分"), titles));
    lines.push_back(figures_row(sj("合計"), report.total));
    auto section = [&](const char* title, const std::vector<BalanceGroup>& groups) {
        lines.push_back(sj(title));
        for (const BalanceGroup& g : groups) {
            lines.push_back(figures_row("  " + balance_group_label(g.key), g.figures));
        }
    };
    section("【券種】", report.by_kind);
    section("【パターン】", report.by_pattern);
    section("【勝負度】", report.by_grade);
    section("【競馬場】", report.by_course);
    section("【月別】", report.by_month);
    return lines;
}

}  // namespace tolven
