#include "prediction/hit_check.hpp"

#include "store/lenient.hpp"

namespace tolven {
namespace {

int number_at(std::string_view text, std::size_t at, std::size_t width) {
    return at < text.size() ? lenient_int(text.substr(at, width)) : 0;
}

}  // namespace

std::vector<int> hit_amounts(std::string_view payout_record, const PayoutGroup& group,
                             const Bet& bet, bool positive_numbers) {
    std::vector<int> amounts;
    int first = bet.first, second = bet.second;
    if (positive_numbers && (first <= 0 || second <= 0)) return amounts;
    std::size_t half = group.combination_width / 2;
    for (int k = 0; k < group.entries; ++k) {
        PayoutEntry entry = payout_entry(payout_record, group, k);
        if (number_at(entry.combination, 0, half) != first ||
            number_at(entry.combination, half, half) != second) {
            continue;
        }
        if (entry.payout > 0) amounts.push_back(entry.payout);
    }
    return amounts;
}

}  // namespace tolven
