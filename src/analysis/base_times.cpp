#include "analysis/base_times.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "store/lenient.hpp"

namespace tolven {
namespace {

struct Entry {
    std::string_view key;
    double seconds;
};

constexpr Entry kMain[] = {
#include "analysis/base_time_table.inc"
};
static_assert(std::size(kMain) == 680);

// By the first two digits of the distance and the going class, for keys the
// main table does not hold. Racecourse and surface play no part here.
struct Fallback {
    std::string_view prefix;
    double good;
    double heavy;
};
constexpr Fallback kFallback[] = {
    {"10", 61.0, 60.7},   {"12", 73.9, 73.6},   {"14", 86.8, 86.5},   {"15", 95.0, 94.7},
    {"16", 102.0, 101.7}, {"17", 108.2, 107.9}, {"18", 115.3, 115.0}, {"20", 127.0, 126.7},
    {"21", 137.2, 136.9}, {"22", 143.0, 142.7}, {"23", 150.0, 149.7}, {"24", 158.0, 157.7},
    {"25", 167.0, 166.7}, {"26", 172.0, 171.7}, {"30", 195.0, 194.7}, {"32", 208.0, 207.7},
    {"36", 234.0, 233.7},
};

const std::array<Entry, 680>& sorted_main() {
    static const std::array<Entry, 680> table = [] {
        std::array<Entry, 680> t{};
        std::copy(std::begin(kMain), std::end(kMain), t.begin());
        std::sort(t.begin(), t.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
        return t;
    }();
    return table;
}

}  // namespace

double base_time(std::string_view key) {
    const auto& table = sorted_main();
    auto it = std::lower_bound(table.begin(), table.end(), key,
                               [](const Entry& e, std::string_view k) { return e.key < k; });
    if (it != table.end() && it->key == key) return it->seconds;

    // Characters 4..5 (1-based) are the distance prefix, character 11 the going.
    std::string_view prefix = key.size() >= 5 ? key.substr(3, 2) : std::string_view{};
    char going = key.size() >= 11 ? key[10] : '\0';
    if (going == '1' || going == '2') {
        for (const auto& row : kFallback) {
            if (row.prefix == prefix) return going == '1' ? row.good : row.heavy;
        }
    }
    if (key.size() < 7 || trim(key.substr(3, 4)).empty()) return 1.0;
    return lenient_int(prefix) * 6.2 + 1.0;
}

std::string base_time_key(std::string_view course, std::string_view distance, char surface,
                          char going) {
    std::string key;
    key.reserve(11);
    key.append(course);
    key += ' ';
    key.append(distance);
    key += ' ';
    key += surface;
    key += ' ';
    key += going;
    return key;
}

}  // namespace tolven
