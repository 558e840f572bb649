#include "analysis/ranking.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tolven {

RankArray rank_figures(const std::array<double, kMaxRunners>& values, int runners) {
    // Each ranked runner becomes the text "%10.4f%2d", so values equal to four
    // decimals tie and the horse number (the last two characters) decides.
    std::vector<std::string> entries;
    for (int p = 0; p < runners && p < kMaxRunners; ++p) {
        if (values[p] <= 0) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%10.4f%2d", values[p], p + 1);
        entries.emplace_back(text);
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    RankArray ranks{};
    int count = static_cast<int>(entries.size());
    for (int k = count - 1; k >= 0; --k) {
        const std::string& e = entries[static_cast<std::size_t>(k)];
        int horse = std::atoi(e.substr(e.size() - 2).c_str());
        if (horse >= 1 && horse <= kMaxRunners) ranks[horse] = count - k;
    }
    return ranks;
}

}  // namespace tolven
