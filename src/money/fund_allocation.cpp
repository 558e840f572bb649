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

}  // namespace

std::string confidence_grade_text(ConfidenceGrade grade) {
    switch (grade) {
        case ConfidenceGrade::I:
            return sj("Ⅰ");
        case ConfidenceGrade::II:
            return sj("Ⅱ");
        case ConfidenceGrade::III:
            return sj("Ⅲ");
        case ConfidenceGrade::IV:
            return sj("Ⅳ");
        case ConfidenceGrade::V:
            return sj("Ⅴ");
        case ConfidenceGrade::VI:
            return sj("Ⅵ");
        case ConfidenceGrade::None:
            break;
    }
    return {};
}

// Every share is the exact product truncated, divided with truncation, then
// rounded to a stake.
std::vector<int> stakes_for(ConfidenceGrade grade, int r, long long m) {
    std::vector<int> s;
    if (r <= 0) return s;
    auto R = [](long long x) {
        return stake_unit(static_cast<int>(std::min<long long>(x, 2000000000)));
    };
    auto share = [&](int tenths) { return m * tenths / 10; };
    switch (grade) {
        case ConfidenceGrade::I:
        case ConfidenceGrade::IV:
            if (r <= 3) return std::vector<int>(static_cast<std::size_t>(r), R(m / r));
            for (int k = 1; k <= r; ++k)
                s.push_back(k <= 3 ? R(share(8) / 3) : R(share(2) / (r - 3)));
            break;
        case ConfidenceGrade::II:
            if (r == 1) return {R(m)};
            for (int k = 1; k <= r; ++k) s.push_back(k == 1 ? R(share(3)) : R(share(7) / (r - 1)));
            break;
        case ConfidenceGrade::III:
        case ConfidenceGrade::V:
            if (r <= 2) return std::vector<int>(static_cast<std::size_t>(r), R(m / r));
            for (int k = 1; k <= r; ++k)
                s.push_back(k <= 2 ? R(share(5) / 2) : R(share(5) / (r - 2)));
            break;
        case ConfidenceGrade::VI:
            return std::vector<int>(static_cast<std::size_t>(r), R(m / r));
        case ConfidenceGrade::None:
            break;
    }
    return s;
}

int stake_unit(int yen) {
    return yen > 100 ? yen / 100 * 100 : 100;
}

ConfidenceGrade confidence_grade(const RaceDay& day, int n) {
    const std::string& ra = day.race[n];
    std::string condition(trim(field_text(ra, ra::condition_youngest)));
    if (condition == "701" || condition == "702" || field_int(ra, ra::track) > 50) {
        return ConfidenceGrade::None;
    }

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
    if (has(1) && H(1) == p.chu) return ConfidenceGrade::I;
    if (has(3) && V(1) - V(2) >= 2500 && V(2) - V(3) < 2000) return ConfidenceGrade::II;
    if (has(3) && V(2) - V(3) >= 2000) return ConfidenceGrade::III;
    if ((has(2) && H(2) == p.chu) || (has(1) && H(1) == p.triangle)) return ConfidenceGrade::IV;
    if (has(4) && V(3) - V(4) >= 1600) return ConfidenceGrade::V;
    if (has(3) && (H(3) == p.chu || H(3) == p.triangle)) return ConfidenceGrade::VI;
    return ConfidenceGrade::None;
}

std::vector<AllocationRow> allocation_grid(const std::vector<RaceStake>& races) {
    std::vector<AllocationRow> grid(2 * races.size() + 1);
    for (std::size_t i = 0; i < races.size(); ++i) {
        const RaceStake& race = races[i];
        AllocationRow& upper = grid[2 * i + 1];
        AllocationRow& lower = grid[2 * i + 2];
        char label[32];
        std::snprintf(label, sizeof label, "%2dR", race.race);
        upper[0] = label;
        upper[1] = confidence_grade_text(race.grade);
        for (int k = 0; k < kBetSlots; ++k) {
            upper[static_cast<std::size_t>(k) + 3] = bet_text(race.bets[static_cast<std::size_t>(k)]);
        }
        upper[12] = count(race.bet_count);
        lower[2] = amount(race.investment);
        for (std::size_t k = 0; k < race.stakes.size() && k < kBetSlots; ++k) {
            lower[k + 3] = amount(race.stakes[k]);
        }
        lower[12] = amount(race.total);
    }
    return grid;
}

void FundAllocation::recompute(RaceDay& day) {
    ++recomputations_;
    races_.assign(static_cast<std::size_t>(std::min(day.race_count, kMaxRaces)), {});
    for (auto& field : fields_) field = InvestmentField{};
    for (std::size_t n = 0; n < races_.size(); ++n) {
        RaceStake& race = races_[n];
        race.race = static_cast<int>(n) + 1;
        race.bets = day.bets[n].computer_quinella;
        race.grade = confidence_grade(day, static_cast<int>(n));
        if (race.grade != ConfidenceGrade::None) fields_[n] = InvestmentField{true, "10000"};
    }
    total_bets_text_.clear();
    total_stake_text_.clear();
    split(day);
}

void FundAllocation::split(RaceDay& /*day*/) {
    total_bets_ = 0;
    total_stake_ = 0;
    for (std::size_t n = 0; n < races_.size(); ++n) {
        RaceStake& race = races_[n];
        const InvestmentField& field = fields_[n];
        std::string text(trim(field.text));
        long long m = text.empty() ? 0 : std::min<long long>(std::atoll(text.c_str()), 9999999);
        race.split = !text.empty() && m >= 100;
        race.investment = race.split ? static_cast<int>(m) : 0;
        race.bet_count = 0;
        race.stakes.clear();
        race.total = 0;
        if (race.split) {
            for (const Bet& bet : race.bets) race.bet_count += bet.empty() ? 0 : 1;
            race.stakes = stakes_for(race.grade, race.bet_count, m);
            for (int stake : race.stakes) race.total += stake;
            total_bets_ += race.bet_count;
            total_stake_ += race.total;
        }
        char bets[32];
        std::snprintf(bets, sizeof bets, "%5d", total_bets_);
        total_bets_text_ = bets + sj("点");
        total_stake_text_ = amount(total_stake_);
    }
    grid_ = allocation_grid(races_);
}

int FundAllocation::investment(int i) const {
    const InvestmentField& field = fields_[static_cast<std::size_t>(i - 1)];
    return field.armed ? lenient_int(field.text) : 0;
}

}  // namespace tolven
