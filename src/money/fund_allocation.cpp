#include "money/fund_allocation.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

std::string amount(int v) {
    char text[32];
    std::snprintf(text, sizeof text, "%7d", v);
    return text;
}
std::string count(int v) {
    return std::to_string(v) + sj("点");
}

// Stakes of a graded race with r bets and investment m; every share is the
// exact product truncated, divided with truncation, then rounded to a stake.
std::vector<int> stakes_for(const std::string& grade, int r, long long m) {
    std::vector<int> s;
    if (r <= 0) return s;
    auto R = [](long long x) {
        return stake_unit(static_cast<int>(std::min<long long>(x, 2000000000)));
    };
    auto share = [&](int tenths) { return m * tenths / 10; };
    if (grade == sj("Ⅰ") || grade == sj("Ⅳ")) {
        if (r <= 3) return std::vector<int>(static_cast<std::size_t>(r), R(m / r));
        for (int k = 1; k <= r; ++k) s.push_back(k <= 3 ? R(share(8) / 3) : R(share(2) / (r - 3)));
    } else if (grade == sj("Ⅱ")) {
        if (r == 1) return {R(m)};
        for (int k = 1; k <= r; ++k) s.push_back(k == 1 ? R(share(3)) : R(share(7) / (r - 1)));
    } else if (grade == sj("Ⅲ") || grade == sj("Ⅴ")) {
        if (r <= 2) return std::vector<int>(static_cast<std::size_t>(r), R(m / r));
        for (int k = 1; k <= r; ++k) s.push_back(k <= 2 ? R(share(5) / 2) : R(share(5) / (r - 2)));
    } else if (grade == sj("Ⅵ")) {
        return std::vector<int>(static_cast<std::size_t>(r), R(m / r));
    }
    return s;
}

}  // namespace

int stake_unit(int yen) {
    return yen > 100 ? yen / 100 * 100 : 100;
}

std::string confidence_grade(const RaceDay& day, int n) {
    const std::string& ra = day.race[n];
    std::string condition(trim(field_text(ra, ra::condition_youngest)));
    if (condition == "701" || condition == "702" || field_int(ra, ra::track) > 50) return {};

    // The runners by composite score to three decimals, best first; equal
    // values put the higher horse number first. Scores are compared in
    // thousandths so that the thresholds hold exactly.
    struct Ranked {
        long long thousandths;
        int horse;
    };
    std::vector<Ranked> ranked;
    for (int r = 0; r < day.runners(n); ++r) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", day.figures[n].runner[r].composite);
        ranked.push_back({std::llround(std::strtod(text, nullptr) * 1000), r + 1});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        return a.thousandths != b.thousandths ? a.thousandths > b.thousandths : a.horse > b.horse;
    });
    const ComputerPrediction& p = day.prediction[n];
    auto has = [&](std::size_t k) { return ranked.size() >= k; };
    auto V = [&](std::size_t k) { return ranked[k - 1].thousandths; };
    auto H = [&](std::size_t k) { return ranked[k - 1].horse; };
    // A rule that needs a rank the race does not have does not hold.
    if (has(1) && H(1) == p.chu) return sj("Ⅰ");
    if (has(3) && V(1) - V(2) >= 2500 && V(2) - V(3) < 2000) return sj("Ⅱ");
    if (has(3) && V(2) - V(3) >= 2000) return sj("Ⅲ");
    if ((has(2) && H(2) == p.chu) || (has(1) && H(1) == p.triangle)) return sj("Ⅳ");
    if (has(4) && V(3) - V(4) >= 1600) return sj("Ⅴ");
    if (has(3) && (H(3) == p.chu || H(3) == p.triangle)) return sj("Ⅵ");
    return {};
}

void FundAllocation::recompute(RaceDay& day) {
    ++recomputations_;
    races_ = std::min(day.race_count, kMaxRaces);
    grid_.assign(static_cast<std::size_t>(2 * races_ + 1), {});
    for (auto& field : fields_) field = InvestmentField{};
    for (int i = 1; i <= races_; ++i) {
        int n = i - 1;
        char label[32];
        std::snprintf(label, sizeof label, "%2dR", i);
        at(2 * i - 1, 0) = label;
        for (int k = 0; k < kBetSlots; ++k) {
            at(2 * i - 1, k + 3) = bet_text(day.bets[n].computer_quinella[static_cast<std::size_t>(k)]);
        }
        at(2 * i - 1, 1) = confidence_grade(day, n);
        if (!at(2 * i - 1, 1).empty()) {
            fields_[static_cast<std::size_t>(n)] = InvestmentField{true, "10000"};
        }
    }
    total_bets_text_.clear();
    total_stake_text_.clear();
    split(day);
}

void FundAllocation::split(RaceDay& day) {
    total_bets_ = 0;
    total_stake_ = 0;
    for (int i = 1; i <= races_; ++i) {
        const InvestmentField& field = fields_[static_cast<std::size_t>(i - 1)];
        int upper = 2 * i - 1, lower = 2 * i;
        std::string text(trim(field.text));
        long long m = text.empty() ? 0 : std::min<long long>(std::atoll(text.c_str()), 9999999);
        if (text.empty() || m < 100) {
            at(upper, 12) = count(0);
            at(lower, 2) = amount(0);
            at(lower, 12) = amount(0);
            for (int c = 3; c <= 11; ++c) at(lower, c).clear();
        } else {
            int r = 0;
            for (int c = 3; c <= 11; ++c) r += at(upper, c).empty() ? 0 : 1;
            total_bets_ += r;
            at(upper, 12) = count(r);
            at(lower, 2) = amount(static_cast<int>(m));
            for (int c = 3; c <= 11; ++c) at(lower, c).clear();
            std::vector<int> stakes = stakes_for(at(upper, 1), r, m);
            int total = 0;
            for (std::size_t k = 0; k < stakes.size(); ++k) {
                at(lower, static_cast<int>(k) + 3) = amount(stakes[k]);
                total += stakes[k];
            }
            at(lower, 12) = amount(total);
            total_stake_ += total;
        }
        char bets[32];
        std::snprintf(bets, sizeof bets, "%5d", total_bets_);
        total_bets_text_ = bets + sj("点");
        total_stake_text_ = amount(total_stake_);
        if (field.armed) day.user_changed = true;
    }
}

int FundAllocation::investment(int race) const {
    const InvestmentField& field = fields_[static_cast<std::size_t>(race - 1)];
    return field.armed ? lenient_int(field.text) : 0;
}

int FundAllocation::bet_count(int race) const {
    return lenient_int(cell(2 * race - 1, 12));
}

std::vector<int> FundAllocation::stakes(int race) const {
    std::vector<int> s;
    for (int c = 3; c <= 11; ++c) {
        const std::string& t = cell(2 * race, c);
        if (!t.empty()) s.push_back(lenient_int(t));
    }
    return s;
}

int FundAllocation::race_total(int race) const {
    return lenient_int(cell(2 * race, 12));
}

}  // namespace tolven
