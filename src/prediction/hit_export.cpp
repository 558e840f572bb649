#include "prediction/hit_export.hpp"

#include <cstdio>
#include <set>
#include <system_error>

#include "prediction/hit_check.hpp"
#include "raceday/day_loader.hpp"
#include "store/atomic_file.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

// How the hit list shows the hits of one kind of bet.
struct BetType {
    const char* label;  // UTF-8
    int longshot_threshold;
    int style_threshold;
};

const BetType& bet_type(BetKind kind) {
    static constexpr BetType kQuinella{"R[馬連　]：　", 5000, 10000};
    static constexpr BetType kWide{"R[ワイド]：　", 3000, 5000};
    static constexpr BetType kBracket{"R[枠連　]：　", 3000, 5000};
    switch (kind) {
        case BetKind::Quinella:
            return kQuinella;
        case BetKind::Bracket:
            return kBracket;
        case BetKind::Wide:
            break;
    }
    return kWide;
}

class Collector {
  public:
    Collector(bool longshot, std::vector<std::string>& html, std::set<std::string>& cumulative)
        : longshot_(longshot), html_(html), cumulative_(cumulative) {}
    int hits = 0;

    // Checks one bet of the race against every entry of a payout group and
    // lists the hits above the threshold.
    void check(const RaceDay& day, int n, const Bet& bet, BetKind kind) {
        if (bet.empty()) return;  // an empty slot is no bet
        const BetType& type = bet_type(kind);
        int threshold = longshot_ ? type.longshot_threshold : 0;
        // Only the quinella needs both numbers above 0.
        for (int amount : hit_amounts(day.payout[n], payout_group(kind), bet,
                                      kind == BetKind::Quinella)) {
            if (amount <= threshold) continue;
            add(day, n, type, Bet{bet.first, bet.second, {}}, amount);
        }
    }

  private:
    void add(const RaceDay& day, int n, const BetType& type, const Bet& hit, int amount) {
        const std::string& ra = day.race[n];
        bool red = amount >= type.style_threshold;
        char pay[64];
        std::snprintf(pay, sizeof pay, " %7d", amount);
        std::string bet = bet_text(hit) + "/" + sj("配当") + pay + sj("円");
        std::string label = sj(type.label);
        html_.push_back(
            std::string(red ? "<img src=\"./image/lis1.gif\">" : "<img src=\"./image/lis2.gif\">") +
            (red ? "<font color=\"red\">" : "<font color=\"blue\">") +
            racecourse_name(field_text(ra, header::course)) +
            right_aligned_number(field_text(ra, header::race_number)) + label + bet + sj("　") +
            std::string(field_text(ra, ra::short_name)) + "</font>");
        cumulative_.insert(std::string(field_text(ra, header::year)) +
                           std::string(field_text(ra, header::month_day)) +
                           std::string(field_text(ra, header::course)) +
                           std::string(field_text(ra, header::race_number)) + label + bet);
        ++hits;
    }

    bool longshot_;
    std::vector<std::string>& html_;
    std::set<std::string>& cumulative_;
};

}  // namespace

std::string joined_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

HitExport export_hits(RaceDay& day, const fs::path& base, const std::vector<std::string>& day_list,
                      const std::string& selected_entry, bool longshot,
                      const std::function<void(const std::string&)>& on_load) {
    HitExport result;
    std::string date = selected_entry.substr(0, 14);
    result.html.push_back("<br /><img src=\"./image/balist.gif\"><font color=\"black\">" +
                          sj("【TOLVEN for JRA-VAN Data Lab.】") + "</font>");
    fs::path folder = base / "HPupload";
    result.cumulative_file = folder / "Vevezaza.txt";
    std::set<std::string> cumulative;
    if (auto content = read_file_if_exists(result.cumulative_file)) {
        for (auto& line : split_lines(*content)) cumulative.insert(std::move(line));
    } else {
        cumulative.insert(" TOLVEN for JRA-VAN Data Lab.");
    }

    Collector collect(longshot, result.html, cumulative);
    std::string tk_key;
    for (const auto& entry : day_list) {
        if (entry.substr(0, 14) != date) continue;
        LoadOutcome outcome = load_race_day(day, base, entry);
        if (on_load) on_load(entry);
        // A day whose files are missing has no payouts to check.
        if (!outcome.built) continue;
        ++result.days;
        const std::string& first = day.race[0];
        tk_key = std::string(field_text(first, header::year)) +
                 std::string(field_text(first, header::month_day)) +
                 std::string(field_text(first, header::course));
        for (int n = 0; n < day.race_count; ++n) {
            const RaceBets& b = day.bets[n];
            for (const Bet& bet : b.computer_quinella) collect.check(day, n, bet, BetKind::Quinella);
            for (const Bet& bet : b.computer_quinella) collect.check(day, n, bet, BetKind::Wide);
            for (const Bet& bet : b.computer_bracket) collect.check(day, n, bet, BetKind::Bracket);
        }
    }
    result.hits = collect.hits;

    // Written as soon as there is one hit (the header line plus one).
    if (result.html.size() > 1) {
        fs::create_directories(folder);
        result.tk_file = file_in(folder, "TK" + tk_key + ".txt");
        replace_file(result.tk_file, join_lines(result.html));
        replace_file(result.cumulative_file,
                     join_lines(std::vector<std::string>(cumulative.begin(), cumulative.end())));
        result.written = true;
    }
    return result;
}

}  // namespace tolven
