// Times the CP932 conversions on the texts the program converts most: horse
// names and messages (short) and whole runner records (long), both ways. Where
// the C library has iconv, the same conversions through iconv are the floor
// the table must not be slower than.
//
//   bench_text [--rounds N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "store/cp932.hpp"
#include "store/record_builder.hpp"

#if __has_include(<iconv.h>) && !defined(_WIN32)
#include <iconv.h>
#define TOLVEN_BENCH_ICONV 1
#endif

using namespace tolven;

namespace {

#ifdef TOLVEN_BENCH_ICONV
// A minimal iconv conversion: the descriptor opened once, input that converts
// without errors.
std::string through_iconv(iconv_t cd, const std::string& in) {
    std::string out(in.size() * 3 + 4, '\0');
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    char* dst = out.data();
    std::size_t src_left = in.size(), dst_left = out.size();
    iconv(cd, &src, &src_left, &dst, &dst_left);
    out.resize(out.size() - dst_left);
    return out;
}
#endif

// Nanoseconds per text, best of five passes over the texts.
template <typename Convert>
double time_per_text(const std::vector<std::string>& texts, int rounds, Convert convert) {
    double best = 1e30;
    std::size_t bytes = 0;
    for (int pass = 0; pass < 5; ++pass) {
        auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < rounds; ++r) {
            for (const auto& t : texts) bytes += convert(t).size();
        }
        double ns =
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                .count();
        best = std::min(best, ns / (static_cast<double>(rounds) * texts.size()));
    }
    if (bytes == 0) std::abort();
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 200;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--rounds") rounds = std::max(1, std::atoi(argv[++i]));
    }
    const char* names[] = {"アイネスフウジン", "メジロマックイーン", "トウカイテイオー",
                           "ナリタブライアン", "サイレンススズカ", "ｾﾝ", "中山大賞典",
                           "データ作成が未完了のようです。", "2026年12月05日中山"};
    std::vector<std::string> short_utf8, short_cp932, long_utf8, long_cp932;
    for (int i = 0; i < 216; ++i) {
        std::string name = names[i % 9];
        short_utf8.push_back(name);
        short_cp932.push_back(sj(name));
        std::string se = RecordBuilder(RecordKind::Runner)
                             .race(20261205, "06", 5, 3, 1 + i % 12)
                             .text(se::horse_name, sj(name))
                             .number(se::horse_number, 1 + i % 18)
                             .str();
        long_cp932.push_back(se);
        long_utf8.push_back(cp932::to_utf8(se));
    }
    struct Case {
        const char* label;
        const std::vector<std::string>* texts;
        bool to_utf8;
        int rounds;
    } cases[] = {
        {"names    CP932 -> UTF-8", &short_cp932, true, rounds * 10},
        {"names    UTF-8 -> CP932", &short_utf8, false, rounds * 10},
        {"records  CP932 -> UTF-8", &long_cp932, true, rounds},
        {"records  UTF-8 -> CP932", &long_utf8, false, rounds},
    };
#ifdef TOLVEN_BENCH_ICONV
    iconv_t to_utf8 = iconv_open("UTF-8", "CP932"), from_utf8 = iconv_open("CP932", "UTF-8");
#endif
    std::printf("%zu texts a pass; ns per text, best of 5\n", short_cp932.size());
    for (const Case& c : cases) {
        double table = time_per_text(*c.texts, c.rounds, [&](const std::string& t) {
            return c.to_utf8 ? cp932::to_utf8(t) : cp932::from_utf8(t);
        });
        std::printf("%s: table %8.1f ns", c.label, table);
#ifdef TOLVEN_BENCH_ICONV
        double floor = time_per_text(*c.texts, c.rounds, [&](const std::string& t) {
            return through_iconv(c.to_utf8 ? to_utf8 : from_utf8, t);
        });
        std::printf("   iconv %8.1f ns   ratio table / iconv %.2f", floor, table / floor);
#endif
        std::printf("\n");
    }
    return 0;
}
