#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/race_day.hpp"
#include "money/fund_allocation.hpp"

namespace tolven {

// Whose bets a backtest buys: the computer prediction's, or the user's bets
// saved in each day's user file.
enum class BetSource { Computer, User };

inline constexpr int kTicketStake = 100;

struct BalanceOptions {
    int from = 0;  // YYYYMMDD, inclusive
    int to = 0;    // YYYYMMDD, inclusive
    BetSource bets = BetSource::Computer;
    bool wide = false;  // also one wide ticket per quinella bet
};

// One 100-yen ticket and what it returned.
struct Ticket {
    BetKind kind = BetKind::Quinella;
    Bet bet;
    int stake = kTicketStake;
    long long returned = 0;
};

// A race with a final quinella result, and the tickets bought on it.
struct BalanceRace {
    std::string day;      // the day name (CP932), as the race-day list shows it
    int date = 0;         // YYYYMMDD
    std::string course;   // racecourse code of the day, "06"
    int race = 0;         // race number
    Pattern pattern = Pattern::None;
    ConfidenceGrade grade = ConfidenceGrade::None;
    std::vector<Ticket> tickets;
};

// The figures of a group of tickets.
struct BalanceFigures {
    int races = 0;    // counted races with at least one ticket in the group
    int tickets = 0;
    long long stake = 0;
    long long returned = 0;
    int hit_tickets = 0;
    int hit_races = 0;  // races with at least one hit ticket in the group

    long long balance() const { return returned - stake; }
    // Percentages with one decimal, halves rounded up; 0 when nothing was bought.
    double return_rate() const;
    double hit_rate() const;
};

// A group of the report: its key (a kind key, a pattern, a grade, a course
// name or "YYYY-MM"; CP932 where it is Japanese) and its figures.
struct BalanceGroup {
    std::string key;
    BalanceFigures figures;
};

struct BalanceDay {
    std::string day;  // CP932
    int date = 0;
    std::string course;
    long long stake = 0;
    long long returned = 0;
    long long cumulative = 0;  // balance of this and every earlier day
    long long balance() const { return returned - stake; }
};

struct SkippedDay {
    std::string day;     // CP932
    std::string reason;  // CP932
};

struct BalanceReport {
    BalanceOptions options;
    BalanceFigures total;
    std::vector<BalanceGroup> by_kind;     // quinella, bracket, wide
    std::vector<BalanceGroup> by_pattern;  // A, B, C, -
    std::vector<BalanceGroup> by_grade;    // Ⅰ..Ⅵ, -
    std::vector<BalanceGroup> by_course;   // in racecourse code order
    std::vector<BalanceGroup> by_month;    // "YYYY-MM", ascending
    std::vector<BalanceDay> days;          // by date, then racecourse code
    std::vector<BalanceRace> races;        // counted races, in day order
    std::vector<SkippedDay> skipped;
    int pending_races = 0;  // races of loaded days without a final quinella result
    bool cancelled = false;
};

// The tickets of race slot n of a loaded day, or nullopt when the race has no
// final quinella result yet (a pending race).
std::optional<BalanceRace> balance_race(const RaceDay& day, int n, const BalanceOptions& options);
// What one ticket returns against a payout record: the amounts of every
// payout entry of its kind that it hits, added up (dead heats).
long long ticket_return(std::string_view payout_record, BetKind kind, const Bet& bet);
// The totals and groups of the races; days must be in date order.
void summarise(BalanceReport& report);

// The report as a table of fixed-width lines (CP932), as the terminal and the
// printout show it: a title, the period and counts, a heading, the total, and
// a section per grouping. Widths are counted in bytes, which is the width a
// fixed-pitch font gives CP932 text.
std::vector<std::string> balance_table_lines(const BalanceReport& report);
// The tickets as CSV (UTF-8, LF): a header line "day,race,kind,bet,stake,
// return", then one row per ticket in race order.
std::string balance_csv(const BalanceReport& report);
// The same rows for a spreadsheet on a Japanese desktop: UTF-8 with a byte
// order mark (without it Excel reads the file as Shift_JIS), CR LF, Japanese
// headings "レース日,レース,券種,買い目,投資額,払戻額" and kinds ("馬連").
std::string balance_spreadsheet_csv(const BalanceReport& report);
// The group keys of a pattern ("A", "B", "C") and a confidence grade ("Ⅰ"..
// "Ⅵ", CP932); "-" for none.
std::string balance_pattern_key(Pattern pattern);
std::string balance_grade_key(ConfidenceGrade grade);
// The label of a group's key: the Japanese name of a kind key, else the key.
std::string balance_group_label(const std::string& key);
// "2026/12/05" of YYYYMMDD.
std::string balance_date_text(int date);

}  // namespace tolven
